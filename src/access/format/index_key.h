// Index keys: the bytes an index entry holds for one row, per column a flag
// byte (0x7F ascending / 0x80 descending value, 0x00 / 0xFF null) and the
// value encoded so that unsigned byte order is the sort order.
#pragma once

#include <string>
#include <vector>

#include "access/write/row_writer.h"
#include "access/write/tdef_writer.h"

namespace veltrano::access {

// Appends one column's part of a key. `cell` holds the stored row bytes.
Status appendKeyColumn(std::string& key, const ColumnModel& column, bool ascending, const StoredCell& cell);

// The whole key of real index `r` for a row (cells by column number).
// `allNull` tells whether every column of the index was null.
Result<std::string> indexKey(const TableModel& t, size_t r, const std::vector<StoredCell>& cells, bool* allNull = nullptr,
                             bool* anyNull = nullptr);

// True when the type can be indexed by this engine.
bool isIndexableType(ColumnType t);

}  // namespace veltrano::access
