#include "access/write/tdef_writer.h"

#include <algorithm>

#include "access/base/coding.h"
#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {
namespace {

constexpr uint32_t kMagicTable = 1625;
constexpr uint32_t kMagicIndex = 1923;
constexpr size_t kVarPart = 63;
constexpr size_t kCountBlock = 12;
constexpr size_t kColumnBlock = 25;
constexpr size_t kRealBlock = 52;
constexpr size_t kLogicalBlock = 28;
constexpr int kMaxChainPages = 64;

}  // namespace

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
    std::vector<uint8_t> buf, pg;
    TableModel t;
    t.page = page;
    ACCESS_RETURN_IF_ERROR(store.read(page, pg));
    if (pg[0] != page_type::kTableDef)
        return Status::corruption("page " + std::to_string(page) + " is not a table definition", page);
    buf = pg;
    uint32_t next = ByteReader(pg).u32(4);
    for (int i = 0; next != 0; ++i) {
        if (i >= kMaxChainPages) return Status::corruption("table definition chain too long", page);
        t.continuation.push_back(next);
        ACCESS_RETURN_IF_ERROR(store.read(next, pg));
        if (pg[0] != page_type::kTableDef) return Status::corruption("broken table definition chain", next);
        buf.insert(buf.end(), pg.begin() + 8, pg.end());
        next = ByteReader(pg).u32(4);
    }
    ByteReader r(buf);
    uint32_t len = r.u32(8);
    if (len < kVarPart || len > buf.size()) return Status::corruption("bad table definition length", page);
    buf.resize(len);
    r = ByteReader(buf);
    t.rawHeader.assign(buf.begin(), buf.begin() + kVarPart);
    t.rowCount = r.u32(16);
    t.autoNumber = r.u32(20);
    t.tableType = r.u8(40);
    t.maxCols = r.u16(41);
    t.varCols = r.u16(43);
    uint16_t ncols = r.u16(45);
    uint32_t nlogical = r.u32(47), nreal = r.u32(51);
    if (nlogical > 1000 || nreal > 1000) return Status::corruption("implausible index count", page);
    t.ownedMap = r.u32(55);
    t.freeMap = r.u32(59);
    size_t pos = kVarPart;
    t.realIndexes.resize(nreal);
    for (auto& ri : t.realIndexes) {
        auto s = r.slice(pos, kCountBlock);
        ri.rawCount.assign(s.begin(), s.end());
        ri.uniqueCount = r.u32(pos + 4);
        pos += kCountBlock;
    }
    t.columns.resize(ncols);
    for (auto& c : t.columns) {
        auto s = r.slice(pos, kColumnBlock);
        c.raw.assign(s.begin(), s.end());
        c.type = static_cast<ColumnType>(r.u8(pos));
        c.number = r.u16(pos + 5);
        c.varIndex = r.u16(pos + 7);
        c.precision = r.u8(pos + 11);
        c.scale = r.u8(pos + 12);
        c.flags = r.u8(pos + 15);
        c.extFlags = r.u8(pos + 16);
        c.fixedOffset = r.u16(pos + 21);
        c.length = r.u16(pos + 23);
        pos += kColumnBlock;
    }
    auto readName = [&](std::string& out) {
        uint16_t n = r.u16(pos);
        out = utf16leToUtf8(r.slice(pos + 2, n));
        pos += 2 + n;
    };
    for (auto& c : t.columns) readName(c.name);
    for (auto& ri : t.realIndexes) {
        auto s = r.slice(pos, kRealBlock);
        ri.raw.assign(s.begin(), s.end());
        for (int k = 0; k < 10; ++k) {
            uint16_t col = r.u16(pos + 4 + 3 * k);
            if (col != 0xFFFF) ri.columns.push_back({col, (r.u8(pos + 6 + 3 * k) & 0x01) != 0});
        }
        ri.usageMap = r.u32(pos + 34);
        ri.rootPage = r.u32(pos + 38);
        ri.flags = r.u8(pos + 46);
        pos += kRealBlock;
    }
    t.logicalIndexes.resize(nlogical);
    for (auto& li : t.logicalIndexes) {
        auto s = r.slice(pos, kLogicalBlock);
        li.raw.assign(s.begin(), s.end());
        li.number = r.u32(pos + 4);
        li.realIndex = r.u32(pos + 8);
        li.type = r.u8(pos + 23);
        pos += kLogicalBlock;
    }
    for (auto& li : t.logicalIndexes) readName(li.name);
    while (r.has(pos, 2) && r.u16(pos) != 0xFFFF && r.has(pos, 10)) {
        t.lvMaps.push_back({r.u16(pos), r.u32(pos + 2), r.u32(pos + 6)});
        pos += 10;
    }
    if (!r.ok()) return Status::corruption("table definition overruns its length", page);
    for (const auto& li : t.logicalIndexes)
        if (li.realIndex >= nreal) return Status::corruption("logical index names a missing real index", page);
    return t;
}

std::vector<uint8_t> serializeTableModel(const TableModel& t) {
    std::vector<uint8_t> b(kVarPart, 0);
    if (t.rawHeader.size() == kVarPart) b = t.rawHeader;
    b[0] = page_type::kTableDef;
    b[1] = 0x01;
    put::u32(b, 12, kMagicTable);
    put::u32(b, 16, t.rowCount);
    put::u32(b, 20, t.autoNumber);
    if (t.rawHeader.empty()) b[24] = 1;
    b[40] = t.tableType;
    put::u16(b, 41, t.maxCols);
    put::u16(b, 43, t.varCols);
    put::u16(b, 45, static_cast<uint16_t>(t.columns.size()));
    put::u32(b, 47, static_cast<uint32_t>(t.logicalIndexes.size()));
    put::u32(b, 51, static_cast<uint32_t>(t.realIndexes.size()));
    put::u32(b, 55, t.ownedMap);
    put::u32(b, 59, t.freeMap);
    auto append = [&b](const std::vector<uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); };
    for (const auto& ri : t.realIndexes) {
        std::vector<uint8_t> blk(kCountBlock, 0);
        if (ri.rawCount.size() == kCountBlock) blk = ri.rawCount;
        put::u32(blk, 4, ri.uniqueCount);
        append(blk);
    }
    for (const auto& c : t.columns) {
        std::vector<uint8_t> blk(kColumnBlock, 0);
        if (c.raw.size() == kColumnBlock) {
            blk = c.raw;
        } else {
            blk[0] = static_cast<uint8_t>(c.type);
            put::u32(blk, 1, kMagicTable);
            put::u16(blk, 5, c.number);
            put::u16(blk, 7, c.varIndex);
            put::u16(blk, 9, c.number);
            if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
                put::u16(blk, 11, 0x0409);  // General sort order, version 0
            } else if (c.type == ColumnType::Numeric) {
                blk[11] = c.precision;
                blk[12] = c.scale;
            }
            blk[15] = c.flags;
            blk[16] = c.extFlags;
            put::u16(blk, 21, c.fixedOffset);
            put::u16(blk, 23, c.length);
        }
        append(blk);
    }
    auto appendName = [&](const std::string& name) {
        std::string u = utf8ToUtf16le(name);
        std::vector<uint8_t> v(2);
        put::u16(v, 0, static_cast<uint16_t>(u.size()));
        v.insert(v.end(), u.begin(), u.end());
        append(v);
    };
    for (const auto& c : t.columns) appendName(c.name);
    for (const auto& ri : t.realIndexes) {
        std::vector<uint8_t> blk(kRealBlock, 0);
        if (ri.raw.size() == kRealBlock) blk = ri.raw;
        put::u32(blk, 0, kMagicIndex);
        for (int k = 0; k < 10; ++k) {
            if (k < static_cast<int>(ri.columns.size())) {
                put::u16(blk, 4 + 3 * k, ri.columns[k].column);
                blk[6 + 3 * k] = ri.columns[k].ascending ? 0x01 : 0x00;
            } else {
                put::u16(blk, 4 + 3 * k, 0xFFFF);
                blk[6 + 3 * k] = 0;
            }
        }
        put::u32(blk, 34, ri.usageMap);
        put::u32(blk, 38, ri.rootPage);
        blk[46] = ri.flags;
        append(blk);
    }
    for (const auto& li : t.logicalIndexes) {
        std::vector<uint8_t> blk(kLogicalBlock, 0);
        if (li.raw.size() == kLogicalBlock) {
            blk = li.raw;
        } else {
            put::u32(blk, 0, kMagicTable);
            put::u32(blk, 13, 0xFFFFFFFFu);  // not a foreign key
        }
        put::u32(blk, 4, li.number);
        put::u32(blk, 8, li.realIndex);
        blk[23] = li.type;
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
    put::u32(b, 8, static_cast<uint32_t>(b.size()));
    return b;
}

Status writeTableModel(PageStore& store, TableModel& t, const std::function<Result<uint32_t>()>& allocate,
                     std::vector<uint32_t>& freed) {
    std::vector<uint8_t> b = serializeTableModel(t);
    const size_t first = kJet4PageSize, more = kJet4PageSize - 8;
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
        std::vector<uint8_t> pg(kJet4PageSize, 0);
        size_t start = i == 0 ? 0 : 8;
        size_t n = std::min(kJet4PageSize - start, b.size() - pos);
        std::copy(b.begin() + pos, b.begin() + pos + n, pg.begin() + start);
        pos += n;
        pg[0] = page_type::kTableDef;
        pg[1] = 0x01;
        size_t used = start + n;
        put::u16(pg, 2, static_cast<uint16_t>(used + 8 <= kJet4PageSize ? kJet4PageSize - used - 8 : 0));
        put::u32(pg, 4, i < extraPages ? t.continuation[i] : 0);
        ACCESS_RETURN_IF_ERROR(store.write(i == 0 ? t.page : t.continuation[i - 1], pg));
    }
    return Status::ok();
}

}  // namespace veltrano::access
