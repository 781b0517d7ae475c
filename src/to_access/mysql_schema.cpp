#include "to_access/mysql_schema.h"

#include "common/run_host.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"

namespace veltrano {

namespace {

std::string textOf(MYSQL_RS& rs, int32_t column) {
    FieldValue v = rs.Fields(column).Value();
    return v.isText() ? v.asText() : std::string();
}

std::shared_ptr<MYSQL_RS> showColumns(MYSQL_CONNECTION& c, const std::string& database,
                                      const std::string& table) {
    c.Execute("use " + mysqlQuoted(database));
    return c.Execute(" show columns from " + mysqlQuoted(table));
}

}  // namespace

int64_t count_columns(MYSQL_CONNECTION& connection, const std::string& database,
                      const std::string& table, RunHost& host) {
    auto rs = showColumns(connection, database, table);
    if (connection.Error().Number() != 0)
        host.ask(connection.Error().Description(), kSetOk, kExclamation);
    return rs->State() == 0 ? rs->RecordCount() : 0;
}

AccessTableStructure read_table_structure(MYSQL_CONNECTION& connection, const std::string& database,
                                          const std::string& table) {
    std::vector<MySqlColumnRow> columns;
    auto rs = showColumns(connection, database, table);
    if (rs->State() == 0) {
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            columns.push_back({textOf(*rs, 0), textOf(*rs, 1), textOf(*rs, 3), textOf(*rs, 5)});
    }
    std::vector<MySqlKeyRow> keys;
    auto kr = connection.Execute("SHOW KEYS FROM " + mysqlQuoted(table));
    if (kr->State() == 0) {
        for (kr->MoveFirst(); !kr->Eof(); kr->MoveNext())
            keys.push_back({textOf(*kr, 1), textOf(*kr, 2), textOf(*kr, 4)});
    }
    return buildTableStructure(table, columns, keys);
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
