// Row slots of data pages (type 0x01): the row-offset table at
// Format::dataRowTable, rows stored from the page end downward. Slot i spans
// [offset_i & 0x1FFF, end_i) where end_0 = page size and end_i is the start
// of slot i-1 (deleted rows keep their space). Flags: 0x8000 deleted,
// 0x4000 overflow pointer.
#pragma once

#include <cstdint>

#include "access/base/coding.h"
#include "access/format/format.h"
#include "access/base/status.h"

namespace veltrano::access {

struct RowSlot {
    size_t start = 0;  // byte offsets inside the page
    size_t end = 0;
    bool deleted = false;
    bool overflow = false;
};

// Number of row slots on a data page (0 when the page is not a data page).
inline unsigned rowSlotCount(Bytes page, const Format& f) {
    ByteReader r(page);
    if (r.u8(0) != page_type::kData) return 0;
    return r.u16(f.dataRowCount);
}

// Slot `row` of a data page, checked against the page.
inline Result<RowSlot> rowSlot(Bytes page, unsigned row, const Format& f, uint32_t pageNumber) {
    ByteReader r(page);
    unsigned count = rowSlotCount(page, f);
    if (row >= count) return Status::corruption("row " + std::to_string(row) + " does not exist on the page", pageNumber);
    size_t tableEnd = f.dataRowTable + 2 * static_cast<size_t>(count);
    uint16_t raw = r.u16(f.dataRowTable + 2 * row);
    size_t end = row == 0 ? page.size() : (r.u16(f.dataRowTable + 2 * (row - 1)) & row_flag::kOffsetMask);
    RowSlot s;
    s.start = raw & row_flag::kOffsetMask;
    s.end = end;
    s.deleted = raw & row_flag::kDeleted;
    s.overflow = raw & row_flag::kOverflow;
    if (!r.ok() || s.start < tableEnd || s.end > page.size() || s.start > s.end)
        return Status::corruption("row offsets on the page are out of order", pageNumber);
    return s;
}

}  // namespace veltrano::access
