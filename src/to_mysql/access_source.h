// What the Access-to-MySQL conversion needs from the source file: the schema
// of a table, its row count and its rows. The wizard and the batch tool read
// through the Access engine (provider_source.h); tests and the benchmark can
// hand in rows of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "access/base/status.h"
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
    // status() says why).
    virtual bool next() = 0;
    // REQUIRES: next() returned true; i < columnNames().size().
    virtual const FieldValue& value(size_t i) const = 0;
    virtual access::Status status() const { return {}; }
};

// Failures come back as the engine's Status, so that their category (wrong
// password, damaged file, file in use...) reaches the pages and the batch
// tool's exit code as the engine gave it.
class AccessSource {
public:
    virtual ~AccessSource() = default;
    // User tables in the file's order.
    virtual access::Result<std::vector<std::string>> tableNames() = 0;
    // Provider type names by type code (upper case).
    virtual TypeNames typeNames() = 0;
    virtual access::Status readSchema(const std::string& table, TableSchema& schema) = 0;
    // "select count(*) as nRecords from [table]".
    virtual access::Result<int64_t> countRows(const std::string& table) = 0;
    // "select * from [table]".
    virtual access::Result<std::unique_ptr<SourceRows>> openRows(const std::string& table) = 0;
    // The open file, for what lies beyond tables and rows (relationships,
    // saved queries, column properties); null for sources without a file.
    virtual access::Connection* engine() { return nullptr; }
};

}  // namespace veltrano::tomysql
