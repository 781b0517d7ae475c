// Writing rows onto data pages; layout in data_page.h.
#include "access/format/data_page.h"

#include <algorithm>

namespace veltrano::access {

std::vector<uint8_t> newDataPage(uint32_t owner, const Format& f) {
    std::vector<uint8_t> pg(f.pageSize, 0);
    pg[0] = page_type::kData;
    pg[1] = 0x01;
    put::u16(pg, data_page_const::kFreeSpace, static_cast<uint16_t>(f.pageSize - f.dataRowTable));
    put::u32(pg, data_page_const::kOwner, owner);
    return pg;
}

bool rowFits(Bytes page, size_t rowLength, const Format& f) {
    ByteReader r(page);
    return rowLength + 2 <= r.u16(data_page_const::kFreeSpace) && r.u16(f.dataRowCount) < limits::kMaxRowsPerPage;
}

int addRowToPage(MutableBytes page, Bytes row, const Format& f) {
    ByteReader r(page);
    const unsigned n = r.u16(f.dataRowCount);
    size_t top = page.size();
    for (unsigned i = 0; i < n; ++i) top = std::min<size_t>(top, r.u16(f.dataRowTable + 2 * i) & row_flag::kOffsetMask);
    const size_t start = top - row.size();
    std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    put::u16(page, f.dataRowTable + 2 * n, static_cast<uint16_t>(start));
    put::u16(page, f.dataRowCount, static_cast<uint16_t>(n + 1));
    put::u16(page, data_page_const::kFreeSpace,
             static_cast<uint16_t>(r.u16(data_page_const::kFreeSpace) - row.size() - 2));
    return static_cast<int>(n);
}

Bytes rowOnPage(Bytes page, int row, bool* deleted, bool* overflow, const Format& f) {
    if (row < 0 || row >= rowCountOnPage(page, f)) {
        if (deleted) *deleted = true;
        return {};
    }
    auto slot = rowSlot(page, static_cast<unsigned>(row), f, 0);
    if (!slot.isOk()) return {};
    if (deleted) *deleted = slot->deleted;
    if (overflow) *overflow = slot->overflow;
    return page.subspan(slot->start, slot->end - slot->start);
}

void markRowDeleted(MutableBytes page, int row, const Format& f) {
    const size_t at = f.dataRowTable + 2 * static_cast<size_t>(row);
    const uint16_t off = ByteReader(page).u16(at);
    put::u16(page, at, static_cast<uint16_t>(off | row_flag::kDeleted | row_flag::kOverflow));
}

}  // namespace veltrano::access
