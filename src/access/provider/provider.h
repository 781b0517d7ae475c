// The provider-style facade the wizard pages and the batch tool use to read
// an Access database: a Connection opened with a provider connection text,
// schema lists walked as rowsets (first / next / end) and narrowed by simple
// filters, a per-table catalog of indexes and column attributes, and the two
// queries "select count(*) as nRecords from [t]" and "select * from [t]".
//
// Every failure is a Status: code() gives 0x80040E4D for a wrong or missing
// database password, 0x80004005 for a file in use (and other failures),
// 0x80040E14 for a command text that cannot be run; description() says what
// went wrong.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/base/status.h"
#include "access/read/relationships.h"
#include "access/read/saved_queries.h"
#include "access/format/value.h"
#include "common/field_value.h"

namespace veltrano::access {

class Database;

// OLE DB type codes reported as `data_type` in the schema lists.
namespace oledb {
constexpr int kSmallInt = 2, kInteger = 3, kSingle = 4, kDouble = 5, kCurrency = 6, kDate = 7;
constexpr int kBoolean = 11, kUnsignedTinyInt = 17, kGuid = 72, kBinary = 128, kWChar = 130;
constexpr int kNumeric = 131, kBigInt = 20;
}  // namespace oledb

// Column type codes reported by the catalog (ADOX numbering).
namespace adox {
constexpr int kSmallInt = 2, kInteger = 3, kSingle = 4, kDouble = 5, kCurrency = 6, kDate = 7;
constexpr int kBoolean = 11, kUnsignedTinyInt = 17, kGuid = 72, kNumeric = 131, kBigInt = 20;
constexpr int kVarWChar = 202, kLongVarWChar = 203, kVarBinary = 204, kLongVarBinary = 205;
}  // namespace adox

// A forward-walked list of rows. Schema lists are small and held whole;
// query results stream from the file and can only move forward.
class Rowset {
public:
    virtual ~Rowset() = default;

    // True when there is no current row (empty list, or walked past the end).
    virtual bool eof() const = 0;
    // Back to the first row (a query rowset re-reads the table from its start).
    virtual Status moveFirst() = 0;
    // REQUIRES: !eof().
    virtual Status moveNext() = 0;

    virtual int fieldCount() const = 0;
    virtual const std::string& fieldName(int index) const = 0;
    // Position of a field by name (case-insensitive), -1 when absent.
    int fieldIndex(std::string_view name) const;

    // The current row's field. REQUIRES: !eof(). NotFound for a bad name/index.
    virtual Result<FieldValue> field(int index) const = 0;
    Result<FieldValue> field(std::string_view name) const;
    // Typed value: exact currency, decimals, GUID and binary bytes.
    virtual Result<Value> value(int index) const = 0;
    Result<Value> value(std::string_view name) const;

    // Narrows the list to the rows matching `filter` and moves to the first
    // of them; "" clears the filter. Accepts `field = 'text'` and
    // `field = number` terms joined by AND; names and texts compare
    // case-insensitively. Query rowsets refuse filters.
    virtual Status setFilter(std::string_view filter) = 0;

    // Number of rows (after the filter); -1 when not known without reading.
    virtual long long recordCount() const = 0;
};

// The parts of a provider connection text the engine uses.
struct ConnectionSettings {
    std::string dataSource;        // file path
    std::string password;          // "Jet OLEDB:Database Password"
    bool passwordGiven = false;
    std::string mode;              // "Mode" (reading always opens read-only)
};
// Parses "Provider=...;Data Source=...;Mode=...;Jet OLEDB:Database Password=..."
// (keys case-insensitive, blanks around keys and a trailing ';' ignored,
// values may be quoted with " or ').
Result<ConnectionSettings> parseConnectionString(std::string_view text);

enum class SchemaKind {
    Tables,         // table_name, table_type ("TABLE" for user tables)
    ProviderTypes,  // type_name, data_type
    Columns,        // table_name, column_name, ordinal_position, column_hasdefault,
                    // column_default, is_nullable, data_type, character_maximum_length,
                    // numeric_precision, numeric_scale
    PrimaryKeys,    // table_name, column_name, ordinal
};

struct CatalogColumn {
    std::string name;
    int type = 0;             // adox::...
    bool autoIncrement = false;
    long definedSize = 0;     // characters for text, bytes for binary
    bool nullable = true;
};

struct CatalogIndex {
    std::string name;
    bool primaryKey = false;
    bool unique = false;
    bool ignoreNulls = false;
    // Kept by Access only to enforce a relationship (the referenced side's
    // hidden ".rX" index, or the referencing side's index named after the
    // relationship); not an index the user made.
    bool relationshipIndex = false;
    std::vector<std::string> columns;  // in key order
};

struct TableCatalog {
    std::string name;
    std::vector<CatalogColumn> columns;  // in ordinal order
    std::vector<CatalogIndex> indexes;   // in the table's index order
    // By exact name first, then case-insensitively; nullptr when absent.
    const CatalogColumn* findColumn(std::string_view name) const;
};

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the database named by the connection text, read-only. `password`
    // (the user's password argument, not the database password) is ignored.
    Status open(std::string_view connectionString, std::string_view user = {},
                std::string_view password = {});
    void close();
    bool isOpen() const;

    Result<std::unique_ptr<Rowset>> openSchema(SchemaKind kind);
    Result<TableCatalog> tableCatalog(std::string_view tableName);
    // Runs "select count(*) as nRecords from [t]" (one row, field nRecords)
    // or "select * from [t]" (streaming). Anything else: BadCommand.
    Result<std::unique_ptr<Rowset>> execute(std::string_view commandText);

    // The relationships between user tables and the saved queries (with
    // their rebuilt Jet SQL) of the open file.
    Result<std::vector<Relationship>> relationships();
    Result<std::vector<SavedQuery>> savedQueries();

    // The engine behind the connection; nullptr while closed.
    Database* database();

private:
    std::unique_ptr<Database> db_;
};

}  // namespace veltrano::access
