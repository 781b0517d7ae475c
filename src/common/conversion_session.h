// ConversionSession: the one program-wide record that the wizard's pages hand
// to each other during a run. Each field is written by the page or run that
// owns it; see the comment beside it.
//
// Counts are 64-bit: 16-bit counts overflow and single-precision floats lose
// rows on large tables.
#pragma once

#include <array>
#include <cstdint>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veltrano {

class MYSQL_CONNECTION;

// Something of the source the target cannot hold, or that the run had to
// change to carry the rows (a key made non-unique, a column widened): the
// table converts and the report names the item with its reason.
struct NotCarriedItem {
    std::string table;   // the table it belongs to; empty for the database as a whole
    std::string item;    // what, e.g. "FULLTEXT index ft_title" or "default of column price"
    std::string reason;  // why, in words
};

// Something beyond the tables and rows that the run carried into the
// target: a foreign key, a view, a column rule.
struct CarriedItem {
    std::string table;  // the table it belongs to; empty for the database as a whole
    std::string item;   // what, e.g. "foreign key CustomersOrders (CustomerID) to Customers"
};

// A row the target refused, named on the report with the target's reason.
struct RefusedRow {
    std::string table;
    int64_t recordNumber = 0;  // 1-based position of the row in its source table
    std::string reason;
};

// A selected table whose copy stopped part-way (Cancel, a failed write): it
// is not listed as converted; the report says how many of its rows were stored.
struct PartialTable {
    std::string table;
    int64_t storedRecords = 0;
    std::string reason;
};

// One Access column on its way to MySQL.
struct ColumnDefinition {
    std::string name;              // Access column name
    std::string typeName;          // provider type name; rewritten to the MySQL type text
    bool isNullable = true;        // from the provider; forced by the type map and the key
    bool hasDefault = false;       // the column has a default
    std::string defaultValue;      // the provider's default text, or empty
    std::optional<int64_t> maxLength;  // maximum character length, when the provider gives one
    bool autoIncrement = false;    // auto-increment column
    bool isPrimaryKey = false;     // member of the table's primary key
    // Not shown in the wizard, but needed to keep numbers exact in MySQL.
    int numericPrecision = 0;      // Decimal columns: total digits
    int numericScale = 0;          // Decimal columns: digits after the point
    std::string comment;           // MySQL column comment (a calculated column's expression)
};

// A unique key over text columns. MySQL may compare its values differently
// from Access (a memo keyed by a prefix, accents under the server's default
// collation), so it is added once the rows are in, fitted to them.
struct UniqueTextKey {
    std::string name;                  // index name as written in MySQL
    std::string clause;                // its clause in keyClauses: UNIQUE KEY `n` (...)
    std::vector<std::string> columns;  // MySQL column names, in key order
    std::vector<bool> memo;            // by key column: a memo, keyed by a prefix
    std::vector<bool> text;            // by key column: text of any kind
    std::vector<int64_t> prefix;       // by key column: characters keyed of a long text column, 0 all
};

// One Access table on its way to MySQL.
struct TableDefinition {
    std::string name;                      // Access table name as listed
    bool selected = false;                 // set when the definitions are built
    std::vector<ColumnDefinition> columns; // by ordinal position - 1
    int64_t recordCount = 0;               // rows counted on page 2's Next
    std::string keyClauses;                // index clauses appended to CREATE TABLE
    std::string autoIncrementColumn;       // the table's auto-increment column, or empty
    bool converted = false;                // the table exists in MySQL after the run
    std::vector<NotCarriedItem> changes;   // what its definition could not keep as Access has it
    std::vector<UniqueTextKey> uniqueTextKeys;  // unique keys over text, fitted once the rows are in
};

// One MySQL table on its way to Access.
struct SourceTable {
    std::string name;
    int64_t columnCount = 0;
    bool converted = false;
    bool selected = false;
    int64_t refusedRecords = 0;  // rows the Access engine would not store
};

struct ConversionSession {
    int16_t direction = 1;         // 1 = Access to MySQL, 0 = MySQL to Access
    std::string helpKey;           // key of the page whose help was asked for
    bool quitting = false;         // the program is closing all its windows

    // Access to MySQL.
    std::string sourcePath;        // full path of the source .mdb
    bool sourceEmpty = false;      // the opened source has no tables
    std::array<std::string, 133> typeNames;  // provider type names by type code
    std::vector<TableDefinition> tables;     // selected tables, in list order
    int64_t totalRecords = 0;      // sum of the selected tables' record counts
    bool convertSpaces = false;    // "Convert name spaces to underscores"
    bool definitionOnly = false;   // "Convert table definition only" of page 2
    std::string targetDatabase;    // MySQL database receiving the tables
    bool appending = false;        // the target database existed and is appended to
    std::shared_ptr<MYSQL_CONNECTION> mysql;  // connection of the Access-to-MySQL path

    // MySQL to Access.
    std::shared_ptr<MYSQL_CONNECTION> sourceConnection;
    std::string sourceHost, sourceUser, sourcePassword;
    std::string sourceDatabase;    // MySQL database being converted to Access
    int64_t tableCount = 0;        // tables of sourceDatabase, later the selected ones
    std::vector<std::string> databaseTables;  // all table names of sourceDatabase
    std::vector<SourceTable> sourceTables;
    std::string destinationPath;   // destination .mdb, full path
    std::string destinationFileName;  // its name without folder
    int16_t destinationMode = 0;   // 1 = new file created, 2 = existing file appended to

    // Both.
    std::chrono::system_clock::time_point startTime;  // when the run started
    int64_t convertedRecords = 0;  // rows converted in the run
    int64_t refusedRecords = 0;    // rows the target refused in the run
    bool skipAllExisting = false;  // standing answers to "table exists"
    bool overwriteAllExisting = false;
    std::vector<NotCarriedItem> notCarried;  // items named in the report's "Not carried" section
    std::vector<CarriedItem> carriedExtras;  // foreign keys, views and rules carried beside the tables
    std::vector<RefusedRow> refusedRows;     // each refused row, in the order refused
    std::vector<PartialTable> partialTables; // tables cut short, with the rows they kept
};

// The program-wide session. Tests reset it with resetSession().
ConversionSession& session();
void resetSession();

}  // namespace veltrano
