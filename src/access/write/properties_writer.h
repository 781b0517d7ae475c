// Writing object properties: the Jet 4 "MR2" blob of a table's catalog row
// (LvProp) and its place as a long value of MSysObjects.
//
// Blob (the layout properties.h reads): "MR2\0", one name-list chunk
// (type 0x80) naming every property once, then one value chunk per object:
// type 0 for the table itself (object name ""), type 1 for each column.
// Text is UCS-2 without compression; numbers little-endian. The property
// types (ObjectProperty, ObjectProperties) are in writer.h.
#pragma once

#include <string>
#include <vector>

#include "access/base/status.h"
#include "access/write/tdef_writer.h"
#include "access/format/value.h"
#include "access/write/writer.h"

namespace veltrano::access {

class WriteDatabase;

// The blob for `objects`; "" when no property is left to write.
std::string encodeProperties(const std::vector<ObjectProperties>& objects);

// Stores `blob` as a long value of column `column` of MSysObjects (`objects`
// is its model): inline when short, else as LVAL row(s), reusing room on the
// column's LVAL pages. Returns the in-row cell bytes.
Result<std::string> storeCatalogLongValue(WriteDatabase& db, const TableModel& objects, uint16_t column,
                                          const std::string& blob);
// Deletes the LVAL rows a cell stored by storeCatalogLongValue refers to and
// hands back pages left empty.
Status releaseCatalogLongValue(WriteDatabase& db, const TableModel& objects, uint16_t column, const std::string& cell);
// The bytes of a long-value cell of a catalog row.
Result<std::string> readCatalogLongValue(WriteDatabase& db, const std::string& cell);

}  // namespace veltrano::access
