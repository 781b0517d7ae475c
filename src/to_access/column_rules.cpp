// MySQL column rules as Access properties; see column_rules.h.
#include "to_access/column_rules.h"

#include <cctype>
#include <cstdlib>
#include <optional>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "mysql/sql_text.h"
#include "to_access/access_definitions.h"

namespace veltrano {

namespace {

using Row = std::vector<std::optional<std::string>>;

std::optional<std::vector<Row>> query(MYSQL_CONNECTION& c, const std::string& sql) {
    auto rs = c.Execute(sql);
    if (c.Error().Number() != 0 || !rs || rs->State() != 0) {
        c.Error().Clear();
        return std::nullopt;
    }
    std::vector<Row> out;
    if (rs->RecordCount() < 1) return out;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
        Row row;
        for (int32_t i = 0; i < rs->FieldCount(); ++i) {
            FieldValue v = rs->Fields(i).Value();
            row.push_back(v.isText() ? std::optional<std::string>(v.asText()) : std::nullopt);
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::string lower(std::string s) {
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

bool isTextType(const std::string& t) {
    return t == "char" || t == "varchar" || t == "tinytext" || t == "text" || t == "mediumtext" || t == "longtext" ||
           t == "enum" || t == "set";
}

bool isTemporalType(const std::string& t) {
    return t == "date" || t == "datetime" || t == "timestamp" || t == "time" || t == "year";
}

bool isNumber(const std::string& s) {
    if (s.empty()) return false;
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

std::string jetText(const std::string& value) {
    std::string out = "\"";
    for (char ch : value) {
        if (ch == '"') out += '"';
        out += ch;
    }
    return out + "\"";
}

// A MariaDB default is shown as SQL ('text', 0, current_timestamp()); MySQL
// shows a text default bare. nullopt: no Access form.
std::optional<std::string> jetDefault(const std::string& shown, const std::string& type, const std::string& extra,
                                      bool mariadb) {
    const std::string l = lower(shown);
    if (l == "null") return std::string();
    if (l.rfind("current_timestamp", 0) == 0 || l == "now()") return std::string("Now()");
    if (l == "curdate()" || l == "current_date" || l == "current_date()") return std::string("Date()");
    if (shown.size() >= 2 && shown.front() == '\'' && shown.back() == '\'') {
        std::string v;
        for (size_t i = 1; i + 1 < shown.size(); ++i) {
            if (shown[i] == '\'' && shown[i + 1] == '\'') ++i;
            else if (shown[i] == '\\' && i + 2 < shown.size()) ++i;
            v += shown[i];
        }
        if (isTemporalType(type)) return std::nullopt;
        return isNumber(v) && !isTextType(type) ? v : jetText(v);
    }
    if (extra.find("default_generated") != std::string::npos) return std::nullopt;
    if (isTextType(type)) return mariadb ? std::nullopt : std::optional<std::string>(jetText(shown));
    if (isNumber(shown) && !isTemporalType(type)) return shown;
    return std::nullopt;
}

// Reads the quoted run that starts at clause[i] (the quote) into `value`,
// undoing doubled quotes and, with `backslash`, \x escapes (`escapedWildcard`
// tells whether \% or \_ occurred). Returns the index after the closing
// quote, npos when the run is not closed.
size_t readQuoted(const std::string& clause, size_t i, char quote, bool backslash, std::string& value,
                  bool& escapedWildcard) {
    for (size_t at = i + 1; at < clause.size(); ++at) {
        if (backslash && clause[at] == '\\' && at + 1 < clause.size()) {
            value += clause[++at];
            escapedWildcard = escapedWildcard || clause[at] == '%' || clause[at] == '_';
            continue;
        }
        if (clause[at] == quote) {
            if (at + 1 < clause.size() && clause[at + 1] == quote) {
                value += quote;
                ++at;
                continue;
            }
            return at + 1;
        }
        value += clause[at];
    }
    return std::string::npos;
}

}  // namespace

std::string checkClauseToJet(const std::string& clause, std::string& failure) {
    std::string out;
    size_t i = 0;
    bool likeNext = false;
    while (i < clause.size()) {
        const char ch = clause[i];
        if (std::isspace(static_cast<unsigned char>(ch))) {
            out += ' ';
            ++i;
        } else if (ch == '`') {
            std::string name;
            bool escaped = false;
            size_t end = readQuoted(clause, i, '`', false, name, escaped);
            if (end == std::string::npos) break;
            out += "[" + accessName(name) + "]";
            i = end;
        } else if (ch == '\'') {
            std::string v;
            bool escapedWildcard = false;
            size_t end = readQuoted(clause, i, '\'', true, v, escapedWildcard);
            if (end == std::string::npos) break;
            if (likeNext && escapedWildcard) {
                failure = "the LIKE pattern '" + v + "' holds a literal % or _, which Access cannot write";
                return {};
            }
            if (likeNext) {
                // LIKE wildcards: % and _ become * and ?, which must not occur literally.
                if (v.find_first_of("*?#[") != std::string::npos) {
                    failure = "the LIKE pattern '" + v + "' holds characters Access reads as wildcards";
                    return {};
                }
                for (auto& c : v) c = c == '%' ? '*' : c == '_' ? '?' : c;
            }
            likeNext = false;
            out += jetText(v);
            i = end;
        } else if (std::isdigit(static_cast<unsigned char>(ch)) || ch == '.') {
            size_t end = i;
            while (end < clause.size() && (std::isalnum(static_cast<unsigned char>(clause[end])) || clause[end] == '.')) ++end;
            std::string n = clause.substr(i, end - i);
            if (!isNumber(n)) {
                failure = "the number " + n + " is not understood";
                return {};
            }
            out += n;
            i = end;
        } else if (std::isalpha(static_cast<unsigned char>(ch)) || ch == '_') {
            size_t end = i;
            while (end < clause.size() && (std::isalnum(static_cast<unsigned char>(clause[end])) || clause[end] == '_')) ++end;
            const std::string w = lower(clause.substr(i, end - i));
            static const char* const kWords[] = {"and", "or", "not", "is", "null", "between", "in", "like", "true", "false"};
            bool known = false;
            for (const char* k : kWords) known = known || w == k;
            if (!known || (end < clause.size() && clause[end] == '(' && w != "in")) {
                failure = "'" + clause.substr(i, end - i) + "' has no Access form";
                return {};
            }
            likeNext = w == "like";
            std::string word = w;
            word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
            out += word;
            i = end;
        } else if (clause.compare(i, 2, "!=") == 0) {
            out += "<>";
            i += 2;
        } else if (std::string_view("=<>+-*/(),").find(ch) != std::string_view::npos) {
            out += ch;
            ++i;
        } else {
            failure = std::string("the character '") + ch + "' has no Access form";
            return {};
        }
    }
    if (i < clause.size()) {
        failure = "a name or text is not closed";
        return {};
    }
    return out;
}

TableRules readTableRules(MYSQL_CONNECTION& source, const std::string& database, const std::string& table) {
    TableRules rules;
    const std::string where = " WHERE TABLE_SCHEMA = " + sqlTextLiteral(database) + " AND TABLE_NAME = " + sqlTextLiteral(table);
    constexpr uint8_t kEngine = 1;
    auto text = [](const std::string& s) { return access::Value::ofBytes(access::ValueKind::Text, s); };

    if (auto kind = query(source, "SELECT TABLE_TYPE, TABLE_COMMENT FROM information_schema.TABLES" + where);
        kind && !kind->empty()) {
        if ((*kind)[0][0] && *(*kind)[0][0] == "VIEW")
            rules.notCarried.push_back({table, "view definition",
                                        "it was a view in MySQL; the table holds the rows the view gave"});
        else if ((*kind)[0][1] && !(*kind)[0][1]->empty())
            rules.properties.push_back({"", {{"Description", text(*(*kind)[0][1]), 0}}});
    }

    auto version = query(source, "SELECT VERSION()");
    const bool mariadb = version && !version->empty() && (*version)[0][0] &&
                         (*version)[0][0]->find("MariaDB") != std::string::npos;
    auto columns = query(source, "SELECT COLUMN_NAME, IS_NULLABLE, COLUMN_DEFAULT, COLUMN_COMMENT, DATA_TYPE, EXTRA "
                                 "FROM information_schema.COLUMNS" + where + " ORDER BY ORDINAL_POSITION");
    for (const Row& c : columns ? *columns : std::vector<Row>{}) {
        if (c.size() < 6 || !c[0]) continue;
        const std::string name = accessName(*c[0]), type = lower(c[4].value_or("")), extra = lower(c[5].value_or(""));
        access::ObjectProperties o{name, {}};
        // Access has no value for a zero date MySQL may hold in a NOT NULL
        // column; such a row stays carried (as Null) only without Required.
        if (c[1] == "NO" && !isTemporalType(type) && extra.find("auto_increment") == std::string::npos)
            o.values.push_back({"Required", access::Value::ofInteger(access::ValueKind::Boolean, 1), kEngine});
        if (c[2]) {
            if (auto d = jetDefault(*c[2], type, extra, mariadb); !d)
                rules.notCarried.push_back({table, "default " + *c[2] + " of column " + *c[0],
                                            "it is an expression Access has no form for"});
            else if (!d->empty())
                o.values.push_back({"DefaultValue", text(*d), kEngine});
        }
        if (c[3] && !c[3]->empty()) o.values.push_back({"Description", text(*c[3]), 0});
        if (!o.values.empty()) rules.properties.push_back(std::move(o));
    }

    // MariaDB names CHECK constraints per table, MySQL per database.
    auto checks = query(source, "SELECT c.CONSTRAINT_NAME, c.CHECK_CLAUSE FROM information_schema.CHECK_CONSTRAINTS c "
                                "WHERE c.CONSTRAINT_SCHEMA = " + sqlTextLiteral(database) +
                                    " AND c.TABLE_NAME = " + sqlTextLiteral(table));
    if (!checks)
        checks = query(source, "SELECT c.CONSTRAINT_NAME, c.CHECK_CLAUSE FROM information_schema.TABLE_CONSTRAINTS t JOIN "
                               "information_schema.CHECK_CONSTRAINTS c ON c.CONSTRAINT_SCHEMA = t.CONSTRAINT_SCHEMA AND "
                               "c.CONSTRAINT_NAME = t.CONSTRAINT_NAME WHERE t.TABLE_SCHEMA = " + sqlTextLiteral(database) +
                               " AND t.TABLE_NAME = " + sqlTextLiteral(table) + " AND t.CONSTRAINT_TYPE = 'CHECK'");
    // MariaDB and MySQL both list a key's columns in KEY_COLUMN_USAGE and its
    // rules in REFERENTIAL_CONSTRAINTS.
    auto keys = query(source, "SELECT k.CONSTRAINT_NAME, k.COLUMN_NAME, k.REFERENCED_TABLE_NAME, k.REFERENCED_COLUMN_NAME, "
                              "r.UPDATE_RULE, r.DELETE_RULE, k.REFERENCED_TABLE_SCHEMA FROM information_schema.KEY_COLUMN_USAGE k JOIN "
                              "information_schema.REFERENTIAL_CONSTRAINTS r ON r.CONSTRAINT_SCHEMA = k.TABLE_SCHEMA AND "
                              "r.TABLE_NAME = k.TABLE_NAME AND r.CONSTRAINT_NAME = k.CONSTRAINT_NAME WHERE k.TABLE_SCHEMA = " +
                                  sqlTextLiteral(database) + " AND k.TABLE_NAME = " + sqlTextLiteral(table) +
                                  " AND k.REFERENCED_TABLE_NAME IS NOT NULL ORDER BY k.CONSTRAINT_NAME, k.ORDINAL_POSITION");
    for (const Row& k : keys ? *keys : std::vector<Row>{}) {
        if (k.size() < 7 || !k[0] || !k[1] || !k[2] || !k[3]) continue;
        // A table of another database is named with it, so it matches no converted table.
        const std::string referenced = k[6] && *k[6] != database ? *k[6] + "." + *k[2] : *k[2];
        if (rules.foreignKeys.empty() || rules.foreignKeys.back().name != *k[0])
            rules.foreignKeys.push_back({*k[0], {}, referenced, {}, k[4].value_or(""), k[5].value_or("")});
        rules.foreignKeys.back().columns.push_back(*k[1]);
        rules.foreignKeys.back().referencedColumns.push_back(*k[3]);
    }

    std::string rule;
    for (const Row& c : checks ? *checks : std::vector<Row>{}) {
        if (c.size() < 2 || !c[1]) continue;
        std::string failure;
        std::string jet = checkClauseToJet(*c[1], failure);
        if (!failure.empty()) {
            rules.notCarried.push_back({table, "CHECK " + c[0].value_or("") + " (" + *c[1] + ")",
                                        "it does not translate to an Access validation rule: " + failure});
            continue;
        }
        rule += (rule.empty() ? "(" : " And (") + jet + ")";
    }
    if (!rule.empty()) {
        bool merged = false;
        for (auto& o : rules.properties)
            if (o.object.empty()) o.values.push_back({"ValidationRule", text(rule), 0}), merged = true;
        if (!merged) rules.properties.push_back({"", {{"ValidationRule", text(rule), 0}}});
    }
    return rules;
}

}  // namespace veltrano
