// Data pages (type 0x01) and their row slots, read and written:
//   01 01 free-space(2) owner(4) [Jet4: 4 unknown] rows(2) offsets(2 each)
// The row-offset table starts at Format::dataRowTable; rows are stored from
// the page end downward. Slot i spans [offset_i & 0x1FFF, end_i) where
// end_0 = page size and end_i is the start of slot i-1 (deleted rows keep
// their space). Flags: 0x8000 deleted, 0x4000 overflow pointer. The free
// space counts the bytes between the offset table and the lowest row.
#pragma once

#include <cstdint>
#include <vector>

#include "access/base/coding.h"
#include "access/format/format.h"
#include "access/format/limits.h"
#include "access/base/status.h"

namespace veltrano::access {

namespace data_page_const {
constexpr size_t kFreeSpace = 2;  // uint16
constexpr size_t kOwner = 4;      // uint32 TDEF page of the owning table
constexpr uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL": pages of long values
}  // namespace data_page_const

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

// Writing. The writer writes Jet 4 files only, hence the default format.

// An empty data page of the table whose definition is at `owner`.
std::vector<uint8_t> newDataPage(uint32_t owner, const Format& f = Format::jet4());
// True when a row of `rowLength` bytes and its slot fit on the page.
bool rowFits(Bytes page, size_t rowLength, const Format& f = Format::jet4());
// REQUIRES: rowFits(page, row.size()). Stores the row below the lowest one
// and returns its slot number.
int addRowToPage(MutableBytes page, Bytes row, const Format& f = Format::jet4());
// Row `row` of a data page: empty when it does not exist (then `deleted`
// is set) or its slot is damaged; `overflow` tells a moved row's pointer.
Bytes rowOnPage(Bytes page, int row, bool* deleted, bool* overflow, const Format& f = Format::jet4());
void markRowDeleted(MutableBytes page, int row, const Format& f = Format::jet4());
inline uint32_t dataPageOwner(Bytes page) { return ByteReader(page).u32(data_page_const::kOwner); }
inline unsigned dataPageFreeSpace(Bytes page) { return ByteReader(page).u16(data_page_const::kFreeSpace); }
inline int rowCountOnPage(Bytes page, const Format& f = Format::jet4()) {
    return ByteReader(page).u16(f.dataRowCount);
}

}  // namespace veltrano::access
