// The two queries the pages run: "select count(*) as nRecords from [t]" and
// "select * from [t]". Rowsets from here must not outlive their Connection.
#include <cctype>

#include "access/read/database.h"
#include "access/provider/provider_internal.h"

namespace veltrano::access {
namespace provider_detail {

namespace {

class Lexer {
public:
    explicit Lexer(std::string_view s) : s_(s) {}
    void skip() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool keyword(std::string_view word) {
        skip();
        if (s_.size() - i_ < word.size()) return false;
        for (size_t k = 0; k < word.size(); ++k)
            if (std::tolower(static_cast<unsigned char>(s_[i_ + k])) != word[k]) return false;
        size_t end = i_ + word.size();
        if (end < s_.size() && std::isalnum(static_cast<unsigned char>(word.back())) &&
            (std::isalnum(static_cast<unsigned char>(s_[end])) || s_[end] == '_'))
            return false;
        i_ = end;
        return true;
    }
    // [name] or a bare identifier.
    bool name(std::string& out) {
        skip();
        if (i_ < s_.size() && s_[i_] == '[') {
            size_t close = s_.find(']', i_ + 1);
            if (close == std::string_view::npos) return false;
            out = std::string(s_.substr(i_ + 1, close - i_ - 1));
            i_ = close + 1;
            return !out.empty();
        }
        size_t start = i_;
        while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_' ||
                                  static_cast<unsigned char>(s_[i_]) >= 0x80))
            ++i_;
        out = std::string(s_.substr(start, i_ - start));
        return !out.empty();
    }
    bool atEnd() {
        skip();
        if (i_ < s_.size() && s_[i_] == ';') ++i_;
        skip();
        return i_ == s_.size();
    }

private:
    std::string_view s_;
    size_t i_ = 0;
};

class CountRowset final : public Rowset {
public:
    CountRowset(std::string name, uint64_t count) : name_(std::move(name)), count_(count) {}
    bool eof() const override { return pos_ > 0; }
    Status moveFirst() override {
        pos_ = 0;
        return {};
    }
    Status moveNext() override {
        if (eof()) return Status::invalidArgument("Either BOF or EOF is True, or the current record has been deleted.");
        ++pos_;
        return {};
    }
    int fieldCount() const override { return 1; }
    const std::string& fieldName(int) const override { return name_; }
    Result<FieldValue> field(int i) const override {
        ACCESS_ASSIGN_OR_RETURN(Value v, value(i));
        return toFieldValue(v);
    }
    Result<Value> value(int i) const override {
        if (i != 0) return Status::notFound("Item cannot be found in the collection.");
        if (eof()) return Status::invalidArgument("Either BOF or EOF is True, or the current record has been deleted.");
        return Value::ofInteger(ValueKind::Long, static_cast<int64_t>(count_));
    }
    Status setFilter(std::string_view) override { return Status::notSupported("query results cannot be filtered"); }
    long long recordCount() const override { return 1; }

private:
    std::string name_;
    uint64_t count_;
    int pos_ = 0;
};

// Streams the table: one row decoded at a time.
class TableRowset final : public Rowset {
public:
    explicit TableRowset(std::unique_ptr<TableCursor> cursor) : cursor_(std::move(cursor)) {
        for (const auto& c : cursor_->definition().columns) names_.push_back(c.name);
    }
    Status start() {
        hasRow_ = cursor_->next();
        return cursor_->status();
    }
    bool eof() const override { return !hasRow_; }
    Status moveFirst() override {
        cursor_->rewind();
        return start();
    }
    Status moveNext() override {
        if (!hasRow_) return Status::invalidArgument("Either BOF or EOF is True, or the current record has been deleted.");
        return start();
    }
    int fieldCount() const override { return static_cast<int>(names_.size()); }
    const std::string& fieldName(int i) const override {
        static const std::string kNone;
        return i >= 0 && i < fieldCount() ? names_[static_cast<size_t>(i)] : kNone;
    }
    Result<FieldValue> field(int i) const override {
        ACCESS_ASSIGN_OR_RETURN(Value v, value(i));
        return toFieldValue(v);
    }
    Result<Value> value(int i) const override {
        if (i < 0 || i >= fieldCount()) return Status::notFound("Item cannot be found in the collection.");
        if (!hasRow_) return Status::invalidArgument("Either BOF or EOF is True, or the current record has been deleted.");
        return cursor_->value(static_cast<size_t>(i));
    }
    Status setFilter(std::string_view) override { return Status::notSupported("query results cannot be filtered"); }
    long long recordCount() const override { return -1; }

private:
    std::unique_ptr<TableCursor> cursor_;
    std::vector<std::string> names_;
    bool hasRow_ = false;
};

Status syntaxError(std::string_view text) {
    return Status::badCommand("Syntax error in query expression '" + std::string(text) + "'.");
}

Status tableMissing(const std::string& table) {
    return Status::badCommand("The Microsoft Jet database engine cannot find the input table or query '" + table +
                              "'. Make sure it exists and that its name is spelled correctly.");
}

}  // namespace

Result<std::unique_ptr<Rowset>> runQuery(Database& db, std::string_view text) {
    Lexer lx(text);
    if (!lx.keyword("select")) return syntaxError(text);
    bool count = false;
    std::string alias = "Expr1000";
    if (lx.keyword("count")) {
        if (!lx.keyword("(") || !lx.keyword("*") || !lx.keyword(")")) return syntaxError(text);
        count = true;
        if (lx.keyword("as") && !lx.name(alias)) return syntaxError(text);
    } else if (!lx.keyword("*")) {
        return syntaxError(text);
    }
    std::string table;
    if (!lx.keyword("from") || !lx.name(table) || !lx.atEnd()) return syntaxError(text);
    if (!db.findTable(table)) return tableMissing(table);
    if (count) {
        ACCESS_ASSIGN_OR_RETURN(uint64_t n, db.countRows(table));
        return std::unique_ptr<Rowset>(std::make_unique<CountRowset>(alias, n));
    }
    ACCESS_ASSIGN_OR_RETURN(auto cursor, db.openCursor(table));
    auto rs = std::make_unique<TableRowset>(std::move(cursor));
    ACCESS_RETURN_IF_ERROR(rs->start());
    return std::unique_ptr<Rowset>(std::move(rs));
}

}  // namespace provider_detail
}  // namespace veltrano::access
