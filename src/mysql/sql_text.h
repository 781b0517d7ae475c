// Pieces of SQL text that read the same whatever the server's sql_mode.
//
// - Identifiers are quoted with backticks (an inner backtick doubled), which
//   every mode accepts, ANSI_QUOTES included.
// - Text literals never rely on backslash escapes (NO_BACKSLASH_ESCAPES
//   turns them off) nor on double quotes (ANSI_QUOTES makes those names):
//   text without backslashes or zero bytes is written '...' with inner
//   single quotes doubled; other text is written as hexadecimal bytes with
//   a character-set introducer, _utf8mb4 X'..', which carries every byte.
// - Binary values are written X'..' so no character-set conversion touches them.
#pragma once

#include <string>
#include <string_view>

namespace veltrano {

std::string sqlIdentifier(std::string_view name);       // `name`, inner ` doubled
std::string sqlTextLiteral(std::string_view utf8);       // '...' or _utf8mb4 X'..'
std::string sqlBinaryLiteral(std::string_view bytes);    // X'..'

// Appends a literal to out (same forms as above) without a temporary.
void appendSqlTextLiteral(std::string& out, std::string_view utf8);
void appendSqlBinaryLiteral(std::string& out, std::string_view bytes);

// LOAD DATA data format used with MYSQL_CONNECTION::LoadLocalData: fields
// separated by a tab, rows ended by a line feed, backslash escapes, NULL as \N.
// The tail names the table (and optionally the column list, "(`a`,`b`)")
// and spells the format with hexadecimal literals so sql_mode cannot change it:
//   INTO TABLE `t` CHARACTER SET utf8mb4 FIELDS TERMINATED BY X'09'
//   ENCLOSED BY '' ESCAPED BY X'5C' LINES TERMINATED BY X'0A' (`a`,`b`)
std::string loadDataTail(std::string_view table, std::string_view columnList = {});
void appendLoadDataValue(std::string& out, std::string_view bytes);  // escaped field
void appendLoadDataNull(std::string& out);                           // \N
// Field separator and row end, for building the buffer.
inline constexpr char kLoadDataFieldEnd = '\t';
inline constexpr char kLoadDataRowEnd = '\n';

}  // namespace veltrano
