// Unique keys over text, fitted to the rows once they are in MySQL.
//
// Access keeps a unique key over a memo whole and compares text ignoring
// case but not accents. MySQL keys a memo by a prefix, and its default
// collations ignore accents too, so rows that Access held apart can collide.
// Each such key is added after the copy: with the classic (10) prefix where
// the data allows it, else the shortest longer prefix that keeps the rows
// apart; where the server's collation is what makes rows collide, its text
// columns take one that keeps them apart (accent-sensitive and
// case-insensitive where the server has one, utf8mb4_bin otherwise); where
// nothing keeps them apart, the key is made non-unique. Every change is named.
#pragma once

#include <string>
#include <vector>

#include "common/conversion_session.h"

namespace veltrano {
class MYSQL_CONNECTION;
}

namespace veltrano::tomysql {

// The CREATE TABLE statement without the clauses of the table's unique text keys.
std::string withoutUniqueTextKeys(std::string createSql, const TableDefinition& table);

// Adds the table's unique text keys to its MySQL table, naming each change in notes.
void addUniqueTextKeys(MYSQL_CONNECTION& mysql, const TableDefinition& table, bool convertSpaces,
                       std::vector<NotCarriedItem>& notes);

}  // namespace veltrano::tomysql
