#include "access/write/row_writer.h"

#include <algorithm>

#include "access/format/row.h"

namespace veltrano::access {

RowLayout rowLayout(const TableModel& t) {
    RowLayout l;
    l.varSlots.assign(t.varCols, nullptr);
    for (const auto& c : t.columns) {
        if (c.type == ColumnType::Boolean) continue;
        if (c.isFixed()) {
            l.fixedSize = std::max<size_t>(l.fixedSize, size_t(c.fixedOffset) + c.length);
        } else if (c.varIndex < l.varSlots.size()) {
            l.varSlots[c.varIndex] = &c;
        }
    }
    return l;
}

Status encodeRowInto(const TableModel& t, const RowLayout& layout, const std::vector<StoredCell>& cells,
                     std::vector<uint8_t>& row) {
    const uint16_t numCols = t.maxCols;
    static const StoredCell kNull;
    auto cellOf = [&](const ColumnModel& c) -> const StoredCell& {
        return c.number < cells.size() ? cells[c.number] : kNull;
    };
    // Size first, so the row is built in place without growing.
    const size_t maskLen = (numCols + 7u) / 8u;
    size_t size = 2 + layout.fixedSize + maskLen;
    if (t.varCols > 0) {
        size += 2 * (layout.varSlots.size() + 1) + 2;
        for (const ColumnModel* c : layout.varSlots)
            if (c && !cellOf(*c).null) size += cellOf(*c).bytes.size();
    }
    if (size > 4060)
        return Status::invalidArgument("the record is too large (" + std::to_string(size) +
                                       " bytes; a row holds at most 4060)");
    row.assign(size, 0);
    put::u16(row, 0, numCols);
    uint8_t* mask = row.data() + size - maskLen;
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
            std::copy_n(cell.bytes.data(), n, row.data() + 2 + c.fixedOffset);
        }
    }
    if (t.varCols > 0) {
        // Values in slot order after the fixed area; the offsets (end of
        // data first, then the slots in reverse) and the slot count sit
        // just before the null mask.
        size_t at = 2 + layout.fixedSize;
        size_t offsetAt = size - maskLen - 2;
        put::u16(row, offsetAt, t.varCols);
        const size_t slots = layout.varSlots.size();
        for (size_t i = 0; i < slots; ++i) {
            put::u16(row, offsetAt - 2 * (i + 1), static_cast<uint16_t>(at));
            const ColumnModel* c = layout.varSlots[i];
            if (c && !cellOf(*c).null) {
                const std::string& b = cellOf(*c).bytes;
                std::copy_n(b.data(), b.size(), row.data() + at);
                at += b.size();
            }
        }
        put::u16(row, offsetAt - 2 * (slots + 1), static_cast<uint16_t>(at));
    }
    return Status::ok();
}

Result<std::vector<uint8_t>> encodeRow(const TableModel& t, const std::vector<StoredCell>& cells) {
    std::vector<uint8_t> row;
    ACCESS_RETURN_IF_ERROR(encodeRowInto(t, rowLayout(t), cells, row));
    return row;
}

Result<std::vector<StoredCell>> decodeRow(const TableModel& t, Bytes rowBytes) {
    // Split by the reader's row decoder, through the reader's view of the
    // columns (names only label its errors).
    TableDef shape;
    shape.maxCols = t.maxCols;
    shape.varCols = t.varCols;
    for (const auto& c : t.columns) {
        ColumnDef d;
        d.name = c.name;
        d.type = c.type;
        d.number = c.number;
        d.varIndex = c.varIndex;
        d.fixedOffset = c.fixedOffset;
        d.length = c.length;
        d.flags = c.flags;
        shape.columns.push_back(std::move(d));
    }
    std::vector<Cell> split;
    ACCESS_RETURN_IF_ERROR(crackRow(rowBytes, shape, Format::jet4(), split));
    std::vector<StoredCell> cells(std::max<size_t>(t.maxCols, ByteReader(rowBytes).u16(0)));
    for (size_t i = 0; i < split.size(); ++i) {
        const ColumnDef& c = shape.columns[i];
        if (c.number >= cells.size()) continue;
        if (c.type == ColumnType::Boolean)
            cells[c.number] = StoredCell::of(std::string(1, split[i].boolValue ? '\1' : '\0'));
        else if (!split[i].isNull)
            cells[c.number] = StoredCell::of(std::string(split[i].data.begin(), split[i].data.end()));
    }
    return cells;
}

}  // namespace veltrano::access
