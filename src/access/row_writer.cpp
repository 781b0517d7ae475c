#include "access/row_writer.h"

#include <algorithm>

namespace veltrano::access {

Result<std::vector<uint8_t>> encodeRow(const TableModel& t, const std::vector<StoredCell>& cells) {
    const uint16_t numCols = t.maxCols;
    size_t fixedSize = 0;
    std::vector<const ColumnModel*> varSlots(t.varCols, nullptr);
    for (const auto& c : t.columns) {
        if (c.type == ColumnType::Boolean) continue;
        if (c.isFixed()) {
            fixedSize = std::max<size_t>(fixedSize, size_t(c.fixedOffset) + c.length);
        } else if (c.varIndex < varSlots.size()) {
            varSlots[c.varIndex] = &c;
        }
    }
    auto cellOf = [&](const ColumnModel& c) -> const StoredCell& {
        static const StoredCell kNull;
        return c.number < cells.size() ? cells[c.number] : kNull;
    };
    std::vector<uint8_t> row(2 + fixedSize, 0);
    put::u16(row, 0, numCols);
    std::vector<uint8_t> mask((numCols + 7) / 8, 0);
    auto setBit = [&](uint16_t n) {
        if (n < numCols) mask[n / 8] |= static_cast<uint8_t>(1u << (n % 8));
    };
    for (const auto& c : t.columns) {
        const StoredCell& cell = cellOf(c);
        if (c.type == ColumnType::Boolean) {
            if (!cell.null && !cell.bytes.empty() && cell.bytes[0]) setBit(c.number);
            continue;
        }
        if (cell.null) continue;
        setBit(c.number);
        if (c.isFixed()) {
            size_t n = std::min<size_t>(cell.bytes.size(), c.length);
            std::copy(cell.bytes.begin(), cell.bytes.begin() + static_cast<long>(n), row.begin() + 2 + c.fixedOffset);
        }
    }
    if (t.varCols > 0) {
        std::vector<uint16_t> offsets;
        for (const ColumnModel* c : varSlots) {
            offsets.push_back(static_cast<uint16_t>(row.size()));
            if (c && !cellOf(*c).null) row.insert(row.end(), cellOf(*c).bytes.begin(), cellOf(*c).bytes.end());
        }
        offsets.push_back(static_cast<uint16_t>(row.size()));  // end of data
        for (size_t i = offsets.size(); i-- > 0;) {
            row.push_back(static_cast<uint8_t>(offsets[i]));
            row.push_back(static_cast<uint8_t>(offsets[i] >> 8));
        }
        row.push_back(static_cast<uint8_t>(t.varCols));
        row.push_back(static_cast<uint8_t>(t.varCols >> 8));
    }
    row.insert(row.end(), mask.begin(), mask.end());
    if (row.size() > 4060)
        return Status::invalidArgument("the record is too large (" + std::to_string(row.size()) +
                                       " bytes; a row holds at most 4060)");
    return row;
}

Result<std::vector<StoredCell>> decodeRow(const TableModel& t, Bytes rowBytes) {
    ByteReader r(rowBytes);
    const size_t len = rowBytes.size();
    uint16_t numCols = r.u16(0);
    size_t maskLen = (numCols + 7u) / 8u;
    if (len < 2 + maskLen) return Status::corruption("row shorter than its null mask");
    size_t maskStart = len - maskLen;
    auto present = [&](uint16_t n) { return n < numCols && (r.u8(maskStart + n / 8) >> (n % 8)) & 1; };
    uint16_t varCount = 0;
    size_t offTable = 0;
    if (t.varCols > 0) {
        varCount = r.u16(maskStart - 2);
        offTable = maskStart - 4;  // off[0]
    }
    std::vector<StoredCell> cells(std::max<size_t>(t.maxCols, numCols));
    for (const auto& c : t.columns) {
        StoredCell cell;
        if (c.type == ColumnType::Boolean) {
            cell = StoredCell::of(std::string(1, present(c.number) ? '\1' : '\0'));
        } else if (present(c.number)) {
            if (c.isFixed()) {
                auto s = r.slice(2 + c.fixedOffset, c.length);
                cell = StoredCell::of(std::string(s.begin(), s.end()));
            } else if (c.varIndex < varCount) {
                size_t a = r.u16(offTable - 2 * c.varIndex), b = r.u16(offTable - 2 * (c.varIndex + 1u));
                if (b < a || b > len) return Status::corruption("bad variable column offsets");
                auto s = r.slice(a, b - a);
                cell = StoredCell::of(std::string(s.begin(), s.end()));
            }
        }
        if (c.number < cells.size()) cells[c.number] = std::move(cell);
    }
    if (!r.ok()) return Status::corruption("row overruns its bounds");
    return cells;
}

std::vector<uint8_t> newDataPage(uint32_t owner) {
    std::vector<uint8_t> pg(kJet4PageSize, 0);
    pg[0] = 0x01;
    pg[1] = 0x01;
    put::u16(pg, 2, static_cast<uint16_t>(kJet4PageSize - kDataPageHeader));
    put::u32(pg, 4, owner);
    return pg;
}

int rowCountOnPage(Bytes page) { return ByteReader(page).u16(12); }

bool rowFits(Bytes page, size_t rowLength) {
    ByteReader r(page);
    return rowLength + 2 <= r.u16(2) && r.u16(12) < kMaxRowsPerPage;
}

int addRowToPage(MutableBytes page, Bytes row) {
    ByteReader r(page);
    int n = r.u16(12);
    size_t top = kJet4PageSize;
    for (int i = 0; i < n; ++i) top = std::min<size_t>(top, r.u16(14 + 2 * i) & row_flag::kOffsetMask);
    size_t start = top - row.size();
    std::copy(row.begin(), row.end(), page.begin() + static_cast<long>(start));
    put::u16(page, 14 + 2 * n, static_cast<uint16_t>(start));
    put::u16(page, 12, static_cast<uint16_t>(n + 1));
    put::u16(page, 2, static_cast<uint16_t>(r.u16(2) - row.size() - 2));
    return n;
}

Bytes rowOnPage(Bytes page, int row, bool* deleted, bool* overflow) {
    ByteReader r(page);
    int n = r.u16(12);
    if (row < 0 || row >= n) {
        if (deleted) *deleted = true;
        return {};
    }
    uint16_t off = r.u16(14 + 2 * row);
    if (deleted) *deleted = (off & row_flag::kDeleted) != 0;
    if (overflow) *overflow = (off & row_flag::kOverflow) != 0;
    size_t start = off & row_flag::kOffsetMask;
    size_t end = row == 0 ? kJet4PageSize : (r.u16(14 + 2 * (row - 1)) & row_flag::kOffsetMask);
    if (end > page.size() || start > end) return {};
    return page.subspan(start, end - start);
}

void markRowDeleted(MutableBytes page, int row) {
    ByteReader r(page);
    uint16_t off = r.u16(14 + 2 * row);
    put::u16(page, 14 + 2 * row, static_cast<uint16_t>(off | row_flag::kDeleted | row_flag::kOverflow));
}

}  // namespace veltrano::access
