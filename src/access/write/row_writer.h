// Row images of Jet 4 data pages (the pages themselves: data_page.h).
//
// Row layout (low to high address): uint16 column count, the fixed area
// (each fixed column at 2 + its fixed offset, always full width), the
// values of variable columns in slot order, then growing back from the end:
// the end-of-data offset, the slot offsets in reverse, uint16 slot count and
// the null mask (1 bit per column number, 1 = present; booleans keep their
// value there). Tables without variable columns have no offsets and count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/base/coding.h"
#include "access/base/status.h"
#include "access/format/data_page.h"
#include "access/write/tdef_writer.h"

namespace veltrano::access {

// One stored value: its bytes as they sit in the row (long values: the
// 12-byte reference plus any inline data). Booleans are never null and
// hold one byte 0 or 1.
struct StoredCell {
    bool null = true;
    std::string bytes;
    static StoredCell of(std::string b) { return StoredCell{false, std::move(b)}; }
};

// Where a table's columns go in a row image; the same for every row.
struct RowLayout {
    size_t fixedSize = 0;                          // bytes of the fixed area
    std::vector<const ColumnModel*> varSlots;      // by variable slot (null: deleted column)
};
RowLayout rowLayout(const TableModel& t);

// `cells` is indexed by column number. encodeRowInto reuses `row`'s buffer.
Status encodeRowInto(const TableModel& t, const RowLayout& layout, const std::vector<StoredCell>& cells,
                     std::vector<uint8_t>& row);
Result<std::vector<uint8_t>> encodeRow(const TableModel& t, const std::vector<StoredCell>& cells);
Result<std::vector<StoredCell>> decodeRow(const TableModel& t, Bytes row);

}  // namespace veltrano::access
