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
    text_ = prefix_;
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
    if (!empty() && tooBig(text_.size() + 5 + rowText.size() + 3, target_.packetLimit)) send();
    if (!empty()) text_ += " ),( ";
    spans_.emplace_back(text_.size(), text_.size() + rowText.size());
    text_ += rowText;
    records_.push_back(record);
}

void InsertBatch::send() {
    if (empty()) return;
    size_t from = 0;
    if (records_.size() > 1) {
        text_ += " );";
        if (server_.execute(text_) == 0) {
            listener_.stored(static_cast<int64_t>(records_.size()));
            from = records_.size();
        } else if (server_.connectionLost()) {
            listener_.refused(records_.front(), server_.errorText());
            from = records_.size();
        } else if (!target_.transactional) {
            // The rows ahead of the refused one are stored already.
            int64_t inTable = server_.countRows(target_.quotedTable);
            int64_t kept = inTable < 0 ? 0 : inTable - listener_.storedSoFar();
            from = static_cast<size_t>(std::clamp<int64_t>(kept, 0, static_cast<int64_t>(records_.size())));
            if (from > 0) listener_.stored(static_cast<int64_t>(from));
        }
    }
    sendOneByOne(from);
    text_.assign(prefix_);
    spans_.clear();
    records_.clear();
}

void InsertBatch::sendOneByOne(size_t from) {
    std::string one;
    for (size_t j = from; j < records_.size(); ++j) {
        one.assign(prefix_);
        one.append(queued(j));
        one += " );";
        if (server_.execute(one) == 0) {
            listener_.stored(1);
        } else {
            listener_.refused(records_[j], server_.errorText());
            if (server_.connectionLost()) return;
        }
    }
}

LoadDataBatch::LoadDataBatch(BatchServer& server, BatchListener& listener, const BatchTarget& target)
    : QueuedRows(server, listener, target), tail_(loadDataTail(target.table)) {}

void LoadDataBatch::add(int64_t record, const SourceRows& row) {
    if (refusedForItsValues(target_, listener_, record, row)) return;
    const size_t start = text_.size();
    for (size_t k = 0; k < target_.forms.size(); ++k) {
        if (k > 0) text_ += kLoadDataFieldEnd;
        field_.clear();
        if (target_.sourceField[k] != SIZE_MAX &&
            appendFieldText(field_, row.value(target_.sourceField[k]), target_.forms[k]))
            appendLoadDataValue(text_, field_);
        else
            appendLoadDataNull(text_);
    }
    // A refused batch is sent again as INSERTs, so each row must fit in
    // one; a literal is at most about twice its bytes.
    const size_t line = text_.size() - start;
    if (target_.packetLimit > 0 && 2 * line + 32 * target_.forms.size() + kStatementSlack > target_.packetLimit) {
        BatchTarget probe = target_;
        probe.packetLimit = 0;
        size_t alone = 0;
        struct Measure : BatchListener {
            void stored(int64_t) override {}
            void refused(int64_t, const std::string&) override {}
            int64_t storedSoFar() const override { return 0; }
        } quiet;
        InsertBatch measure(server_, quiet, probe);
        measure.addFields(record, splitLoadLine(std::string_view(text_).substr(start, line)));
        alone = measure.bytes() + 3;
        if (tooBig(alone, target_.packetLimit)) {
            text_.resize(start);
            listener_.refused(record, packetRefusal(alone, target_.packetLimit));
            return;
        }
    }
    spans_.emplace_back(start, text_.size());
    text_ += kLoadDataRowEnd;
    records_.push_back(record);
}

void LoadDataBatch::send() {
    if (empty()) return;
    const int64_t n = static_cast<int64_t>(records_.size());
    int32_t err = server_.execute("START TRANSACTION");
    int64_t loaded = -1;
    std::string info;
    bool loadRefused = false;
    if (err == 0) {
        err = server_.loadLocal(tail_, text_, loaded, info);
        loadRefused = err != 0;
    }
    if (err == 0 && loaded == n && infoNumber(info, "Warnings:") == 0 && infoNumber(info, "Skipped:") == 0) {
        err = server_.execute("COMMIT");
        if (err == 0) {
            listener_.stored(n);
            text_.clear();
            spans_.clear();
            records_.clear();
            return;
        }
    }
    if (server_.connectionLost()) {
        listener_.refused(records_.front(), server_.errorText());
    } else {
        (void)server_.execute("ROLLBACK");
        // Refused as a statement (not row by row): the server takes no
        // LOAD DATA at all, so INSERTs from here on.
        if (loadRefused) refusedOutright_ = true;
        InsertBatch again(server_, listener_, target_);
        for (size_t j = 0; j < spans_.size(); ++j) again.addFields(records_[j], splitLoadLine(queued(j)));
        again.send();
    }
    text_.clear();
    spans_.clear();
    records_.clear();
}

}  // namespace veltrano::tomysql
