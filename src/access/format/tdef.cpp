// Table-definition reading; layout in tdef.h.
#include "access/format/tdef.h"

#include <algorithm>
#include <unordered_set>

#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {

namespace {

// Reads a name at `off`, advancing it. False when it runs off the buffer.
bool readName(const ByteReader& r, size_t& off, const Format& f, uint16_t codePage, std::string& out) {
    size_t len = f.nameLengthSize == 1 ? r.u8(off) : r.u16(off);
    off += f.nameLengthSize;
    Bytes b = r.slice(off, len);
    if (!r.ok()) return false;
    off += len;
    out = f.isJet4() ? utf16leToUtf8(b) : decodeCodePage(b, codePage);
    return true;
}

}  // namespace

const ColumnDef* TableDef::columnByNumber(uint16_t number) const {
    for (const auto& c : columns)
        if (c.number == number) return &c;
    return nullptr;
}

const ColumnDef* TableDef::columnByName(std::string_view name) const {
    for (const auto& c : columns)
        if (c.name == name) return &c;
    for (const auto& c : columns)
        if (namesEqual(c.name, name)) return &c;
    return nullptr;
}

Result<std::vector<uint8_t>> readDefinitionBytes(const PageReader& readPage, uint32_t page,
                                                 std::vector<uint32_t>* chain) {
    std::vector<uint8_t> def, bytes;
    std::unordered_set<uint32_t> seen;
    uint32_t current = page;
    while (current != 0) {
        if (seen.size() >= limits::kMaxTdefPages)
            return Status::corruption("table definition spans too many pages", page);
        if (!seen.insert(current).second)
            return Status::corruption("table definition pages form a loop", current);
        ACCESS_RETURN_IF_ERROR(readPage(current, bytes));
        if (bytes.size() <= tdef_const::kContinuationHeader || bytes[0] != page_type::kTableDef)
            return Status::corruption("expected a table definition page", current);
        if (chain) chain->push_back(current);
        if (def.empty())
            def.insert(def.end(), bytes.begin(), bytes.end());
        else
            def.insert(def.end(), bytes.begin() + tdef_const::kContinuationHeader, bytes.end());
        current = ByteReader(bytes).u32(tdef_const::kNextPage);
    }
    return def;
}

Result<std::vector<uint8_t>> readDefinitionBytes(Pager& pager, uint32_t page, std::vector<uint32_t>* chain) {
    auto readPage = [&pager](uint32_t n, std::vector<uint8_t>& out) -> Status {
        ACCESS_ASSIGN_OR_RETURN(PageHandle p, pager.page(n));
        out.assign(p->begin(), p->end());
        return Status::ok();
    };
    return readDefinitionBytes(readPage, page, chain);
}

Result<TableDef> parseTableDef(Bytes def, const Format& f, uint16_t codePage) {
    ByteReader r(def);
    TableDef t;
    auto bad = [](const std::string& what) { return Status::corruption("damaged table definition: " + what); };

    t.rowCount = r.u32(f.tdefRowCount);
    t.lastAutoNumber = r.u32(f.tdefAutoNumber);
    t.tableType = r.u8(f.tdefTableType);
    t.maxCols = r.u16(f.tdefMaxCols);
    t.varCols = r.u16(f.tdefVarCols);
    size_t numCols = r.u16(f.tdefColCount);
    size_t numLogical = r.u32(f.tdefLogicalIdxCount);
    size_t numReal = r.u32(f.tdefRealIdxCount);
    t.ownedMap = r.u32(f.tdefOwnedMap);
    t.freeMap = r.u32(f.tdefFreeMap);
    if (!r.ok()) return bad("header cut short");
    if (numCols > limits::kMaxColumns || numLogical > limits::kMaxIndexes || numReal > limits::kMaxIndexes)
        return bad("impossible column or index count");

    size_t off = f.tdefVarPart;
    std::vector<uint32_t> uniqueCounts(numReal);
    for (size_t i = 0; i < numReal; ++i) {
        uniqueCounts[i] = r.u32(off + 4);
        off += f.realIdxCountBlock;
    }

    t.layout.columnBlocks = off;
    t.columns.resize(numCols);
    for (size_t i = 0; i < numCols; ++i) {
        ColumnDef& c = t.columns[i];
        c.storedIndex = static_cast<uint16_t>(i);
        size_t b = off + i * f.columnBlock;
        c.type = static_cast<ColumnType>(r.u8(b + f.colType));
        c.number = r.u16(b + f.colNumber);
        c.varIndex = r.u16(b + f.colVarIndex);
        c.flags = decodeColumnFlags(r.u8(b + f.colFlags), c.type, f);
        c.extFlags = f.colExtFlags >= 0 ? r.u8(b + static_cast<size_t>(f.colExtFlags)) : 0;
        c.fixedOffset = r.u16(b + f.colFixedOffset);
        c.length = r.u16(b + f.colLength);
        if (c.type == ColumnType::Numeric) {
            c.precision = r.u8(b + f.colPrecision);
            c.scale = r.u8(b + f.colScale);
        }
        // Access 2007 and later: a calculated column has one of the two top
        // extended flags; a complex column keeps its complex id where numeric
        // columns keep precision and scale.
        c.calculated = f.isJet4() && (c.extFlags & 0xC0) != 0;
        if (c.type == ColumnType::Complex) c.complexId = r.u32(b + f.colPrecision);
        if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
            c.sortOrder = r.u16(b + f.colSortOrder);
            c.codePage = f.colCodePage >= 0 ? r.u16(b + static_cast<size_t>(f.colCodePage)) : 0;
        }
    }
    off += numCols * f.columnBlock;
    if (!r.ok()) return bad("column blocks cut short");
    for (auto& c : t.columns)
        if (!readName(r, off, f, codePage, c.name)) return bad("column names cut short");

    t.layout.realIndexBlocks = off;
    t.realIndexes.resize(numReal);
    for (size_t i = 0; i < numReal; ++i) {
        RealIndexDef& x = t.realIndexes[i];
        size_t b = off + i * f.realIdxBlock;
        for (size_t k = 0; k < limits::kMaxIndexColumns; ++k) {
            uint16_t col = r.u16(b + f.realIdxColumns + 3 * k);
            uint8_t flags = r.u8(b + f.realIdxColumns + 3 * k + 2);
            if (col != 0xFFFF) x.columns.push_back({col, (flags & 0x01) != 0});
        }
        x.usageMap = r.u32(b + f.realIdxUsageMap);
        x.rootPage = r.u32(b + f.realIdxRoot);
        x.flags = r.u8(b + f.realIdxFlags);
        x.uniqueEntryCount = uniqueCounts[i];
    }
    off += numReal * f.realIdxBlock;
    if (!r.ok()) return bad("index blocks cut short");

    t.layout.logicalIndexBlocks = off;
    t.logicalIndexes.resize(numLogical);
    for (size_t i = 0; i < numLogical; ++i) {
        LogicalIndexDef& x = t.logicalIndexes[i];
        size_t b = off + i * f.logicalIdxBlock;
        x.number = r.u32(b + f.logIdxNumber);
        x.realIndex = r.u32(b + f.logIdxRealNumber);
        x.relatedTableType = r.u8(b + f.logIdxRelType);
        x.relatedIndex = r.i32(b + f.logIdxRelIndex);
        x.relatedTablePage = r.u32(b + f.logIdxRelTable);
        x.cascadeUpdate = r.u8(b + f.logIdxCascadeUpdate);
        x.cascadeDelete = r.u8(b + f.logIdxCascadeDelete);
        x.type = r.u8(b + f.logIdxType);
        if (x.realIndex >= numReal && r.ok()) return bad("index refers to a missing index block");
    }
    off += numLogical * f.logicalIdxBlock;
    if (!r.ok()) return bad("logical index blocks cut short");
    for (auto& x : t.logicalIndexes)
        if (!readName(r, off, f, codePage, x.name)) return bad("index names cut short");

    // Long-value column maps; older files may end without the terminator.
    for (size_t guard = 0; guard < limits::kMaxColumns && r.has(off, 2); ++guard) {
        uint16_t col = r.u16(off);
        if (col == 0xFFFF || !r.has(off, 10)) break;
        t.longValueMaps.push_back({col, r.u32(off + 2), r.u32(off + 6)});
        for (auto& c : t.columns) {
            if (c.number == col) {
                c.lvOwnedMap = r.u32(off + 2);
                c.lvFreeMap = r.u32(off + 6);
            }
        }
        off += 10;
    }

    std::stable_sort(t.columns.begin(), t.columns.end(),
                     [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
    for (size_t i = 1; i < t.columns.size(); ++i)
        if (t.columns[i].number == t.columns[i - 1].number) return bad("two columns share a number");
    for (const auto& c : t.columns) {
        if (c.isFixed() && c.type != ColumnType::Boolean && !c.calculated &&
            static_cast<size_t>(c.fixedOffset) + c.length > f.maxRowSize)
            return bad("fixed column beyond the largest row");
    }
    t.raw.assign(def.begin(), def.end());
    return t;
}

Result<TableDef> loadTableDef(Pager& pager, uint32_t page) {
    std::vector<uint32_t> chain;
    ACCESS_ASSIGN_OR_RETURN(auto bytes, readDefinitionBytes(pager, page, &chain));
    auto t = parseTableDef(bytes, pager.format(), pager.header().codePage);
    if (!t.isOk()) return Status::corruption(t.status().description(), page);
    t->firstPage = page;
    t->pages = std::move(chain);
    return t;
}

}  // namespace veltrano::access
