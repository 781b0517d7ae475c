#include "access/sql/jet_sql.h"

#include <algorithm>
#include <cctype>

#include "access/format/sort_order.h"

namespace veltrano::access {
namespace {

struct Token {
    enum Kind { Word, Name, Number, Punct, String, End } kind = End;
    std::string text;  // Word: lower-cased; Name: as written
    size_t pos = 0, end = 0;  // where it stands in the statement
};

Status syntax(const std::string& what) { return Status::badCommand("Syntax error in " + what + "."); }

Result<std::vector<Token>> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        Token t;
        t.pos = i;
        if (c == '[') {
            size_t close = s.find(']', i + 1);
            if (close == std::string_view::npos) return Status::badCommand("Syntax error: a name in brackets is not closed.");
            t.kind = Token::Name;
            t.text = std::string(s.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (std::isalpha(c) || c == '_' || c >= 0x80) {
            size_t j = i;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' ||
                                    static_cast<unsigned char>(s[j]) >= 0x80))
                ++j;
            t.kind = Token::Word;
            t.text = std::string(s.substr(i, j - i));
            i = j;
        } else if (std::isdigit(c)) {
            auto digitAt = [&](size_t k) { return k < s.size() && std::isdigit(static_cast<unsigned char>(s[k])); };
            size_t j = i;
            while (digitAt(j)) ++j;
            if (j < s.size() && s[j] == '.' && digitAt(j + 1))
                for (++j; digitAt(j);) ++j;
            if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                if (digitAt(k))
                    for (j = k; digitAt(j);) ++j;
            }
            t.kind = Token::Number;
            t.text = std::string(s.substr(i, j - i));
            i = j;
        } else if (c == '\'' || c == '"') {
            // A quoted text; the quote doubled stands for itself.
            size_t j = i + 1;
            for (;; ++j) {
                if (j >= s.size()) return Status::badCommand("Syntax error: a quoted text is not closed.");
                if (s[j] != static_cast<char>(c)) continue;
                if (j + 1 < s.size() && s[j + 1] == static_cast<char>(c)) {
                    ++j;
                    continue;
                }
                break;
            }
            t.kind = Token::String;
            t.text = std::string(s.substr(i, j + 1 - i));
            i = j + 1;
        } else if (c == '(' || c == ')' || c == ',' || c == ';' || c == '-' || c == '+') {
            t.kind = Token::Punct;
            t.text = std::string(1, static_cast<char>(c));
            ++i;
        } else {
            return Status::badCommand(std::string("Syntax error: unexpected character '") + static_cast<char>(c) + "'.");
        }
        t.end = i;
        out.push_back(std::move(t));
    }
    Token end;
    end.pos = s.size();
    out.push_back(end);
    return out;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class Parser {
public:
    Parser(std::string_view sql, std::vector<Token> t) : sql_(sql), t_(std::move(t)) {}

    const Token& peek() const { return t_[i_]; }
    bool isWord(const char* w) const { return peek().kind == Token::Word && lower(peek().text) == w; }
    bool isPunct(char p) const { return peek().kind == Token::Punct && peek().text[0] == p; }
    bool acceptWord(const char* w) {
        if (!isWord(w)) return false;
        ++i_;
        return true;
    }
    bool acceptPunct(char p) {
        if (!isPunct(p)) return false;
        ++i_;
        return true;
    }
    Status expectWord(const char* w, const char* where) {
        return acceptWord(w) ? Status::ok() : syntax(where);
    }
    Status expectPunct(char p, const char* where) { return acceptPunct(p) ? Status::ok() : syntax(where); }
    Result<std::string> name(const char* where) {
        if (peek().kind == Token::Name || peek().kind == Token::Word) return t_[i_++].text;
        return syntax(where);
    }
    Status end() {
        acceptPunct(';');
        return peek().kind == Token::End ? Status::ok() : syntax("the statement: unexpected text at its end");
    }
    Result<std::vector<std::string>> nameList(const char* where) {
        std::vector<std::string> v;
        ACCESS_RETURN_IF_ERROR(expectPunct('(', where));
        do {
            ACCESS_ASSIGN_OR_RETURN(std::string n, name(where));
            v.push_back(n);
        } while (acceptPunct(','));
        ACCESS_RETURN_IF_ERROR(expectPunct(')', where));
        return v;
    }

    Result<JetStatement> statement() {
        if (acceptWord("drop")) {
            ACCESS_RETURN_IF_ERROR(expectWord("table", "DROP statement"));
            DropTableStmt d;
            ACCESS_ASSIGN_OR_RETURN(d.table, name("DROP TABLE statement"));
            ACCESS_RETURN_IF_ERROR(end());
            return JetStatement(d);
        }
        if (!acceptWord("create")) return Status::badCommand("Invalid SQL statement; expected CREATE TABLE, CREATE INDEX or DROP TABLE.");
        if (acceptWord("table")) return createTable();
        bool unique = acceptWord("unique");
        if (acceptWord("index")) return createIndex(unique);
        return syntax("CREATE statement");
    }

    Result<JetStatement> createTable() {
        CreateTableStmt ct;
        ACCESS_ASSIGN_OR_RETURN(ct.table, name("CREATE TABLE statement"));
        ACCESS_RETURN_IF_ERROR(expectPunct('(', "CREATE TABLE statement"));
        do {
            if (acceptWord("constraint")) {
                ACCESS_ASSIGN_OR_RETURN(std::string cname, name("CONSTRAINT clause"));
                if (acceptWord("primary")) {
                    ACCESS_RETURN_IF_ERROR(expectWord("key", "CONSTRAINT clause"));
                    if (!ct.primaryKeyName.empty()) return Status::badCommand("Table has more than one primary key.");
                    ACCESS_ASSIGN_OR_RETURN(ct.primaryKey, nameList("CONSTRAINT clause"));
                    ct.primaryKeyName = cname;
                } else if (acceptWord("unique")) {
                    ACCESS_ASSIGN_OR_RETURN(auto cols, nameList("CONSTRAINT clause"));
                    ct.uniques.push_back({cname, cols});
                } else {
                    return syntax("CONSTRAINT clause");
                }
                continue;
            }
            SqlColumn col;
            ACCESS_ASSIGN_OR_RETURN(col.name, name("field definition"));
            if (peek().kind != Token::Word)
                return Status::badCommand("Syntax error in field definition: the field [" + col.name + "] has no data type.");
            col.typeWord = lower(t_[i_++].text);
            if (acceptPunct('(')) {
                do {
                    if (peek().kind != Token::Number ||
                        !std::all_of(peek().text.begin(), peek().text.end(), [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
                        return syntax("field definition of [" + col.name + "]");
                    col.args.push_back(std::stoi(t_[i_++].text.substr(0, 9)));
                } while (acceptPunct(','));
                ACCESS_RETURN_IF_ERROR(expectPunct(')', "field definition"));
            }
            for (;;) {
                if (acceptWord("not")) {
                    ACCESS_RETURN_IF_ERROR(expectWord("null", "field definition"));
                    col.notNull = true;
                } else if (acceptWord("null")) {
                } else if (acceptWord("default")) {
                    if (col.hasDefault) return syntax("field definition of [" + col.name + "]: DEFAULT given twice");
                    ACCESS_ASSIGN_OR_RETURN(col.defaultValue, defaultValue(col.name));
                    col.hasDefault = true;
                } else if (acceptWord("primary")) {
                    ACCESS_RETURN_IF_ERROR(expectWord("key", "field definition"));
                    if (!ct.primaryKeyName.empty()) return Status::badCommand("Table has more than one primary key.");
                    ct.primaryKeyName = "PrimaryKey";
                    ct.primaryKey = {col.name};
                } else {
                    break;
                }
            }
            ct.columns.push_back(std::move(col));
        } while (acceptPunct(','));
        ACCESS_RETURN_IF_ERROR(expectPunct(')', "CREATE TABLE statement"));
        ACCESS_RETURN_IF_ERROR(end());
        return JetStatement(ct);
    }

    // One literal: a number with an optional sign, or a quoted text.
    bool acceptLiteral() {
        if (peek().kind == Token::String || peek().kind == Token::Number) {
            ++i_;
            return true;
        }
        if ((isPunct('-') || isPunct('+')) && t_[i_ + 1].kind == Token::Number) {
            i_ += 2;
            return true;
        }
        return false;
    }

    // DEFAULT's value: a literal, or a word with an optional argument list
    // of literals (GenGUID(), Now(), Date(), True, Null). Kept as written.
    Result<std::string> defaultValue(const std::string& column) {
        const size_t first = i_;
        if (!acceptLiteral()) {
            if (peek().kind != Token::Word) return syntax("DEFAULT value of [" + column + "]");
            ++i_;
            if (acceptPunct('(')) {
                if (!isPunct(')')) {
                    do {
                        if (!acceptLiteral()) return syntax("DEFAULT value of [" + column + "]");
                    } while (acceptPunct(','));
                }
                ACCESS_RETURN_IF_ERROR(expectPunct(')', "DEFAULT value"));
            }
        }
        std::string text(sql_.substr(t_[first].pos, t_[i_ - 1].end - t_[first].pos));
        if (text.size() > 255) return Status::badCommand("The DEFAULT value of [" + column + "] is longer than 255 characters.");
        return text;
    }

    Result<JetStatement> createIndex(bool unique) {
        CreateIndexStmt ci;
        ci.unique = unique;
        ACCESS_ASSIGN_OR_RETURN(ci.name, name("CREATE INDEX statement"));
        ACCESS_RETURN_IF_ERROR(expectWord("on", "CREATE INDEX statement"));
        ACCESS_ASSIGN_OR_RETURN(ci.table, name("CREATE INDEX statement"));
        ACCESS_RETURN_IF_ERROR(expectPunct('(', "CREATE INDEX statement"));
        do {
            ACCESS_ASSIGN_OR_RETURN(std::string c, name("CREATE INDEX statement"));
            bool asc = true;
            if (acceptWord("desc")) asc = false;
            else acceptWord("asc");
            ci.columns.push_back({c, asc});
        } while (acceptPunct(','));
        ACCESS_RETURN_IF_ERROR(expectPunct(')', "CREATE INDEX statement"));
        if (acceptWord("with")) {
            do {
                if (acceptWord("primary")) ci.primary = true;
                else if (acceptWord("disallow")) {
                    ACCESS_RETURN_IF_ERROR(expectWord("null", "WITH clause"));
                    ci.disallowNull = true;
                } else if (acceptWord("ignore")) {
                    ACCESS_RETURN_IF_ERROR(expectWord("null", "WITH clause"));
                    ci.ignoreNull = true;
                } else {
                    return syntax("WITH clause");
                }
            } while (!isPunct(';') && peek().kind != Token::End);
        }
        ACCESS_RETURN_IF_ERROR(end());
        return JetStatement(ci);
    }

private:
    std::string_view sql_;
    std::vector<Token> t_;
    size_t i_ = 0;
};

}  // namespace

// The type word alone (resolveColumnType adds the column's NOT NULL).
static Result<ColumnSpec> resolveTypeWord(const SqlColumn& col);

Result<JetStatement> parseJetSql(std::string_view sql) {
    ACCESS_ASSIGN_OR_RETURN(auto tokens, tokenize(sql));
    Parser p(sql, std::move(tokens));
    return p.statement();
}

Status checkObjectName(const std::string& name, const char* what) {
    std::u32string cps = utf8ToCodePoints(name);
    if (cps.empty()) return Status::badCommand(std::string("The ") + what + " name is empty.");
    if (cps.size() > kMaxNameLength)
        return Status::badCommand(std::string("The ") + what + " name '" + name + "' is longer than " +
                                  std::to_string(kMaxNameLength) + " characters.");
    if (cps[0] == U' ')
        return Status::badCommand(std::string("The ") + what + " name '" + name + "' begins with a blank.");
    for (char32_t c : cps) {
        if (c < 0x20 || c == U'.' || c == U'!' || c == U'`' || c == U'[' || c == U']')
            return Status::badCommand(std::string("The ") + what + " name '" + name +
                                      "' contains a character Access does not allow in names (. ! ` [ ] or a control character).");
    }
    return Status::ok();
}

Result<ColumnSpec> resolveColumnType(const SqlColumn& col) {
    ACCESS_ASSIGN_OR_RETURN(ColumnSpec columnType, resolveTypeWord(col));
    columnType.required = col.notNull;
    return columnType;
}

static Result<ColumnSpec> resolveTypeWord(const SqlColumn& col) {
    const std::string& w = col.typeWord;
    auto bad = [&](const std::string& why) {
        return Status::badCommand("Field [" + col.name + "]: " + why);
    };
    auto fixed = [](ColumnType t, uint16_t len) {
        ColumnSpec s;
        s.type = t;
        s.length = len;
        return s;
    };
    auto none = [&]() -> Status {
        return col.args.empty() ? Status::ok() : bad("the type " + w + " takes no size.");
    };
    ColumnSpec s;
    if (w == "integer" || w == "long" || w == "int" || w == "integer4") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::Long, 4);
    }
    if (w == "identity" || w == "counter" || w == "autoincrement") {
        s = fixed(ColumnType::Long, 4);
        s.autoNumber = true;
        return s;
    }
    if (w == "short" || w == "smallint" || w == "integer2") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::Integer, 2);
    }
    if (w == "byte" || w == "tinyint" || w == "integer1") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::Byte, 1);
    }
    if (w == "double" || w == "number" || w == "float" || w == "float8" || w == "ieeedouble") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::Double, 8);
    }
    if (w == "single" || w == "real" || w == "float4" || w == "ieeesingle") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::Single, 4);
    }
    if (w == "currency" || w == "money") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::Currency, 8);
    }
    if (w == "datetime" || w == "date" || w == "time" || w == "timestamp") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::DateTime, 8);
    }
    if (w == "bit" || w == "yesno" || w == "logical" || w == "logical1" || w == "boolean") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::Boolean, 1);
    }
    if (w == "guid" || w == "uniqueidentifier") {
        ACCESS_RETURN_IF_ERROR(none());
        return fixed(ColumnType::Guid, 16);
    }
    if (w == "autoguid") {  // a replication-ID auto-number
        ACCESS_RETURN_IF_ERROR(none());
        s = fixed(ColumnType::Guid, 16);
        s.autoNumber = true;
        return s;
    }
    if (w == "decimal" || w == "numeric" || w == "dec") {
        int p = col.args.size() > 0 ? col.args[0] : 18;
        int sc = col.args.size() > 1 ? col.args[1] : 0;
        if (col.args.size() > 2 || p < 1 || p > 28 || sc < 0 || sc > p)
            return bad("a decimal needs a precision of 1 to 28 and a scale between 0 and the precision.");
        s = fixed(ColumnType::Numeric, 17);
        s.precision = static_cast<uint8_t>(p);
        s.scale = static_cast<uint8_t>(sc);
        return s;
    }
    if (w == "varchar" || w == "char" || w == "text" || w == "character" || w == "string" || w == "alphanumeric" ||
        w == "nvarchar" || w == "nchar" || w == "varying") {
        int n = col.args.empty() ? 255 : col.args[0];
        if (col.args.size() > 1) return bad("a text size takes one number.");
        if (n < 1 || n > 255) return bad("the size of a text field must lie between 1 and 255 characters.");
        s.type = ColumnType::Text;
        s.length = static_cast<uint16_t>(2 * n);
        s.fixed = false;
        return s;
    }
    if (w == "memo" || w == "longtext" || w == "longchar" || w == "note" || w == "ntext") {
        ACCESS_RETURN_IF_ERROR(none());
        s.type = ColumnType::Memo;
        s.fixed = false;
        return s;
    }
    if (w == "longbinary" || w == "oleobject" || w == "general" || w == "image") {
        ACCESS_RETURN_IF_ERROR(none());
        s.type = ColumnType::Ole;
        s.fixed = false;
        return s;
    }
    if (w == "binary" || w == "varbinary") {
        int n = col.args.empty() ? 255 : col.args[0];
        if (n < 1 || n > 255) return bad("the size of a binary field must lie between 1 and 255 bytes.");
        s.type = ColumnType::Binary;
        s.length = static_cast<uint16_t>(n);
        s.fixed = false;
        return s;
    }
    return bad("unknown data type '" + w + "'.");
}

}  // namespace veltrano::access
