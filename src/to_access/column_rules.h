// The rules of a MySQL table that an Access table can keep as properties:
// NOT NULL as Required, a literal DEFAULT (or CURRENT_TIMESTAMP) as
// DefaultValue, a column COMMENT as Description, and CHECK constraints that
// translate as the table's ValidationRule. Whatever cannot be kept is named
// with the reason; so are the table's foreign keys, and a view is named as
// copied into a table.
#pragma once

#include <string>
#include <vector>

#include "access/write/writer.h"
#include "common/conversion_session.h"

namespace veltrano {

class MYSQL_CONNECTION;

struct TableRules {
    std::vector<access::ObjectProperties> properties;  // "" the table, else an Access column name
    std::vector<NotCarriedItem> notCarried;
};

// Reads the rules of `table` in `database` from information_schema. Read
// failures leave the rules out; they never stop the table.
TableRules readTableRules(MYSQL_CONNECTION& source, const std::string& database, const std::string& table);

// A MySQL CHECK clause as Jet SQL: names, texts, numbers, comparisons,
// AND/OR/NOT, IS [NOT] NULL, BETWEEN, IN and LIKE with % and _. "" with
// `failure` set for anything else.
std::string checkClauseToJet(const std::string& clause, std::string& failure);

}  // namespace veltrano
