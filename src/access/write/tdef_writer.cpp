#include "access/write/tdef_writer.h"

#include <algorithm>

#include "access/base/coding.h"
#include "access/format/limits.h"
#include "access/format/tdef.h"
#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {
const ColumnModel* TableModel::column(uint16_t number) const {
    for (const auto& c : columns)
        if (c.number == number) return &c;
    return nullptr;
}

const ColumnModel* TableModel::columnNamed(const std::string& name) const {
    for (const auto& c : columns)
        if (namesEqual(c.name, name)) return &c;
    return nullptr;
}

std::vector<const ColumnModel*> TableModel::byNumber() const {
    std::vector<const ColumnModel*> v;
    for (const auto& c : columns) v.push_back(&c);
    std::sort(v.begin(), v.end(), [](auto* a, auto* b) { return a->number < b->number; });
    return v;
}

bool TableModel::isPrimaryKey(size_t r) const {
    for (const auto& l : logicalIndexes)
        if (l.realIndex == r && l.type == 1) return true;
    return false;
}

Result<TableModel> readTableModel(PageStore& store, uint32_t page) {
    const Format& f = Format::jet4();
    auto readPage = [&store](uint32_t n, std::vector<uint8_t>& out) { return store.read(n, out); };
    std::vector<uint32_t> chain;
    ACCESS_ASSIGN_OR_RETURN(std::vector<uint8_t> buf, readDefinitionBytes(readPage, page, &chain));
    // Only the definition's own length is kept: what follows it on the last
    // page is not part of it and is not written back.
    uint32_t len = ByteReader(buf).u32(tdef_const::kLength);
    if (len < f.tdefVarPart || len > buf.size()) return Status::corruption("bad table definition length", page);
    buf.resize(len);
    auto parsed = parseTableDef(buf, f, 0);
    if (!parsed.isOk()) return Status::corruption(parsed.status().description(), page);
    const TableDef& d = *parsed;
    auto block = [&buf](size_t at, size_t size) {
        return std::vector<uint8_t>(buf.begin() + static_cast<std::ptrdiff_t>(at),
                                    buf.begin() + static_cast<std::ptrdiff_t>(at + size));
    };

    TableModel t;
    t.page = page;
    t.continuation.assign(chain.begin() + 1, chain.end());
    t.rowCount = d.rowCount;
    t.autoNumber = d.lastAutoNumber;
    t.tableType = d.tableType;
    t.maxCols = d.maxCols;
    t.varCols = d.varCols;
    t.ownedMap = d.ownedMap;
    t.freeMap = d.freeMap;
    t.rawHeader = block(0, f.tdefVarPart);
    t.realIndexes.resize(d.realIndexes.size());
    for (size_t i = 0; i < d.realIndexes.size(); ++i) {
        const RealIndexDef& x = d.realIndexes[i];
        RealIndexModel& ri = t.realIndexes[i];
        ri.rawCount = block(f.tdefVarPart + i * f.realIdxCountBlock, f.realIdxCountBlock);
        ri.uniqueCount = x.uniqueEntryCount;
        for (const auto& c : x.columns) ri.columns.push_back({c.column, c.ascending});
        ri.usageMap = x.usageMap;
        ri.rootPage = x.rootPage;
        ri.flags = x.flags;
        ri.raw = block(d.layout.realIndexBlocks + i * f.realIdxBlock, f.realIdxBlock);
    }
    t.columns.resize(d.columns.size());
    for (const ColumnDef& c : d.columns) {
        ColumnModel& m = t.columns[c.storedIndex];  // the stored (name) order is kept
        m.name = c.name;
        m.type = c.type;
        m.number = c.number;
        m.varIndex = c.varIndex;
        m.fixedOffset = c.fixedOffset;
        m.length = c.length;
        m.flags = c.flags;
        m.extFlags = c.extFlags;
        m.precision = c.precision;
        m.scale = c.scale;
        m.raw = block(d.layout.columnBlocks + size_t{c.storedIndex} * f.columnBlock, f.columnBlock);
    }
    t.logicalIndexes.resize(d.logicalIndexes.size());
    for (size_t i = 0; i < d.logicalIndexes.size(); ++i) {
        const LogicalIndexDef& x = d.logicalIndexes[i];
        t.logicalIndexes[i] = {x.name, x.number, x.realIndex, x.type,
                               block(d.layout.logicalIndexBlocks + i * f.logicalIdxBlock, f.logicalIdxBlock), std::nullopt};
    }
    for (const auto& m : d.longValueMaps) t.lvMaps.push_back({m.column, m.ownedMap, m.freeMap});
    return t;
}

std::vector<uint8_t> newColumnBlock(const ColumnModel& c) {
    const Format& f = Format::jet4();
    std::vector<uint8_t> blk(f.columnBlock, 0);
    blk[f.colType] = static_cast<uint8_t>(c.type);
    put::u32(blk, 1, tdef_const::kTableMagic);
    put::u16(blk, f.colNumber, c.number);
    put::u16(blk, f.colVarIndex, c.varIndex);
    put::u16(blk, f.colRowNumber, c.number);
    if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
        put::u16(blk, f.colSortOrder, kGeneralSortOrder);
    } else if (c.type == ColumnType::Numeric) {
        blk[f.colPrecision] = c.precision;
        blk[f.colScale] = c.scale;
    }
    blk[f.colFlags] = c.flags;
    blk[static_cast<size_t>(f.colExtFlags)] = c.extFlags;
    put::u16(blk, f.colFixedOffset, c.fixedOffset);
    put::u16(blk, f.colLength, c.length);
    return blk;
}

std::vector<uint8_t> serializeTableModel(const TableModel& t) {
    const Format& f = Format::jet4();
    std::vector<uint8_t> b(f.tdefVarPart, 0);
    if (t.rawHeader.size() == f.tdefVarPart) b = t.rawHeader;
    b[0] = page_type::kTableDef;
    b[1] = 0x01;
    put::u32(b, 12, tdef_const::kTableMagic);
    put::u32(b, f.tdefRowCount, t.rowCount);
    put::u32(b, f.tdefAutoNumber, t.autoNumber);
    if (t.rawHeader.empty()) b[24] = 1;  // Access sets it; auto-numbers need it
    b[f.tdefTableType] = t.tableType;
    put::u16(b, f.tdefMaxCols, t.maxCols);
    put::u16(b, f.tdefVarCols, t.varCols);
    put::u16(b, f.tdefColCount, static_cast<uint16_t>(t.columns.size()));
    put::u32(b, f.tdefLogicalIdxCount, static_cast<uint32_t>(t.logicalIndexes.size()));
    put::u32(b, f.tdefRealIdxCount, static_cast<uint32_t>(t.realIndexes.size()));
    put::u32(b, f.tdefOwnedMap, t.ownedMap);
    put::u32(b, f.tdefFreeMap, t.freeMap);
    auto append = [&b](const std::vector<uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); };
    // A block read from the file keeps its bytes; a new one starts from zeros.
    auto startBlock = [](const std::vector<uint8_t>& raw, size_t size) {
        return raw.size() == size ? raw : std::vector<uint8_t>(size, 0);
    };
    for (const auto& ri : t.realIndexes) {
        std::vector<uint8_t> blk = startBlock(ri.rawCount, f.realIdxCountBlock);
        put::u32(blk, 4, ri.uniqueCount);
        append(blk);
    }
    for (const auto& c : t.columns) append(c.raw.size() == f.columnBlock ? c.raw : newColumnBlock(c));
    auto appendName = [&](const std::string& name) {
        std::string u = utf8ToUtf16le(name);
        std::vector<uint8_t> v(f.nameLengthSize);
        put::u16(v, 0, static_cast<uint16_t>(u.size()));
        v.insert(v.end(), u.begin(), u.end());
        append(v);
    };
    for (const auto& c : t.columns) appendName(c.name);
    for (const auto& ri : t.realIndexes) {
        std::vector<uint8_t> blk = startBlock(ri.raw, f.realIdxBlock);
        put::u32(blk, 0, tdef_const::kIndexMagic);
        for (size_t k = 0; k < limits::kMaxIndexColumns; ++k) {
            const size_t at = f.realIdxColumns + 3 * k;
            if (k < ri.columns.size()) {
                put::u16(blk, at, ri.columns[k].column);
                blk[at + 2] = ri.columns[k].ascending ? 0x01 : 0x00;
            } else {
                put::u16(blk, at, 0xFFFF);  // the flag byte of an unused slot means nothing; kept as found
            }
        }
        put::u32(blk, f.realIdxUsageMap, ri.usageMap);
        put::u32(blk, f.realIdxRoot, ri.rootPage);
        blk[f.realIdxFlags] = ri.flags;
        append(blk);
    }
    for (const auto& li : t.logicalIndexes) {
        std::vector<uint8_t> blk = startBlock(li.raw, f.logicalIdxBlock);
        if (li.raw.size() != f.logicalIdxBlock) {
            put::u32(blk, 0, tdef_const::kTableMagic);
            put::u32(blk, f.logIdxRelIndex, 0xFFFFFFFFu);  // not a foreign key
        }
        put::u32(blk, f.logIdxNumber, li.number);
        put::u32(blk, f.logIdxRealNumber, li.realIndex);
        blk[f.logIdxType] = li.type;
        if (li.foreignKey) {
            blk[f.logIdxRelType] = li.foreignKey->side;
            put::u32(blk, f.logIdxRelIndex, li.foreignKey->otherIndex);
            put::u32(blk, f.logIdxRelTable, li.foreignKey->otherPage);
            blk[f.logIdxCascadeUpdate] = li.foreignKey->cascadeUpdate;
            blk[f.logIdxCascadeDelete] = li.foreignKey->cascadeDelete;
        }
        append(blk);
    }
    for (const auto& li : t.logicalIndexes) appendName(li.name);
    for (const auto& m : t.lvMaps) {
        std::vector<uint8_t> v(10);
        put::u16(v, 0, m.column);
        put::u32(v, 2, m.ownedMap);
        put::u32(v, 6, m.freeMap);
        append(v);
    }
    b.push_back(0xFF);
    b.push_back(0xFF);
    put::u32(b, tdef_const::kLength, static_cast<uint32_t>(b.size()));
    return b;
}

Status writeTableModel(PageStore& store, TableModel& t, const std::function<Result<uint32_t>()>& allocate,
                     std::vector<uint32_t>& freed) {
    const uint32_t pageSize = Format::jet4().pageSize;
    const size_t header = tdef_const::kContinuationHeader;
    std::vector<uint8_t> b = serializeTableModel(t);
    const size_t first = pageSize, more = pageSize - header;
    size_t extraPages = b.size() <= first ? 0 : (b.size() - first + more - 1) / more;
    while (t.continuation.size() < extraPages) {
        ACCESS_ASSIGN_OR_RETURN(uint32_t p, allocate());
        t.continuation.push_back(p);
    }
    while (t.continuation.size() > extraPages) {
        freed.push_back(t.continuation.back());
        t.continuation.pop_back();
    }
    size_t pos = 0;
    for (size_t i = 0; i <= extraPages; ++i) {
        std::vector<uint8_t> pg(pageSize, 0);
        size_t start = i == 0 ? 0 : header;
        size_t n = std::min(pageSize - start, b.size() - pos);
        std::copy(b.begin() + pos, b.begin() + pos + n, pg.begin() + start);
        pos += n;
        pg[0] = page_type::kTableDef;
        pg[1] = 0x01;
        size_t used = start + n;
        put::u16(pg, tdef_const::kFreeSpace, static_cast<uint16_t>(used + 8 <= pageSize ? pageSize - used - 8 : 0));
        put::u32(pg, tdef_const::kNextPage, i < extraPages ? t.continuation[i] : 0);
        ACCESS_RETURN_IF_ERROR(store.write(i == 0 ? t.page : t.continuation[i - 1], pg));
    }
    return Status::ok();
}

}  // namespace veltrano::access
