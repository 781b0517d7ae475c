#include "to_access/mysql_schema.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"

namespace veltrano {

namespace {

std::string textOf(MYSQL_RS& rs, int32_t column) {
    FieldValue v = rs.Fields(column).Value();
    return v.isText() ? v.asText() : std::string();
}

// Whether every value of an auto-increment column wider than an AutoNumber
// lies in the AutoNumber's range, so that the column can stay one.
bool valuesFitAutoNumber(MYSQL_CONNECTION& c, const std::string& table, const MySqlColumnRow& column) {
    bool wide = column.type.starts_with("bigint") ||
                (column.type.find("unsigned") != std::string::npos && column.type.starts_with("int"));
    if (!wide) return true;
    const std::string q = mysqlQuoted(column.name);
    auto rs = c.Execute("SELECT COUNT(*) FROM " + mysqlQuoted(table) + " WHERE " + q + " > 2147483647 OR " + q +
                        " < -2147483648");
    return rs->State() == 0 && !rs->Eof() && textOf(*rs, 0) == "0";
}

// Measures the longest value, in UTF-16 units, of the columns that could
// outgrow an Access text column, in one pass over the table.
void measureLongestText(MYSQL_CONNECTION& c, const std::string& table, std::vector<MySqlColumnRow>& columns) {
    std::vector<MySqlColumnRow*> measured;
    std::string select;
    for (MySqlColumnRow& column : columns) {
        if (!textMayOutgrowAccess(column)) continue;
        measured.push_back(&column);
        select += (select.empty() ? "SELECT " : ", ") + std::string("COALESCE(MAX(LENGTH(CONVERT(") +
                  mysqlQuoted(column.name) + " USING utf16))), 0) DIV 2";
    }
    if (measured.empty()) return;
    auto rs = c.Execute(select + " FROM " + mysqlQuoted(table));
    if (rs->State() != 0 || rs->Eof()) return;  // unmeasured: memo, which holds every value
    for (size_t i = 0; i < measured.size(); ++i) {
        const std::string units = textOf(*rs, static_cast<int32_t>(i));
        int64_t n = -1;
        if (std::from_chars(units.data(), units.data() + units.size(), n).ec == std::errc()) measured[i]->longestUnits = n;
    }
}

// The unique keys of `table` whose rows Access would take for duplicates:
// those over text columns whose collation tells apart case or trailing
// blanks, and whose rows collide once compared as Access does.
std::set<std::string> keysAccessWouldMerge(MYSQL_CONNECTION& c, const std::string& table,
                                           const std::vector<MySqlColumnRow>& columns,
                                           const std::vector<MySqlKeyRow>& keys) {
    std::map<std::string, std::vector<std::string>> uniqueKeys;  // name -> columns
    for (const MySqlKeyRow& k : keys)
        if (k.nonUnique == "0") uniqueKeys[k.indexName].push_back(k.columnName);
    std::set<std::string> merged;
    for (const auto& [name, keyColumns] : uniqueKeys) {
        bool sensitive = false;
        std::string groups;
        for (const std::string& name : keyColumns) {
            auto at = std::find_if(columns.begin(), columns.end(), [&](const MySqlColumnRow& r) { return r.name == name; });
            bool text = at != columns.end() && !at->collation.empty();
            sensitive = sensitive || (text && comparesBeyondAccess(at->collation));
            if (!groups.empty()) groups += ", ";
            // Access's comparison: case folded, trailing blanks ignored.
            groups += text ? "LOWER(TRIM(TRAILING ' ' FROM CONVERT(" + mysqlQuoted(name) + " USING utf8mb4))) COLLATE utf8mb4_bin"
                           : mysqlQuoted(name);
        }
        if (!sensitive) continue;
        auto rs = c.Execute("SELECT 1 FROM " + mysqlQuoted(table) + " GROUP BY " + groups + " HAVING COUNT(*) > 1 LIMIT 1");
        if (rs->State() == 0 && !rs->Eof()) merged.insert(name);
    }
    return merged;
}

}  // namespace

AccessTableStructure read_table_structure(MYSQL_CONNECTION& connection, const std::string& database,
                                          const std::string& table) {
    std::vector<MySqlColumnRow> columns;
    connection.Execute("use " + mysqlQuoted(database));
    // FULL adds the collation, which decides text lengths and key comparison.
    auto rs = connection.Execute(" show full columns from " + mysqlQuoted(table));
    if (rs->State() == 0) {
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            MySqlColumnRow row{textOf(*rs, 0), textOf(*rs, 1), textOf(*rs, 4), textOf(*rs, 6)};
            row.collation = textOf(*rs, 2);
            columns.push_back(std::move(row));
        }
    }
    std::vector<MySqlKeyRow> keys;
    auto kr = connection.Execute("SHOW KEYS FROM " + mysqlQuoted(table));
    if (kr->State() == 0) {
        for (kr->MoveFirst(); !kr->Eof(); kr->MoveNext())
            keys.push_back({textOf(*kr, 1), textOf(*kr, 2), textOf(*kr, 4), textOf(*kr, 7), textOf(*kr, 10)});
    }
    for (MySqlColumnRow& column : columns)
        if (isAutoIncrement(column)) column.valuesFitAutoNumber = valuesFitAutoNumber(connection, table, column);
    measureLongestText(connection, table, columns);
    return buildTableStructure(table, columns, keys, keysAccessWouldMerge(connection, table, columns, keys));
}

bool show_tables(MYSQL_CONNECTION& connection, const std::string& database,
                 std::vector<std::string>& names) {
    names.clear();
    connection.Error().Clear();
    auto rs = connection.Execute("show tables from " + mysqlQuoted(database));
    if (connection.Error().Number() != 0) return false;
    if (rs->State() == 0) {
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) names.push_back(textOf(*rs, 0));
    }
    return true;
}

}  // namespace veltrano
