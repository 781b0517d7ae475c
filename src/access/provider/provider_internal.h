// Pieces of the provider facade shared by its source files.
#pragma once

#include <memory>
#include <string_view>

#include "access/provider/provider.h"

namespace veltrano::access {

class Database;
struct ColumnDef;

namespace provider_detail {

Result<std::unique_ptr<Rowset>> buildSchema(Database& db, SchemaKind kind);
Result<TableCatalog> buildCatalog(Database& db, std::string_view table);
Result<std::unique_ptr<Rowset>> runQuery(Database& db, std::string_view commandText);

int oledbType(const ColumnDef& c);
int adoxType(const ColumnDef& c);

}  // namespace provider_detail
}  // namespace veltrano::access
