// MySQL table definitions built from an Access table's schema.
//
// The schema arrives as plain rows (TableSchema), the way the Access engine's
// schema lists and per-table catalog describe a table, so the wording of the
// CREATE TABLE statement can be built and checked without a file or a server.
// The statement text keeps the blanks that earlier releases wrote, because
// scripts that users have built around our output compare it literally.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/conversion_session.h"

namespace veltrano::tomysql {

// Every blank (character 32) becomes "_"; nothing else changes.
std::string cleanName(std::string_view name);

// The first `limit` characters of UTF-8 text.
std::string firstCharacters(const std::string& text, size_t limit);

// The name as it appears in MySQL: cleaned when the option is on.
inline std::string mysqlName(std::string_view name, bool convertSpaces) {
    return convertSpaces ? cleanName(name) : std::string(name);
}

// Provider type codes the definitions look at.
constexpr int kTypeLong = 3;        // auto-increment candidates
constexpr int kTypeLongText = 203;  // memo: indexed with a prefix length

// One row of the provider's column list.
struct SchemaColumn {
    int ordinalPosition = 0;  // from 1
    std::string columnName;
    int dataType = 0;  // provider type code
    bool hasDefault = false;
    std::optional<std::string> columnDefault;
    std::optional<int64_t> characterMaximumLength;
    bool isNullable = true;
    int numericPrecision = 0;  // decimal columns only
    int numericScale = 0;
    // Set by the source when the provider's type does not say it: the MySQL
    // type the column takes (Date/Time Extended, whose provider type is text).
    std::string mysqlType;
    // The MySQL column comment (a calculated column's expression); empty for none.
    std::string comment;
};

// One index of the table's catalog.
struct CatalogIndex {
    std::string name;
    bool primaryKey = false;
    bool unique = false;
    std::vector<std::string> columns;  // in key order
};

// One column of the table's catalog.
struct CatalogColumn {
    std::string name;
    int typeCode = 0;  // catalog type code (203: long text)
    bool autoIncrement = false;
};

// Everything the definition of one table is built from.
struct TableSchema {
    std::string name;
    std::vector<SchemaColumn> columns;         // provider order
    std::vector<std::string> primaryKeyColumns;
    std::vector<CatalogIndex> indexes;         // catalog order
    std::vector<CatalogColumn> catalogColumns;
    std::vector<std::pair<std::string, std::string>> notCarried;  // {item, reason} the source cannot give as columns
};

using TypeNames = std::array<std::string, 133>;

// Index clauses appended to CREATE TABLE: " , KEY `a` (`x`) , UNIQUE KEY ..."
// or empty. Primary-key indexes are left out (the statement has its own
// PRIMARY KEY clause).
// Keys over text columns that together pass InnoDB's key limit get
// prefixes, each named in notes when given.
// Unique keys over text columns are also listed in textKeys when given.
std::string indexClauses(const TableSchema& schema, bool convertSpaces, std::vector<NotCarriedItem>* notes = nullptr,
                         std::vector<UniqueTextKey>* textKeys = nullptr);

// Builds the definition of one table; recordCount stays 0 (counted apart).
TableDefinition buildTableDefinition(const TableSchema& schema, const TypeNames& typeNames,
                                     bool convertSpaces);

// What the target server accepts beyond the common ground.
struct ServerFeatures {
    // DEFAULT (expression), which TEXT and BLOB columns need for a default
    // (MySQL 8.0.13, MariaDB 10.2).
    bool expressionDefaults = true;
    // Off for the last attempt at a table the server refused: no defaults at all.
    bool defaults = true;
};

// The CREATE TABLE statement of a definition. Rewrites, in place, each
// column's typeName to the MySQL type text, and its isNullable and
// defaultValue as the statement states them; the row copy reads the
// rewritten typeName. What the statement cannot carry as Access has it (a
// default with no MySQL form, a text column widened so the row fits) is
// added to notes when given.
std::string createTableStatement(TableDefinition& table, bool convertSpaces,
                                 std::vector<NotCarriedItem>* notes = nullptr,
                                 const ServerFeatures& server = {});

// The MySQL text of an Access default for a column of the given MySQL type:
// nullopt when MySQL has no equivalent (an expression, a function other than
// Now()). "" means no DEFAULT clause is needed (Null).
std::optional<std::string> mysqlDefault(const std::string& accessDefault, const std::string& mysqlType,
                                        const ServerFeatures& server);

// InnoDB refuses a row whose columns can hold more than this many bytes,
// not counting TEXT and BLOB columns.
constexpr int64_t kMaxRowBytes = 65535;

// MySQL type text for a provider type name (upper case) and the column's
// facts; the first step of the map ("BLOB" for binary and GUID columns)
// included.
std::string mysqlTypeFor(const ColumnDefinition& column);

}  // namespace veltrano::tomysql
