// Reading one MySQL table's columns and keys through the source connection
// and turning them into the Access table definition (access_definitions.h).
#pragma once

#include <cstdint>
#include <string>

#include "to_access/access_definitions.h"

namespace veltrano {

class MYSQL_CONNECTION;

// Columns and index statements of `table`. A failed listing gives no columns
// (and so no CREATE TABLE) or no index statements.
AccessTableStructure read_table_structure(MYSQL_CONNECTION& connection, const std::string& database,
                                          const std::string& table);

// Table names of `database` in the server's order; false (the connection's
// Error set) when the listing failed.
bool show_tables(MYSQL_CONNECTION& connection, const std::string& database,
                 std::vector<std::string>& names);

}  // namespace veltrano
