// The rules of a MySQL table that an Access table can keep as properties:
// NOT NULL as Required, a literal DEFAULT (or CURRENT_TIMESTAMP) as
// DefaultValue, a column COMMENT as Description, and CHECK constraints that
// translate as the table's ValidationRule. Whatever cannot be kept is named
// with the reason, and a view is named as copied into a table. Foreign keys
// are read for the relationships made after the rows.
#pragma once

#include <string>
#include <vector>

#include "access/write/writer.h"
#include "common/conversion_session.h"

namespace veltrano {

class MYSQL_CONNECTION;

// A FOREIGN KEY constraint of the table, with MySQL's names and rules.
struct ForeignKeyRule {
    std::string name;
    std::vector<std::string> columns;
    std::string referencedTable;
    std::vector<std::string> referencedColumns;
    std::string onUpdate, onDelete;  // CASCADE, SET NULL, SET DEFAULT, RESTRICT, NO ACTION
};

struct TableRules {
    std::vector<access::ObjectProperties> properties;  // "" the table, else an Access column name
    std::vector<NotCarriedItem> notCarried;
    std::vector<ForeignKeyRule> foreignKeys;  // become relationships once every table is in
};

// Reads the rules of `table` in `database` from information_schema. Read
// failures leave the rules out; they never stop the table.
TableRules readTableRules(MYSQL_CONNECTION& source, const std::string& database, const std::string& table);

// A MySQL CHECK clause as Jet SQL: names, texts, numbers, comparisons,
// AND/OR/NOT, IS [NOT] NULL, BETWEEN, IN and LIKE with % and _. "" with
// `failure` set for anything else.
std::string checkClauseToJet(const std::string& clause, std::string& failure);

}  // namespace veltrano
