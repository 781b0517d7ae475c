// Row cracking; layout in row.h.
#include "access/format/row.h"

namespace veltrano::access {

namespace {

// Offsets of var columns: off[0..varCount] (the last one is the end of data).
Status varOffsetsJet4(const ByteReader& r, size_t len, size_t nullMaskLen, std::vector<size_t>& off) {
    if (len < nullMaskLen + 4) return Status::corruption("row too short for its offset table");
    size_t varCount = r.u16(len - nullMaskLen - 2);
    size_t tableBytes = 2 * (varCount + 1);
    if (tableBytes + 2 + nullMaskLen + 2 > len) return Status::corruption("row offset table larger than the row");
    off.resize(varCount + 1);
    for (size_t i = 0; i <= varCount; ++i) off[i] = r.u16(len - nullMaskLen - 4 - 2 * i);
    return {};
}

Status varOffsetsJet3(const ByteReader& r, size_t len, size_t nullMaskLen, std::vector<size_t>& off) {
    if (len < nullMaskLen + 3) return Status::corruption("row too short for its offset table");
    size_t last = len - 1;  // index of the row's last byte
    size_t varCount = r.u8(last - nullMaskLen);
    size_t numJumps = (len - 1) / 256;
    if (last < nullMaskLen + numJumps + 1 + varCount) return Status::corruption("row offset table larger than the row");
    size_t colPtr = last - nullMaskLen - numJumps - 1;
    // The final jump byte is a dummy when the offsets do not reach that far.
    if (numJumps > 0 && (colPtr - varCount) / 256 < numJumps) --numJumps;
    off.resize(varCount + 1);
    size_t jumpsUsed = 0;
    for (size_t i = 0; i <= varCount; ++i) {
        while (jumpsUsed < numJumps && i == r.u8(last - nullMaskLen - jumpsUsed - 1)) ++jumpsUsed;
        off[i] = r.u8(colPtr - i) + 256 * jumpsUsed;
    }
    return {};
}

}  // namespace

Status crackRow(Bytes row, const TableDef& def, const Format& f, std::vector<Cell>& out) {
    ByteReader r(row);
    const bool jet4 = f.isJet4();
    const size_t countSize = jet4 ? 2 : 1;
    const size_t len = row.size();
    if (len < countSize) return Status::corruption("empty row");
    size_t numCols = jet4 ? r.u16(0) : r.u8(0);
    size_t nullMaskLen = (numCols + 7) / 8;
    if (nullMaskLen + countSize > len) return Status::corruption("row too short for its null mask");
    Bytes nullMask = row.subspan(len - nullMaskLen);

    // Kept from row to row: a row is cracked for every row read or changed.
    // Its entries are all written before they are read, so it is resized,
    // never cleared and refilled.
    thread_local std::vector<size_t> off;
    if (def.varCols > 0) {
        Status s = jet4 ? varOffsetsJet4(r, len, nullMaskLen, off) : varOffsetsJet3(r, len, nullMaskLen, off);
        if (!s.isOk()) return s;
    } else {
        off.clear();
    }

    // Sizes and places held in locals: a write through a Cell could alias
    // the vectors, so they would be loaded again for every column.
    const size_t columnCount = def.columns.size();
    out.resize(columnCount);
    const ColumnDef* columns = def.columns.data();
    Cell* cells = out.data();
    const size_t offsetCount = off.size();
    const size_t* offsets = off.data();
    for (size_t i = 0; i < columnCount; ++i) {
        const ColumnDef& c = columns[i];
        Cell& cell = cells[i];
        cell.isNull = true;
        cell.boolValue = false;
        cell.data = {};
        if (c.number >= numCols) continue;  // added after this row was written
        bool bit = (nullMask[c.number / 8] >> (c.number % 8)) & 1;
        if (c.type == ColumnType::Boolean && !c.calculated) {  // calculated ones are stored as bytes
            cell.isNull = false;
            cell.boolValue = bit;
            continue;
        }
        if (!bit) continue;
        if (c.isFixed()) {
            size_t start = countSize + c.fixedOffset;
            if (start + c.length > len - nullMaskLen)
                return Status::corruption("fixed column '" + c.name + "' runs past the row end");
            cell.isNull = false;
            cell.data = row.subspan(start, c.length);
        } else {
            if (static_cast<size_t>(c.varIndex) + 1 >= offsetCount) continue;  // slot added later
            size_t start = offsets[c.varIndex], end = offsets[c.varIndex + 1];
            if (start > end || end > len - nullMaskLen || start < countSize)
                return Status::corruption("variable column '" + c.name + "' has bad offsets");
            cell.isNull = false;
            cell.data = row.subspan(start, end - start);
        }
    }
    return {};
}

}  // namespace veltrano::access
