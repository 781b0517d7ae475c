// Access table definitions built from a MySQL table's SHOW COLUMNS and
// SHOW KEYS rows: the Jet CREATE TABLE text with bracketed names, Access type
// words and a primary-key constraint, plus one CREATE INDEX per other index.
//
// Everything here is plain text work on rows already read from the server,
// so the statements can be checked without a server. mysql_schema.h reads the
// rows through the source connection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <set>
#include <vector>

#include "common/conversion_session.h"

namespace veltrano {

// One row of SHOW FULL COLUMNS, as far as the Access definition needs it.
struct MySqlColumnRow {
    std::string name;   // Field
    std::string type;   // Type: "int(10) unsigned", "varchar(50)", "enum('a','b')"
    std::string key;    // Key: "PRI" for primary-key columns
    std::string extra;  // Extra: "auto_increment", "INVISIBLE", ...
    std::string collation = {};  // Collation of text columns: "utf8mb4_bin", ...; "" when unknown
    // For auto-increment columns wider than an AutoNumber: whether every value
    // the table holds lies in the AutoNumber's range (a 32-bit Long).
    bool valuesFitAutoNumber = true;
    // For columns textMayOutgrowAccess() names: the UTF-16 length of the
    // longest value the table holds; negative when not measured.
    int64_t longestUnits = -1;
};

// One row of SHOW KEYS. Rows come grouped by index, columns in index order.
struct MySqlKeyRow {
    std::string nonUnique;   // Non_unique: "0" for a unique index
    std::string indexName;   // Key_name: "PRIMARY" for the primary key
    std::string columnName;  // Column_name
    std::string subPart = {};     // Sub_part: characters of a prefix index, "" for whole columns
    std::string indexType = {};   // Index_type: "BTREE", "FULLTEXT", "SPATIAL", ...
};

// One Access column of the table being defined.
struct AccessColumn {
    std::string name;        // "[" + accessName(MySQL name) + "]"
    std::string typeText;    // Access type word, or "identity" for auto-increment
    std::string sizeSuffix;  // "(n)" for text columns, else empty
    bool isPrimaryKey = false;
};

struct AccessTableStructure {
    std::vector<AccessColumn> columnDefinitions;  // in SHOW COLUMNS order
    std::vector<std::string> indexStatements;     // one CREATE INDEX per non-primary index
    // The MySQL names of the carried columns, one per columnDefinitions entry:
    // rows are selected by these names, so hidden columns are read and every
    // value lands in its own column.
    std::vector<std::string> sourceColumns;
    // What the Access table does not hold as MySQL has it, with the reason.
    std::vector<NotCarriedItem> notCarried;
};

// Limits of a Jet table.
constexpr size_t kAccessMaxColumns = 255;
constexpr size_t kAccessMaxIndexes = 32;       // the primary key included
constexpr size_t kAccessMaxIndexColumns = 10;

// The Access type word for a MySQL column type text. Most types follow a
// fixed list of words searched in the type text; where that word could not
// hold the column's values it is replaced by one that can:
//   bigint -> decimal(19,0) (unsigned: 20 digits), int unsigned -> decimal(10,0),
//   decimal(p,s) with p > 15 -> decimal(p,s) (p up to 28; wider ones as text),
//   char/varchar over 255 -> memo, enum/set with values longer than 20 -> varchar/memo,
//   binary, varbinary, bit, blobs and spatial types -> longbinary,
//   any other unknown type -> memo.
std::string access_type_for(std::string_view mysqlType);

// "(n)" for a type that access_type_for maps to a char or varchar word, else "".
std::string size_suffix_for(std::string_view mysqlType);

// Whether the column numbers itself (Extra names auto_increment).
bool isAutoIncrement(const MySqlColumnRow& row);

// The Access column for one SHOW COLUMNS row.
AccessColumn accessColumnFor(const MySqlColumnRow& row);

// The CREATE [UNIQUE] INDEX statements for the non-primary indexes of `table`.
std::vector<std::string> indexStatementsFor(const std::string& table,
                                            const std::vector<MySqlKeyRow>& keys);

// Columns and index statements of one table. Indexes Access cannot hold
// (full-text, spatial, prefix, over memo or OLE columns, too many columns or
// indexes), columns past Access's limit and keys over such columns are left
// out and named in notCarried. `keysAccessWouldMerge` names the unique keys
// ("PRIMARY" included) whose rows Access would take for duplicates, because
// it compares text without regard to case and trailing blanks: such a unique
// index becomes non-unique, such a primary key is left out.
AccessTableStructure buildTableStructure(const std::string& table,
                                         const std::vector<MySqlColumnRow>& columns,
                                         const std::vector<MySqlKeyRow>& keys,
                                         const std::set<std::string>& keysAccessWouldMerge = {});

// Whether a char/varchar column of up to 255 characters could hold more than
// the 255 UTF-16 units of an Access text column (characters beyond the BMP
// take two). Such a column stays text when its values fit, else is a memo.
bool textMayOutgrowAccess(const MySqlColumnRow& row);

// Whether a text column of this collation tells apart values that Access
// takes as equal: letter case (binary, _bin and _cs collations) or trailing
// blanks (NO PAD collations).
bool comparesBeyondAccess(std::string_view collation);

// ",CONSTRAINT PrimaryKey primary key([a],[b])" with the key columns in table
// order, or "" when no column is part of the primary key.
std::string primary_key_clause(const std::vector<AccessColumn>& columns);

// "CREATE TABLE [t]([a] integer,[b] varchar(50),CONSTRAINT ...);", or "" for a
// table without columns (no statement is sent then).
std::string tableDefinitionText(const std::string& table, const std::vector<AccessColumn>& columns);

// A MySQL name as Access can hold it: the characters Access refuses in names
// (. ! ` [ ] and control characters) become "_", and leading blanks go, so
// that a table named "price [EUR]" still arrives (as "price _EUR_"). Other
// names are unchanged.
std::string accessName(std::string_view name);

// Quoting for names sent to MySQL: the name between backquotes, inner
// backquotes doubled so that no name can end the quoting early.
std::string mysqlQuoted(std::string_view name);

}  // namespace veltrano
