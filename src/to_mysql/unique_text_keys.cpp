#include "to_mysql/unique_text_keys.h"

#include <optional>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "mysql/sql_text.h"
#include "to_mysql/table_definitions.h"

namespace veltrano::tomysql {

namespace {

constexpr int kClassicMemoPrefix = 10;
// A key holds at most 3072 bytes: 768 characters of utf8mb4.
constexpr int kMaxKeyChars = 768;

std::optional<std::string> firstValue(MYSQL_CONNECTION& mysql, const std::string& sql) {
    auto rs = mysql.Execute(sql);
    if (mysql.Error().Number() != 0 || !rs || rs->State() != 0 || rs->RecordCount() < 1) return std::nullopt;
    rs->MoveFirst();
    FieldValue v = rs->Fields(0).Value();
    return v.isText() ? v.asText() : std::string();
}

// A collation that ignores case but not accents, as Access compares text;
// utf8mb4_bin where the server has none.
std::string accentSensitiveCollation(MYSQL_CONNECTION& mysql) {
    auto name = firstValue(mysql,
                           "SELECT COLLATION_NAME FROM information_schema.COLLATIONS WHERE COLLATION_NAME IN "
                           "('utf8mb4_uca1400_as_ci', 'utf8mb4_0900_as_ci') ORDER BY COLLATION_NAME DESC");
    mysql.Error().Clear();
    return name && !name->empty() ? *name : "utf8mb4_bin";
}

std::string keyColumns(const UniqueTextKey& key, int memoPrefix) {
    std::string out;
    for (size_t i = 0; i < key.columns.size(); ++i) {
        if (i > 0) out += ",";
        out += sqlIdentifier(key.columns[i]);
        if (key.memo[i]) out += "(" + std::to_string(memoPrefix) + ")";
        else if (key.prefix[i] > 0) out += "(" + std::to_string(key.prefix[i]) + ")";
    }
    return out;
}

// Whether rows with values in every key column would collide in the key
// with this memo prefix and collation ("" the columns' own); nullopt when
// the server cannot tell.
std::optional<bool> collides(MYSQL_CONNECTION& mysql, const std::string& table, const UniqueTextKey& key,
                             int memoPrefix, const std::string& collation) {
    std::string groups, present;
    for (size_t i = 0; i < key.columns.size(); ++i) {
        std::string part = sqlIdentifier(key.columns[i]);
        present += " AND " + part + " IS NOT NULL";
        if (key.memo[i]) part = "LEFT(" + part + ", " + std::to_string(memoPrefix) + ")";
        else if (key.prefix[i] > 0) part = "LEFT(" + part + ", " + std::to_string(key.prefix[i]) + ")";
        if (key.text[i] && !collation.empty()) part += " COLLATE " + collation;
        groups += (i > 0 ? ", " : "") + part;
    }
    auto n = firstValue(mysql, "SELECT COUNT(*) FROM (SELECT 1 FROM " + table + " WHERE 1 = 1" + present +
                                   " GROUP BY " + groups + " HAVING COUNT(*) > 1) d");
    if (!n) return std::nullopt;
    return *n != "0";
}

const ColumnDefinition* columnNamed(const TableDefinition& table, const std::string& mysqlColumn, bool convertSpaces) {
    for (const auto& c : table.columns)
        if (mysqlName(c.name, convertSpaces) == mysqlColumn) return &c;
    return nullptr;
}

}  // namespace

std::string withoutUniqueTextKeys(std::string sql, const TableDefinition& table) {
    for (const auto& key : table.uniqueTextKeys) {
        const std::string clause = " , " + key.clause;
        if (size_t at = sql.find(clause); at != std::string::npos) sql.erase(at, clause.size());
    }
    return sql;
}

void addUniqueTextKeys(MYSQL_CONNECTION& mysql, const TableDefinition& table, bool convertSpaces,
                       std::vector<NotCarriedItem>& notes) {
    const std::string quotedTable = sqlIdentifier(mysqlName(table.name, convertSpaces));
    for (const auto& key : table.uniqueTextKeys) {
        int memoParts = 0;
        for (bool m : key.memo) memoParts += m ? 1 : 0;
        std::vector<int> prefixes{kClassicMemoPrefix};
        if (memoParts > 0)
            for (int p : {20, 50, 100, 255, kMaxKeyChars / memoParts})
                if (p > prefixes.back() && p <= kMaxKeyChars / memoParts) prefixes.push_back(p);

        std::optional<int> prefix;
        std::string collation;
        for (const std::string& tried : {std::string(), accentSensitiveCollation(mysql), std::string("utf8mb4_bin")}) {
            if (!collation.empty() && tried == collation) continue;
            for (int p : prefixes) {
                if (collides(mysql, quotedTable, key, p, tried) == std::optional<bool>(false)) {
                    prefix = p;
                    break;
                }
            }
            collation = tried;
            if (prefix) break;
        }
        mysql.Error().Clear();

        bool unique = prefix.has_value();
        if (unique && !collation.empty()) {
            for (size_t i = 0; i < key.columns.size(); ++i) {
                const ColumnDefinition* c = key.text[i] ? columnNamed(table, key.columns[i], convertSpaces) : nullptr;
                if (!c) continue;
                std::string modify = "ALTER TABLE " + quotedTable + " MODIFY " + sqlIdentifier(key.columns[i]) + " " +
                                     c->typeName + " CHARACTER SET utf8mb4 COLLATE " + collation;
                if (!c->isNullable) modify += " NOT NULL";
                if (c->hasDefault) modify += " DEFAULT " + c->defaultValue;
                mysql.Execute(modify);
                if (mysql.Error().Number() != 0) {
                    unique = false;
                    break;
                }
                notes.push_back({table.name, "column " + c->name,
                                 "compared with collation " + collation + " so that the values of unique index " +
                                     key.name + " that differ only in accents (or case) stay apart"});
            }
        }
        const int memoPrefix = prefix.value_or(kClassicMemoPrefix);
        if (unique) {
            mysql.Execute("ALTER TABLE " + quotedTable + " ADD UNIQUE KEY " + sqlIdentifier(key.name) + " (" +
                          keyColumns(key, memoPrefix) + ")");
            unique = mysql.Error().Number() == 0;
        }
        if (unique && memoPrefix != kClassicMemoPrefix)
            notes.push_back({table.name, "index " + key.name,
                             "its memo columns are keyed on their first " + std::to_string(memoPrefix) +
                                 " characters, the fewest that keep the rows apart"});
        if (!unique) {
            mysql.Execute("ALTER TABLE " + quotedTable + " ADD KEY " + sqlIdentifier(key.name) + " (" +
                          keyColumns(key, kClassicMemoPrefix) + ")");
            notes.push_back({table.name, "index " + key.name,
                             mysql.Error().Number() == 0
                                 ? "created non-unique: no key MySQL can build keeps its rows apart"
                                 : "not created: " + mysql.Error().Description()});
        }
        mysql.Error().Clear();
    }
}

}  // namespace veltrano::tomysql
