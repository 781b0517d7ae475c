// One row image split into its columns' stored bytes. Pure: no I/O.
//
// Jet4 row (low to high address):
//   u16 column count (max_cols when written) | fixed area (column at
//   2 + fixed offset) | var data | EOD, var offsets in reverse (u16 each,
//   relative to the row start) | u16 var count | null mask
// Jet3 row: the same with a u8 column count, fixed area at 1, u8 offsets,
//   u8 var count, and a jump table before the var count that adds 256 to
//   offsets past each 256-byte boundary.
// Null mask: one bit per column NUMBER, LSB first, 1 = not null; for
// Boolean columns the bit is the value. Columns numbered at or above the
// row's count were added later and are null. A table without variable
// columns has no offset table at all.
// Written by the writer's row encoder.
#pragma once

#include <vector>

#include "access/base/coding.h"
#include "access/format/format.h"
#include "access/base/status.h"
#include "access/format/tdef.h"

namespace veltrano::access {

struct Cell {
    bool isNull = true;
    bool boolValue = false;  // Boolean columns: the null-mask bit
    Bytes data;              // stored bytes (empty for Boolean and null)
};

// Splits `row` into one Cell per column of `def.columns` (same order).
// Corruption when the row's counts or offsets contradict its length.
Status crackRow(Bytes row, const TableDef& def, const Format& format, std::vector<Cell>& out);

}  // namespace veltrano::access
