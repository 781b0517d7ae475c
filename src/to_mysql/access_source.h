// What the Access-to-MySQL conversion needs from the source file: the schema
// of a table, its row count and its rows. The wizard and the batch tool read
// through the Access engine (provider_source.h); tests and the benchmark can
// hand in rows of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/field_value.h"
#include "to_mysql/table_definitions.h"

namespace veltrano::access {
class Connection;
}

namespace veltrano::tomysql {

// A forward-only pass over the rows of one table.
class SourceRows {
public:
    virtual ~SourceRows() = default;
    virtual const std::vector<std::string>& columnNames() const = 0;
    // Steps to the next row; false at the end or when the read fails (then
    // error() says why).
    virtual bool next() = 0;
    // REQUIRES: next() returned true; i < columnNames().size().
    virtual const FieldValue& value(size_t i) const = 0;
    virtual std::string error() const { return {}; }
};

class AccessSource {
public:
    virtual ~AccessSource() = default;
    // User tables in the file's order.
    virtual std::vector<std::string> tableNames(std::string& error) = 0;
    // Provider type names by type code (upper case).
    virtual TypeNames typeNames() = 0;
    virtual bool readSchema(const std::string& table, TableSchema& schema, std::string& error) = 0;
    // "select count(*) as nRecords from [table]"; -1 with error set on failure.
    virtual int64_t countRows(const std::string& table, std::string& error) = 0;
    // "select * from [table]"; null with error set on failure.
    virtual std::unique_ptr<SourceRows> openRows(const std::string& table, std::string& error) = 0;
    // The open file, for what lies beyond tables and rows (relationships,
    // saved queries, column properties); null for sources without a file.
    virtual access::Connection* engine() { return nullptr; }
};

}  // namespace veltrano::tomysql
