// Jet SQL to MySQL; see jet_sql_translation.h. The text is split into
// tokens, then parsed by precedence (Access's operator order) and written
// out as MySQL while it is parsed. A refusal is raised as an internal
// exception and caught at the two entry points.
#include "to_mysql/jet_sql_translation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <set>

#include "to_mysql/jet_sql_format.h"
#include "to_mysql/jet_sql_tokens.h"

namespace veltrano::tomysql {

namespace {

using jet_detail::Refusal;
using jet_detail::refuse;
using jet_detail::Tok;
using jet_detail::Token;
using jet_detail::tokenize;
using jet_detail::upper;

// A translated expression and what is known of its shape.
struct Expr {
    enum Shape { Other, Text, Number, Column, Concat, Star };
    Shape shape = Other;
    std::string sql;
    std::string value;              // Text: the literal's value; Number: its digits
    std::string qualifier, column;  // Column
    bool negatedOne = false;        // the literal -1 (Access's True)
    std::vector<Expr> pieces;       // Concat: the operands of &
};

// A source of FROM: the name rows are qualified by, and its table ("" for
// a derived table).
struct SourceKey {
    std::string key, table;
};

const std::set<std::string> kClauseWords = {"SELECT", "FROM",  "WHERE", "GROUP", "HAVING", "ORDER", "UNION", "INNER",
                                            "LEFT",   "RIGHT", "JOIN",  "ON",    "AS",     "WITH",  "INTO",  "IN",
                                            "FULL",   "CROSS", "OUTER", "ASC",   "DESC",   "BY"};

class Parser {
public:
    Parser(std::string_view text, const JetTranslationOptions& options, std::vector<std::string>& sources)
        : tokens_(tokenize(text)), options_(options), sources_(sources) {}

    // For validation rules: a rule that starts with an operator applies to this column.
    std::string implicitColumn;

    std::string statement() {
        const std::string first = upper(peek().text);
        if (peek().kind == Tok::Word) {
            if (first == "PARAMETERS") refuse("it asks for parameters, which a view cannot take");
            if (first == "TRANSFORM") refuse("it is a crosstab query; its columns come from the data");
            if (first == "INSERT" || first == "UPDATE" || first == "DELETE" || first == "CREATE" || first == "ALTER" ||
                first == "DROP")
                refuse("it is an action query, not a select query");
        }
        std::string sql = selectWithUnions();
        if (isOp(";")) next();
        if (peek().kind != Tok::End) refuse("unexpected text after the statement: " + peek().text);
        return sql;
    }

    std::string condition() {
        Expr e = expr(0);
        if (peek().kind != Tok::End) refuse("unexpected text in the rule: " + peek().text);
        return e.sql;
    }

private:
    // Text from a damaged or hostile file must not nest deep enough to
    // exhaust the stack.
    struct Depth {
        int& n;
        explicit Depth(int& d) : n(d) {
            if (++n > 200) refuse("the statement nests too deeply");
        }
        ~Depth() { --n; }
    };

    const Token& peek(size_t ahead = 0) const { return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)]; }
    Token next() {
        Token t = peek();
        if (pos_ < tokens_.size() - 1) ++pos_;
        return t;
    }
    bool isOp(const char* op, size_t ahead = 0) const { return peek(ahead).kind == Tok::Op && peek(ahead).text == op; }
    bool isWord(const char* word, size_t ahead = 0) const {
        return peek(ahead).kind == Tok::Word && upper(peek(ahead).text) == word;
    }
    void expectOp(const char* op) {
        if (!isOp(op)) refuse(std::string("expected '") + op + "' near '" + peek().text + "'");
        next();
    }
    void expectWord(const char* word) {
        if (!isWord(word)) refuse(std::string("expected ") + word + " near '" + peek().text + "'");
        next();
    }

    std::string ident(const std::string& name) const {
        std::string mapped = options_.mapName ? options_.mapName(name) : name;
        std::string out = "`";
        for (char c : mapped) {
            if (c == '`') out += '`';
            out += c;
        }
        return out + "`";
    }

    // ---- statements ----

    std::string selectWithUnions() {
        std::string sql = selectCore();
        while (isWord("UNION")) {
            next();
            std::string op = " UNION ";
            if (isWord("ALL")) {
                next();
                op = " UNION ALL ";
            }
            sql += op + selectCore();
        }
        return sql;
    }

    struct Item {
        Expr e;
        std::string alias;
    };

    std::string selectCore() {
        expectWord("SELECT");
        bool distinct = false, distinctRow = false;
        std::string limit;
        for (;;) {
            if (isWord("ALL")) next();
            else if (isWord("DISTINCT")) next(), distinct = true;
            else if (isWord("DISTINCTROW")) next(), distinctRow = true;
            else if (isWord("TOP")) {
                next();
                if (peek().kind != Tok::Number) refuse("TOP is not followed by a number");
                limit = next().text;
                if (isWord("PERCENT")) refuse("TOP ... PERCENT has no MySQL form");
            } else break;
        }
        std::vector<Item> items;
        std::vector<std::string> qualifiers;
        qualifierSink_ = &qualifiers;
        do {
            if (!items.empty()) next();
            Item it;
            it.e = expr(0);
            if (isWord("AS")) {
                next();
                if (peek().kind != Tok::Word && peek().kind != Tok::Name) refuse("AS is not followed by a name");
                it.alias = next().text;
            }
            items.push_back(std::move(it));
        } while (isOp(","));
        qualifierSink_ = nullptr;
        if (isWord("INTO")) refuse("it makes a table (SELECT ... INTO)");
        expectWord("FROM");
        std::vector<SourceKey> keys;
        std::string from = fromClause(keys);
        if (isWord("IN")) refuse("it reads another database file");

        std::string tail;
        if (isWord("WHERE")) next(), tail += " WHERE " + expr(0).sql;
        if (isWord("GROUP")) next(), expectWord("BY"), tail += " GROUP BY " + exprList();
        if (isWord("HAVING")) next(), tail += " HAVING " + expr(0).sql;
        if (isWord("ORDER")) {
            next();
            expectWord("BY");
            std::string list;
            do {
                if (!list.empty()) next(), list += ", ";
                list += expr(0).sql;
                if (isWord("DESC")) next(), list += " DESC";
                else if (isWord("ASC")) next();
            } while (isOp(","));
            tail += " ORDER BY " + list;
        }
        if (isWord("WITH")) {
            next();
            expectWord("OWNERACCESS");
            expectWord("OPTION");
        }
        if (!limit.empty()) tail += " LIMIT " + limit;

        if (distinctRow && keys.size() > 1) {
            // DISTINCTROW drops rows that repeat whole source records; that is
            // plain SELECT when every source gives an output column.
            for (const auto& k : keys) {
                bool gives = false;
                for (const auto& q : qualifiers) gives = gives || upper(q) == upper(k.key);
                if (!gives)
                    refuse("DISTINCTROW over " + k.key + ", which gives no output column, has no exact MySQL form");
            }
        }
        return "SELECT " + std::string(distinct ? "DISTINCT " : "") + outputList(items, keys) + " FROM " + from + tail;
    }

    // The select list with unique output names, as a view needs: unnamed
    // expressions become Expr1000, Expr1001, ... as Access names them, and
    // columns of the same name in two tables are named Table.Column.
    std::string outputList(std::vector<Item>& items, const std::vector<SourceKey>& keys) {
        items = expandStars(std::move(items), keys);
        std::vector<std::string> names(items.size());
        int exprNumber = 1000;
        for (size_t i = 0; i < items.size(); ++i) {
            const Expr& e = items[i].e;
            if (!items[i].alias.empty()) names[i] = items[i].alias;
            else if (e.shape == Expr::Column) names[i] = e.column;
            else if (e.shape != Expr::Star) names[i] = items[i].alias = "Expr" + std::to_string(exprNumber++);
        }
        for (size_t i = 0; i < items.size(); ++i) {
            if (names[i].empty() || !items[i].alias.empty()) continue;
            for (size_t j = 0; j < items.size(); ++j)
                if (j != i && upper(names[j]) == upper(names[i]) && !items[i].e.qualifier.empty())
                    items[i].alias = items[i].e.qualifier + "." + items[i].e.column;
        }
        std::string out;
        for (size_t i = 0; i < items.size(); ++i) {
            if (i > 0) out += ", ";
            const Expr& e = items[i].e;
            if (e.shape == Expr::Star && e.qualifier.empty() && i > 0) {
                // MySQL takes a bare * only first: name each source's columns.
                for (size_t k = 0; k < keys.size(); ++k) out += (k ? ", " : "") + ident(keys[k].key) + ".*";
                continue;
            }
            out += e.sql;
            if (!items[i].alias.empty()) out += " AS " + ident(items[i].alias);
        }
        return out;
    }

    // T.* and * as the columns they stand for, when the tables' columns are
    // known, so that names the star repeats can be told apart.
    std::vector<Item> expandStars(std::vector<Item> items, const std::vector<SourceKey>& keys) {
        if (!options_.columnsOf) return items;
        std::vector<Item> out;
        for (auto& item : items) {
            if (item.e.shape != Expr::Star) {
                out.push_back(std::move(item));
                continue;
            }
            std::vector<Item> columns;
            bool known = true;
            for (const auto& k : keys) {
                if (!item.e.qualifier.empty() && upper(item.e.qualifier) != upper(k.key)) continue;
                auto names = k.table.empty() ? std::nullopt : options_.columnsOf(k.table);
                if (!names) {
                    known = false;
                    break;
                }
                for (const auto& n : *names) columns.push_back({columnRef(k.key, n), {}});
            }
            if (!known || columns.empty()) out.push_back(std::move(item));
            else out.insert(out.end(), columns.begin(), columns.end());
        }
        return out;
    }

    std::string exprList() {
        std::string list;
        do {
            if (!list.empty()) next(), list += ", ";
            list += expr(0).sql;
        } while (isOp(","));
        return list;
    }

    // FROM: sources separated by commas (a cross join), each a chain of joins.
    std::string fromClause(std::vector<SourceKey>& keys) {
        std::vector<std::pair<std::string, bool>> parts;  // text, holds a join
        do {
            if (!parts.empty()) next();
            bool joined = false;
            std::string part = joinChain(keys, joined);
            parts.emplace_back(std::move(part), joined);
        } while (isOp(","));
        if (parts.size() == 1) return parts[0].first;
        std::string out;
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i > 0) out += " CROSS JOIN ";
            out += parts[i].second ? "(" + parts[i].first + ")" : parts[i].first;
        }
        return out;
    }

    std::string joinChain(std::vector<SourceKey>& keys, bool& joined) {
        std::string left = source(keys);
        for (;;) {
            std::string kind;
            if (isWord("INNER") && isWord("JOIN", 1)) kind = " INNER JOIN ";
            else if (isWord("LEFT") || isWord("RIGHT")) kind = isWord("LEFT") ? " LEFT JOIN " : " RIGHT JOIN ";
            else break;
            next();
            if (isWord("OUTER")) next();
            expectWord("JOIN");
            std::string right = source(keys);
            expectWord("ON");
            left += kind + right + " ON " + expr(0).sql;
            joined = true;
        }
        return left;
    }

    std::string source(std::vector<SourceKey>& keys) {
        Depth depth(depth_);
        std::string text, key, table;
        if (isOp("(")) {
            next();
            if (isWord("SELECT")) {
                text = "(" + selectWithUnions() + ")";
                expectOp(")");
            } else {
                bool joined = false;
                text = "(" + joinChain(keys, joined) + ")";
                expectOp(")");
                return text;
            }
        } else if (peek().kind == Tok::Name && upper(peek().text).rfind("SELECT ", 0) == 0 && isOp(".", 1)) {
            // The older derived-table form: [SELECT ...]. AS alias
            std::string inner = next().text;
            next();
            Parser sub(inner, options_, sources_);
            text = "(" + sub.selectWithUnions() + ")";
            if (sub.peek().kind != Tok::End && !(sub.isOp(";") && sub.peek(1).kind == Tok::End))
                refuse("unexpected text in a derived table");
        } else if (peek().kind == Tok::Name || (peek().kind == Tok::Word && !kClauseWords.count(upper(peek().text)))) {
            key = table = next().text;
            sources_.push_back(key);
            text = ident(key);
        } else {
            refuse("expected a table near '" + peek().text + "'");
        }
        bool as = isWord("AS");
        if (as) next();
        if (peek().kind == Tok::Name || (peek().kind == Tok::Word && !kClauseWords.count(upper(peek().text)))) {
            key = next().text;
            text += " AS " + ident(key);
        } else if (as) {
            refuse("AS is not followed by a name");
        }
        if (key.empty()) refuse("a derived table has no name");
        keys.push_back({key, table});
        return text;
    }

    // ---- expressions ----

    static int binaryPrecedence(const Token& t, bool& known) {
        known = true;
        if (t.kind == Tok::Op) {
            const std::string& o = t.text;
            if (o == "^") return 14;
            if (o == "*" || o == "/") return 12;
            if (o == "\\") return 11;
            if (o == "+" || o == "-") return 9;
            if (o == "&") return 8;
            if (o == "=" || o == "<>" || o == "<" || o == ">" || o == "<=" || o == ">=") return 7;
        } else if (t.kind == Tok::Word) {
            const std::string w = upper(t.text);
            if (w == "MOD") return 10;
            if (w == "LIKE" || w == "IS" || w == "BETWEEN" || w == "IN" || w == "NOT") return 7;
            if (w == "AND") return 5;
            if (w == "OR") return 4;
            if (w == "XOR") return 3;
            if (w == "EQV") return 2;
            if (w == "IMP") return 1;
        }
        known = false;
        return -1;
    }

    static Expr other(std::string sql) {
        Expr e;
        e.sql = std::move(sql);
        return e;
    }

    Expr expr(int minPrecedence) {
        Depth depth(depth_);
        Expr left = unary();
        for (;;) {
            bool known = false;
            const int p = binaryPrecedence(peek(), known);
            if (!known || p < minPrecedence) return left;
            // "Not" here only starts Not Like / Not In / Not Between.
            if (isWord("NOT") && !(isWord("LIKE", 1) || isWord("IN", 1) || isWord("BETWEEN", 1))) return left;
            left = binary(std::move(left), p);
        }
    }

    Expr binary(Expr left, int p) {
        Token op = next();
        const std::string w = upper(op.text);
        if (op.kind == Tok::Op && op.text == "^") return other("POW(" + left.sql + ", " + expr(p).sql + ")");
        if (op.kind == Tok::Op && op.text == "&") {
            Expr right = expr(p + 1);
            Expr c;
            c.shape = Expr::Concat;
            if (left.shape == Expr::Concat) c.pieces = std::move(left.pieces);
            else c.pieces.push_back(std::move(left));
            c.pieces.push_back(std::move(right));
            c.sql = concatSql(c.pieces);
            return c;
        }
        if (op.kind == Tok::Op && (op.text == "*" || op.text == "/" || op.text == "-"))
            return other("(" + left.sql + " " + op.text + " " + expr(p + 1).sql + ")");
        if (op.kind == Tok::Op && op.text == "+") {
            Expr right = expr(p + 1);
            if (left.shape == Expr::Text || right.shape == Expr::Text) return other("CONCAT(" + left.sql + ", " + right.sql + ")");
            return other("(" + left.sql + " + " + right.sql + ")");
        }
        if (op.kind == Tok::Op && op.text == "\\")
            return other("(ROUND(" + left.sql + ") DIV ROUND(" + expr(p + 1).sql + "))");
        if (w == "MOD") return other("MOD(ROUND(" + left.sql + "), ROUND(" + expr(p + 1).sql + "))");
        if (op.kind == Tok::Op) {  // comparison
            Expr right = expr(p + 1);
            yesNoTrue(left, right);
            yesNoTrue(right, left);
            return other("(" + left.sql + " " + op.text + " " + right.sql + ")");
        }
        bool negated = false;
        std::string kw = w;
        if (kw == "NOT") {
            negated = true;
            kw = upper(next().text);
        }
        if (kw == "IS") {
            bool isNot = false;
            if (isWord("NOT")) next(), isNot = true;
            expectWord("NULL");
            return other("(" + left.sql + (isNot ? " IS NOT NULL)" : " IS NULL)"));
        }
        if (kw == "LIKE") {
            Expr pattern = expr(p + 1);
            return other("(" + left.sql + (negated ? " NOT LIKE " : " LIKE ") + likePattern(pattern) + ")");
        }
        if (kw == "BETWEEN") {
            Expr low = expr(p + 1);
            expectWord("AND");
            Expr high = expr(p + 1);
            return other("(" + left.sql + (negated ? " NOT BETWEEN " : " BETWEEN ") + low.sql + " AND " + high.sql + ")");
        }
        if (kw == "IN") {
            expectOp("(");
            std::string list = isWord("SELECT") ? selectWithUnions() : exprList();
            expectOp(")");
            return other("(" + left.sql + (negated ? " NOT IN (" : " IN (") + list + "))");
        }
        Expr right = expr(p + 1);
        if (w == "AND" || w == "OR" || w == "XOR") return other("(" + left.sql + " " + w + " " + right.sql + ")");
        if (w == "EQV") return other("(NOT (" + left.sql + " XOR " + right.sql + "))");
        return other("((NOT " + left.sql + ") OR " + right.sql + ")");  // Imp
    }

    // Access's True is -1; a Yes/No column holds 1 in MySQL.
    void yesNoTrue(const Expr& column, Expr& value) const {
        if (column.shape == Expr::Column && value.negatedOne && options_.isYesNo &&
            options_.isYesNo(column.qualifier, column.column))
            value = other("TRUE");
    }

    // a & b: a Null operand counts as "" and only all-Null operands give Null.
    static std::string concatSql(const std::vector<Expr>& pieces) {
        std::string args, allNull;
        bool literal = false;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const Expr& e = pieces[i];
            const bool never = e.shape == Expr::Text || e.shape == Expr::Number;
            literal = literal || never;
            args += (i ? ", " : "") + (never ? e.sql : "COALESCE(" + e.sql + ", '')");
            if (!never) allNull += (allNull.empty() ? "" : " AND ") + e.sql + " IS NULL";
        }
        if (literal) return "CONCAT(" + args + ")";
        return "(CASE WHEN " + allNull + " THEN NULL ELSE CONCAT(" + args + ") END)";
    }

    std::string likePattern(const Expr& e) const {
        if (e.shape == Expr::Text) {
            std::string failure;
            std::string pattern = jetPatternToMysql(e.value, failure);
            if (!failure.empty()) refuse(failure);
            return textLiteral(pattern);
        }
        if (e.shape == Expr::Concat) {
            std::vector<Expr> pieces = e.pieces;
            for (auto& piece : pieces) {
                const bool text = piece.shape == Expr::Text;
                piece.sql = likePattern(piece);
                if (text) piece.shape = Expr::Text;
            }
            return concatSql(pieces);
        }
        return "REPLACE(REPLACE(REPLACE(REPLACE(" + e.sql + ", '%', '\\\\%'), '_', '\\\\_'), '*', '%'), '?', '_')";
    }

    Expr unary() {
        if (!implicitColumn.empty()) {
            bool known = false;
            int p = binaryPrecedence(peek(), known);
            if (known && p == 7) return columnRef("", implicitColumn);
        }
        const Token& t = peek();
        if (t.kind == Tok::Op && t.text == "-") {
            next();
            Expr operand = expr(13);
            Expr e = other("(-" + operand.sql + ")");
            e.negatedOne = operand.shape == Expr::Number && operand.value == "1";
            return e;
        }
        if (t.kind == Tok::Op && t.text == "+") {
            next();
            return expr(13);
        }
        if (t.kind == Tok::Word && upper(t.text) == "NOT") {
            next();
            return other("(NOT " + expr(6).sql + ")");
        }
        return primary();
    }

    Expr primary() {
        Token t = next();
        switch (t.kind) {
            case Tok::String: {
                Expr e = other(textLiteral(t.text));
                e.shape = Expr::Text;
                e.value = t.text;
                return e;
            }
            case Tok::Number: {
                Expr e = other(t.text);
                e.shape = Expr::Number;
                e.value = t.text;
                return e;
            }
            case Tok::Date: {
                std::string failure;
                std::string date = jetDateToMysql(t.text, failure);
                if (!failure.empty()) refuse(failure);
                return other(textLiteral(date));
            }
            case Tok::Op:
                if (t.text == "(") {
                    if (isWord("SELECT")) {
                        std::string sub = selectWithUnions();
                        expectOp(")");
                        return other("(" + sub + ")");
                    }
                    Expr inner = expr(0);
                    expectOp(")");
                    inner.sql = "(" + inner.sql + ")";
                    return inner;
                }
                if (t.text == "*") {
                    Expr e = other("*");
                    e.shape = Expr::Star;
                    return e;
                }
                refuse("unexpected '" + t.text + "'");
            case Tok::End: refuse("the text ends too early");
            case Tok::Word: {
                const std::string w = upper(t.text);
                if (w == "TRUE" || w == "YES" || w == "ON") return other("TRUE");
                if (w == "FALSE" || w == "NO" || w == "OFF") return other("FALSE");
                if (w == "NULL") return other("NULL");
                if (w == "EXISTS" && isOp("(")) {
                    next();
                    std::string sub = selectWithUnions();
                    expectOp(")");
                    return other("EXISTS (" + sub + ")");
                }
                if (isOp("(")) return call(t.text);
                if (kClauseWords.count(w)) refuse("unexpected " + t.text);
                return namePath(t.text);
            }
            case Tok::Name: return namePath(t.text);
        }
        refuse("unexpected text");
    }

    Expr namePath(std::string first) {
        std::vector<std::string> parts{std::move(first)};
        bool bang = false;
        while (isOp(".") || isOp("!")) {
            bang = bang || isOp("!");
            next();
            if (isOp("*")) {
                next();
                Expr e = other(ident(parts.back()) + ".*");
                e.shape = Expr::Star;
                e.qualifier = parts.back();
                if (qualifierSink_) qualifierSink_->push_back(parts.back());
                return e;
            }
            Token part = next();
            if (part.kind != Tok::Word && part.kind != Tok::Name) refuse("a name is cut short after '.'");
            parts.push_back(part.text);
        }
        const std::string head = upper(parts[0]);
        if (bang && (head == "FORMS" || head == "REPORTS"))
            refuse("it reads a value from a form, which is a parameter a view cannot take");
        if (parts.size() > 2) refuse("the name " + parts[0] + "." + parts[1] + "... has too many parts");
        return parts.size() == 2 ? columnRef(parts[0], parts[1]) : columnRef("", parts[0]);
    }

    Expr columnRef(const std::string& qualifier, const std::string& column) {
        Expr e;
        e.shape = Expr::Column;
        e.qualifier = qualifier;
        e.column = column;
        e.sql = qualifier.empty() ? ident(column) : ident(qualifier) + "." + ident(column);
        if (qualifierSink_ && !qualifier.empty()) qualifierSink_->push_back(qualifier);
        return e;
    }

    Expr call(const std::string& name) {
        next();  // (
        std::vector<Expr> args;
        if (!isOp(")")) {
            do {
                if (!args.empty()) next();
                args.push_back(expr(0));
            } while (isOp(","));
        }
        expectOp(")");
        std::string failure;
        std::string sql = translateFunction(name, args, failure);
        if (!failure.empty()) refuse(failure);
        return other(std::move(sql));
    }

    std::string translateFunction(const std::string& name, const std::vector<Expr>& a, std::string& failure) const;

    std::vector<Token> tokens_;
    size_t pos_ = 0;
    const JetTranslationOptions& options_;
    std::vector<std::string>& sources_;
    std::vector<std::string>* qualifierSink_ = nullptr;
    int depth_ = 0;
};

std::string Parser::translateFunction(const std::string& name, const std::vector<Expr>& a, std::string& failure) const {
    const std::string f = upper(name);
    auto arity = [&](size_t low, size_t high) {
        if (a.size() < low || a.size() > high) {
            failure = name + " is given " + std::to_string(a.size()) + " arguments";
            return false;
        }
        return true;
    };
    auto args = [&](size_t from = 0) {
        std::string s;
        for (size_t i = from; i < a.size(); ++i) s += (i > from ? ", " : "") + a[i].sql;
        return s;
    };
    struct Same {
        const char* jet;
        const char* mysql;
        size_t low, high;
    };
    static const Same kSame[] = {
        {"SUM", "SUM", 1, 1},         {"AVG", "AVG", 1, 1},       {"MIN", "MIN", 1, 1},
        {"MAX", "MAX", 1, 1},         {"COUNT", "COUNT", 1, 1},   {"YEAR", "YEAR", 1, 1},
        {"MONTH", "MONTH", 1, 1},     {"DAY", "DAY", 1, 1},       {"HOUR", "HOUR", 1, 1},
        {"MINUTE", "MINUTE", 1, 1},   {"SECOND", "SECOND", 1, 1}, {"LEFT", "LEFT", 2, 2},
        {"RIGHT", "RIGHT", 2, 2},     {"MID", "SUBSTRING", 2, 3}, {"LEN", "CHAR_LENGTH", 1, 1},
        {"TRIM", "TRIM", 1, 1},       {"LTRIM", "LTRIM", 1, 1},   {"RTRIM", "RTRIM", 1, 1},
        {"UCASE", "UPPER", 1, 1},     {"LCASE", "LOWER", 1, 1},   {"ABS", "ABS", 1, 1},
        {"SGN", "SIGN", 1, 1},        {"SQR", "SQRT", 1, 1},      {"EXP", "EXP", 1, 1},
        {"LOG", "LN", 1, 1},          {"INT", "FLOOR", 1, 1},     {"WEEKDAY", "DAYOFWEEK", 1, 1},
        {"STDEV", "STDDEV_SAMP", 1, 1}, {"STDEVP", "STDDEV_POP", 1, 1}, {"VAR", "VAR_SAMP", 1, 1},
        {"VARP", "VAR_POP", 1, 1},    {"REPLACE", "REPLACE", 3, 3}, {"SPACE", "SPACE", 1, 1},
    };
    for (const auto& s : kSame)
        if (f == s.jet) return arity(s.low, s.high) ? std::string(s.mysql) + "(" + args() + ")" : std::string();
    if (f == "IIF") return arity(3, 3) ? "IF(" + args() + ")" : std::string();
    if (f == "NZ") return arity(1, 2) ? "COALESCE(" + a[0].sql + ", " + (a.size() > 1 ? a[1].sql : "''") + ")" : std::string();
    if (f == "ISNULL") return arity(1, 1) ? "(" + a[0].sql + " IS NULL)" : std::string();
    if (f == "DATE") return arity(0, 0) ? "CURDATE()" : std::string();
    if (f == "NOW") return arity(0, 0) ? "NOW()" : std::string();
    if (f == "TIME") return arity(0, 0) ? "CURTIME()" : std::string();
    if (f == "FIX") return arity(1, 1) ? "TRUNCATE(" + a[0].sql + ", 0)" : std::string();
    if (f == "CCUR") return arity(1, 1) ? "CAST(" + a[0].sql + " AS DECIMAL(19,4))" : std::string();
    if (f == "CSTR") return arity(1, 1) ? "CAST(" + a[0].sql + " AS CHAR)" : std::string();
    if (f == "CDBL") return arity(1, 1) ? "(" + a[0].sql + " + 0E0)" : std::string();
    if (f == "INSTR") {
        if (!arity(2, 3)) return {};
        if (a.size() == 2) return "LOCATE(" + a[1].sql + ", " + a[0].sql + ")";
        return "LOCATE(" + a[2].sql + ", " + a[1].sql + ", " + a[0].sql + ")";
    }
    if (f == "FORMAT" || f == "DATEPART") {
        if (!arity(2, 4)) return {};
        const Expr& literal = f == "FORMAT" ? a[1] : a[0];
        const Expr& value = f == "FORMAT" ? a[0] : a[1];
        if (literal.shape != Expr::Text) {
            failure = name + " is given a pattern that is not a literal";
            return {};
        }
        std::string sql = f == "FORMAT" ? jetFormatToMysql(value.sql, literal.value, failure)
                                        : jetDatePartToMysql(literal.value, value.sql, failure);
        if (a.size() > 2 && (f == "FORMAT" || upper(literal.value) == "W"))
            failure = name + " with a first day of the week has no MySQL form";
        return sql;
    }
    failure = "the function " + name + " has no MySQL equivalent here";
    return {};
}

JetTranslation run(std::string_view text, const JetTranslationOptions& options, std::string_view column,
                   bool condition) {
    JetTranslation t;
    try {
        Parser parser(text, options, t.sources);
        if (!condition) {
            t.sql = parser.statement();
        } else {
            parser.implicitColumn = std::string(column);
            t.sql = parser.condition();
        }
        t.ok = true;
    } catch (const Refusal& r) {
        t.ok = false;
        t.sql.clear();
        t.reason = r.reason;
    }
    return t;
}

}  // namespace

JetTranslation translateJetSelect(std::string_view jet, const JetTranslationOptions& options) {
    return run(jet, options, {}, false);
}

JetTranslation translateValidationRule(std::string_view rule, std::string_view column,
                                       const JetTranslationOptions& options) {
    return run(rule, options, column, true);
}

}  // namespace veltrano::tomysql
