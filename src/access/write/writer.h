// The write side of the engine: create a new Jet 4 (Access 2000) database,
// run the small DDL the wizard sends, and append rows.
//
// Everything here writes Jet 4 files only. Every change to an existing file
// goes through a rollback journal (<file>-journal): a statement, or one
// Appender session from openTableForAppend() to close(), is all-or-nothing
// even if the process is killed half way. While a WriteConnection is open it
// holds <file>.ldb and an exclusive lock on the file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "access/base/status.h"
#include "access/format/value.h"
#include "access/storage/file.h"
#include "access/write/row_writer.h"
#include "common/field_value.h"

namespace veltrano::access {

class WriteDatabase;  // internal
class AppendSession;  // internal

// Makes a new, empty Jet 4 database at `path` (which must not exist yet).
// `password` (at most 20 characters) becomes the database password. On
// failure no file is left at `path`.
Status createDatabase(const std::string& path, const std::string& password = {},
                      FileSystem& fs = posixFileSystem());

// One property of a table or column as Access keeps it (Description,
// Format, Caption, DefaultValue...). `value` kinds written: Boolean, Byte,
// Integer, Long, Currency, Single, Double, DateTime, Text, Binary, Guid;
// others are skipped. `flags` is stored as is: Access writes 1 on the
// properties the engine itself keeps (DefaultValue, Required, GUID...), 0 on
// those of its user interface (ColumnWidth, Format...).
struct ObjectProperty {
    std::string name;
    Value value;
    uint8_t flags = 0;
};

// The properties of one object: "" for the table, else a column name.
struct ObjectProperties {
    std::string object;
    std::vector<ObjectProperty> values;
};

// The value a DefaultValue stands for when it is a constant: a number,
// 'text' or "text", True/False/Yes/No/On/Off, Null, Now() or Date() (local
// time). Nothing for other expressions (functions, references to fields).
std::optional<FieldValue> defaultFieldValue(const std::string& expression);

// An enforced relationship between two user tables: every non-null key of
// `table` (the "many" side) must exist in `referencedTable` (the "one" side),
// whose columns must carry a primary key or unique index in that order.
struct NewRelationship {
    std::string name;  // "" gives Access's own: referenced table + referencing table
    std::string table;
    std::vector<std::string> columns;
    std::string referencedTable;
    std::vector<std::string> referencedColumns;
    bool cascadeUpdate = false;
    bool cascadeDelete = false;
    bool cascadeSetNull = false;  // on delete; not with cascadeDelete
};

// Provider type codes reported by Appender::fieldType.
namespace provider_type {
constexpr int kSmallInt = 2, kInteger = 3, kSingle = 4, kDouble = 5, kCurrency = 6, kDate = 7,
              kBoolean = 11, kUnsignedTinyInt = 17, kGuid = 72, kBinary = 128, kNumeric = 131,
              kVarWChar = 202, kLongVarWChar = 203, kLongVarBinary = 205;
}

// A value already converted to a field's stored form (Appender::prepare).
class PreparedValue {
public:
    PreparedValue() = default;

private:
    friend class Appender;
    bool given_ = false;  // neither Null nor Empty
    StoredCell cell_;     // converted in place, kept from row to row
};

// One table open for adding rows. Rows are stored by update(); the whole
// session becomes durable at close() (or when the Appender is destroyed).
class Appender {
public:
    Appender();
    explicit Appender(std::unique_ptr<AppendSession> s);
    // By field position: fields that refuse a row leaving them null, and the
    // values fields take when a row does not assign them.
    Appender(std::unique_ptr<AppendSession> s, std::vector<bool> required, std::vector<std::optional<FieldValue>> defaults);
    Appender(Appender&&) noexcept;
    Appender& operator=(Appender&&) noexcept;
    ~Appender();  // closes (stores the session) if still open

    // Starts a new row; every field begins unset: its DefaultValue when that
    // is a constant (a number, 'text', True/False, Now(), Date()), the next
    // auto-number, or null.
    Status addNew();
    int fieldCount() const;
    int fieldType(int pos) const;          // provider type code, 7 = date
    std::string fieldName(int pos) const;  // column name, in column order
    // Null/Empty, Text (converted as the provider would), Number, DateTime,
    // Boolean. A value the field refuses fails this assignment only.
    Status setField(int pos, const FieldValue& value);
    // setField in two steps, for importers that convert values on another
    // thread: prepare() makes the conversion and checks of setField and
    // reads nothing but the table's definition, so it may run on any thread
    // while the Appender stays open and in place (not during close() or a
    // move). setPrepared() then assigns (copies) the result as setField
    // would, so the value's memory stays with the thread that made it.
    Result<PreparedValue> prepare(int pos, const FieldValue& value) const;
    // The same into `out`, reusing its memory (out is unspecified on failure).
    Status prepareInto(int pos, const FieldValue& value, PreparedValue& out) const;
    Status setPrepared(int pos, const PreparedValue& value);
    // addNew(), setPrepared() of values[j] for field j, then update(): a
    // whole prepared row in one call. The values' bytes are exchanged with
    // the row's buffers rather than copied: afterwards they hold nothing of
    // use, only memory for prepareInto to fill again.
    Status appendPrepared(std::vector<PreparedValue>& values);
    // Stores the row. Refused (and nothing stored) on a duplicate key in a
    // unique index, a null in a primary-key column or in a Required column
    // (one made NOT NULL; a DEFAULT the engine cannot work out, such as an
    // expression over other fields, lifts the check), or a row that is too big.
    Status update();
    // Writes the indexes and table counters and commits the session.
    Status close();
    bool isOpen() const;
    // Makes the next automatic number at least `lastUsed` + 1; never lowers
    // it. A copy carries the source's counter this way, so numbers that the
    // source already handed out (and whose rows were deleted) are not reused.
    void raiseAutoNumber(uint32_t lastUsed);
    // Lets rows leave Required columns null. For copies: Access lets a
    // Required rule be added without testing the rows already there, so a
    // source may hold such rows, and a copy keeps them as they are.
    void acceptNullsInRequiredColumns() { required_.assign(required_.size(), false); }

private:
    void noteAssigned(int pos, bool given);  // a field of this row was set

    std::unique_ptr<AppendSession> s_;
    // By field position: the Required rule, this row's assignments (and
    // whether they were non-null), and the defaults.
    std::vector<bool> required_, assigned_, given_;
    std::vector<std::optional<FieldValue>> defaults_;
};

class WriteConnection {
public:
    WriteConnection();
    ~WriteConnection();
    WriteConnection(const WriteConnection&) = delete;
    WriteConnection& operator=(const WriteConnection&) = delete;

    // "Provider=...;Data Source=PATH;...;Jet OLEDB:Database Password=PW" or a
    // bare path. Wrong password: 0x80040E4D. File in use: 0x80004005.
    Status open(const std::string& connectionString);
    Status open(const std::string& path, const std::string& password);
    // The file at `path` of `fs` (tests: memory and fault-injecting ones).
    Status open(FileSystem& fs, const std::string& path, const std::string& password);
    bool isOpen() const;

    // CREATE TABLE, CREATE [UNIQUE] INDEX, DROP TABLE. A rejected statement
    // gives 0x80040E14 and leaves the file unchanged. A column's NOT NULL
    // becomes its Required property, DEFAULT x its DefaultValue property.
    Status execute(const std::string& jetSql);
    // CREATE TABLE with further properties of the table ("") and its
    // columns; values given here replace same-named ones of the statement.
    Status execute(const std::string& createTableSql, const std::vector<ObjectProperties>& properties);

    // Adds `r` as Access does: its MSysRelationships rows, its catalog
    // object, and a foreign-key index in each table (with a new index on the
    // referencing columns when none covers exactly them). Returns the name
    // given: `r.name`, or with a number added when that is taken. Refused
    // (0x80040E14, file unchanged) when the tables, columns or types do not
    // fit, or when a row's key is missing from the referenced table.
    Result<std::string> addRelationship(const NewRelationship& r);
    // REQUIRES: no other Appender of this connection is open.
    Result<Appender> openTableForAppend(const std::string& table);

    // User table names, in catalog order.
    std::vector<std::string> tableNames() const;

    Status close();

private:
    std::shared_ptr<WriteDatabase> db_;
};

}  // namespace veltrano::access
