#include "to_mysql/row_batch.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "mysql/sql_text.h"

namespace veltrano::tomysql {

namespace {

// Room for the statement around the rows and the protocol's own header.
constexpr size_t kStatementSlack = 1024;

// Splits one LOAD DATA line into its fields, undoing the escapes; a field
// that is exactly \N is NULL.
std::vector<std::optional<std::string>> splitLoadLine(std::string_view line) {
    std::vector<std::optional<std::string>> fields;
    std::string cur;
    bool null = false;
    auto finish = [&] {
        fields.push_back(null ? std::nullopt : std::optional<std::string>(cur));
        cur.clear();
        null = false;
    };
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == kLoadDataFieldEnd) {
            finish();
        } else if (c == '\\' && i + 1 < line.size()) {
            char e = line[++i];
            switch (e) {
                case 't': cur += '\t'; break;
                case 'n': cur += '\n'; break;
                case 'r': cur += '\r'; break;
                case '0': cur += '\0'; break;
                case 'N': null = cur.empty(); break;
                default: cur += e;
            }
        } else {
            cur += c;
        }
    }
    finish();
    return fields;
}

// mysql_info of LOAD DATA: "Records: 3  Deleted: 0  Skipped: 0  Warnings: 0".
int64_t infoNumber(const std::string& info, const char* key) {
    size_t at = info.find(key);
    if (at == std::string::npos) return -1;
    return std::atoll(info.c_str() + at + std::strlen(key));
}

bool tooBig(size_t statementBytes, size_t packetLimit) {
    return packetLimit > 0 && statementBytes + kStatementSlack > packetLimit;
}

// Refuses a row holding a value MySQL has no form for; true when refused.
bool refusedForItsValues(const BatchTarget& target, BatchListener& listener, int64_t record, const SourceRows& row) {
    for (size_t k = 0; k < target.forms.size(); ++k) {
        if (target.sourceField[k] == SIZE_MAX) continue;
        std::string why = unsendableReason(row.value(target.sourceField[k]), target.forms[k]);
        if (why.empty()) continue;
        listener.refused(record, "column " + (k < target.columnNames.size() ? target.columnNames[k] : "?") +
                                     ": " + why);
        return true;
    }
    return false;
}

}  // namespace

std::string packetRefusal(size_t statementBytes, size_t packetLimit) {
    return "The record needs a statement of " + std::to_string(statementBytes) +
           " bytes, more than the server's max_allowed_packet setting (" + std::to_string(packetLimit) +
           " bytes) allows; raise max_allowed_packet on the server to carry it";
}

InsertBatch::InsertBatch(BatchServer& server, BatchListener& listener, const BatchTarget& target)
    : QueuedRows(server, listener, target), prefix_("INSERT INTO " + target.quotedTable + " VALUES ( ") {
    queued_.text = prefix_;
}

void InsertBatch::add(int64_t record, const SourceRows& row) {
    if (refusedForItsValues(target_, listener_, record, row)) return;
    row_.clear();
    for (size_t k = 0; k < target_.forms.size(); ++k) {
        if (k > 0) row_ += ", ";
        if (target_.sourceField[k] == SIZE_MAX) row_ += "NULL";
        else appendValueText(row_, row.value(target_.sourceField[k]), target_.forms[k]);
    }
    queue(record, row_);
}

void InsertBatch::addFields(int64_t record, const std::vector<std::optional<std::string>>& fields) {
    row_.clear();
    for (size_t k = 0; k < target_.forms.size(); ++k) {
        if (k > 0) row_ += ", ";
        if (k < fields.size() && fields[k]) appendLiteralOfField(row_, *fields[k], target_.forms[k]);
        else row_ += "NULL";
    }
    queue(record, row_);
}

void InsertBatch::queue(int64_t record, const std::string& rowText) {
    const size_t alone = prefix_.size() + rowText.size() + 3;
    if (tooBig(alone, target_.packetLimit)) {
        listener_.refused(record, packetRefusal(alone, target_.packetLimit));
        return;
    }
    // The rows queued so far go first when this one would push the
    // statement past the packet limit.
    if (!empty() && tooBig(queued_.text.size() + 5 + rowText.size() + 3, target_.packetLimit)) send();
    if (!empty()) queued_.text += " ),( ";
    queued_.spans.emplace_back(queued_.text.size(), queued_.text.size() + rowText.size());
    queued_.text += rowText;
    queued_.records.push_back(record);
}

void InsertBatch::send() {
    if (empty()) return;
    const auto& records = queued_.records;
    size_t from = 0;
    if (records.size() > 1) {
        queued_.text += " );";
        if (server_.execute(queued_.text) == 0) {
            listener_.stored(static_cast<int64_t>(records.size()));
            from = records.size();
        } else if (server_.connectionLost()) {
            listener_.refused(records.front(), server_.errorText());
            from = records.size();
        } else if (!target_.transactional) {
            // The rows ahead of the refused one are stored already.
            int64_t inTable = server_.countRows(target_.quotedTable);
            int64_t kept = inTable < 0 ? 0 : inTable - listener_.storedSoFar();
            from = static_cast<size_t>(std::clamp<int64_t>(kept, 0, static_cast<int64_t>(records.size())));
            if (from > 0) listener_.stored(static_cast<int64_t>(from));
        }
    }
    sendOneByOne(from);
    queued_.clear();
    queued_.text.assign(prefix_);
}

void InsertBatch::sendOneByOne(size_t from) {
    std::string one;
    for (size_t j = from; j < queued_.records.size(); ++j) {
        one.assign(prefix_);
        one.append(queued_.row(j));
        one += " );";
        if (server_.execute(one) == 0) {
            listener_.stored(1);
        } else {
            listener_.refused(queued_.records[j], server_.errorText());
            if (server_.connectionLost()) return;
        }
    }
}

LoadDataBatch::LoadDataBatch(BatchServer& server, BatchListener& listener, const BatchTarget& target)
    : QueuedRows(server, listener, target), tail_(loadDataTail(target.table)) {}

LoadDataBatch::~LoadDataBatch() {
    // The server may still be reading loading_: it must be done with it.
    if (loaded_.valid()) loaded_.wait();
}

void LoadDataBatch::add(int64_t record, const SourceRows& row) {
    if (refusedForItsValues(target_, listener_, record, row)) return;
    std::string& text = queued_.text;
    const size_t start = text.size();
    for (size_t k = 0; k < target_.forms.size(); ++k) {
        if (k > 0) text += kLoadDataFieldEnd;
        if (target_.sourceField[k] == SIZE_MAX) {
            appendLoadDataNull(text);
            continue;
        }
        const FieldValue& value = row.value(target_.sourceField[k]);
        const ValueForm form = target_.forms[k];
        // Text goes as it is; only other values need their text made first.
        if (value.isText() && (form == ValueForm::Text || form == ValueForm::Binary)) {
            appendLoadDataValue(text, value.asText());
            continue;
        }
        field_.clear();
        if (appendFieldText(field_, value, form)) appendLoadDataValue(text, field_);
        else appendLoadDataNull(text);
    }
    // A refused batch is sent again as INSERTs, so each row must fit in
    // one; a literal is at most about twice its bytes.
    const size_t line = text.size() - start;
    if (target_.packetLimit > 0 && 2 * line + 32 * target_.forms.size() + kStatementSlack > target_.packetLimit) {
        BatchTarget probe = target_;
        probe.packetLimit = 0;
        size_t alone = 0;
        struct Measure : BatchListener {
            void stored(int64_t) override {}
            void refused(int64_t, const std::string&) override {}
            int64_t storedSoFar() const override { return 0; }
            void rolledBack(const std::string&) override {}
        } quiet;
        InsertBatch measure(server_, quiet, probe);
        measure.addFields(record, splitLoadLine(std::string_view(text).substr(start, line)));
        alone = measure.bytes() + 3;
        if (tooBig(alone, target_.packetLimit)) {
            text.resize(start);
            listener_.refused(record, packetRefusal(alone, target_.packetLimit));
            return;
        }
    }
    queued_.spans.emplace_back(start, text.size());
    text += kLoadDataRowEnd;
    queued_.records.push_back(record);
}

void LoadDataBatch::send() {
    settle();
    if (empty()) return;
    if (lost_ || rolledBack_) {
        // The table's copy is over; its report says how far it got.
        queued_.clear();
        return;
    }
    if (refusedOutright_) {
        sendAsInserts(queued_);
        queued_.clear();
        return;
    }
    std::swap(loading_, queued_);
    queued_.clear();
    // Only this thread talks to the server until settle() has the outcome.
    loaded_ = std::async(std::launch::async, [this] {
        Loaded r;
        r.error = server_.execute("SAVEPOINT veltrano_batch");
        if (r.error == 0) {
            r.error = server_.loadLocal(tail_, loading_.text, r.rows, r.info);
            r.loadRefused = r.error != 0;
        }
        if (r.error != 0) r.errorText = server_.errorText();
        return r;
    });
}

void LoadDataBatch::flush() {
    send();
    settle();
}

void LoadDataBatch::settle() {
    if (!loaded_.valid()) return;
    const Loaded r = loaded_.get();
    const auto n = static_cast<int64_t>(loading_.records.size());
    if (r.error == 0 && r.rows == n && infoNumber(r.info, "Warnings:") == 0 && infoNumber(r.info, "Skipped:") == 0) {
        listener_.stored(n);
    } else if (!server_.connectionLost() && server_.execute("ROLLBACK TO SAVEPOINT veltrano_batch") == 0) {
        // Undone: sent again row by row. Refused as a statement (not row by
        // row), the server takes no LOAD DATA at all, so INSERTs from here on.
        if (r.loadRefused) refusedOutright_ = true;
        sendAsInserts(loading_);
    } else if (server_.connectionLost()) {
        lost_ = true;
        listener_.refused(loading_.records.front(), server_.errorText());
    } else {
        // The savepoint went with the transaction: the server rolled all of
        // it back (a deadlock, say), not just this statement.
        rolledBack_ = true;
        listener_.rolledBack(r.errorText.empty() ? server_.errorText() : r.errorText);
    }
    loading_.clear();
}

void LoadDataBatch::sendAsInserts(const RowTexts& rows) {
    InsertBatch again(server_, listener_, target_);
    for (size_t j = 0; j < rows.spans.size(); ++j) again.addFields(rows.records[j], splitLoadLine(rows.row(j)));
    again.send();
    lost_ = server_.connectionLost();
}

}  // namespace veltrano::tomysql
