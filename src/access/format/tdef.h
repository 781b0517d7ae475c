// Table definitions (TDEF pages, type 0x02), including continuation pages.
//
// A definition is the first page's bytes [0, page size) followed by bytes
// [8, page size) of each continuation page (linked through the uint32 at
// offset 4). Layout (offsets in format.h, Jet3 / Jet4):
//   header      length, row count, last auto-number, table type, max_cols,
//               var slots, column count, logical / real index counts, owned
//               and free-space usage-map references
//   per real index    row-count block (unique-key count at +4)
//   per column        column block (type, number, var index, flags, fixed
//                     offset, length, precision/scale or sort order)
//   per column        name (Jet3 u8 length + code page; Jet4 u16 byte length + UCS-2)
//   per real index    real-index block (10 column slots, map, root, flags)
//   per logical index logical-index block (number, real index, FK, type)
//   per logical index name
//   long-value column maps {u16 column, owned ref, free ref}... FF FF
// Columns are stored sorted by name; callers get them in column-number order.
// Read here for both the reader and the writer (whose model, tdef_writer.h,
// keeps the stored blocks and writes them back).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "access/base/coding.h"
#include "access/format/format.h"
#include "access/format/limits.h"
#include "access/storage/pager.h"
#include "access/base/status.h"

namespace veltrano::access {

namespace tdef_const {
constexpr size_t kFreeSpace = 2;      // uint16 (Jet 4; Jet 3 holds "VC")
constexpr size_t kNextPage = 4;       // uint32 continuation page, 0 at the end
constexpr size_t kLength = 8;         // uint32 bytes of the whole definition
constexpr size_t kContinuationHeader = 8;  // bytes of a continuation page before its part
constexpr uint32_t kTableMagic = 1625;     // Jet 4: at 12 and in every column block
constexpr uint32_t kIndexMagic = 1923;     // Jet 4: first bytes of a real-index block
}  // namespace tdef_const

struct ColumnDef {
    std::string name;
    ColumnType type = ColumnType::Text;
    uint16_t number = 0;       // bit in the null mask; never reused after a delete
    uint16_t varIndex = 0;     // slot in the row's offset table (variable columns)
    uint16_t fixedOffset = 0;  // position in the fixed area (fixed columns)
    uint16_t length = 0;       // bytes (Jet4 text: 2 per character)
    uint8_t flags = 0;         // column_flag::...
    uint8_t extFlags = 0;      // Jet4: 0x01 compressed unicode allowed
    uint8_t precision = 0;     // Decimal
    uint8_t scale = 0;         // Decimal
    uint16_t sortOrder = 0;    // text: LCID
    uint16_t codePage = 0;     // Jet3 text
    uint32_t lvOwnedMap = 0;   // long-value columns: packed usage-map refs (0 = none)
    uint32_t lvFreeMap = 0;
    uint16_t storedIndex = 0;  // position of its block among the column blocks

    // From the column properties (catalog LvProp), when present.
    bool hasDefault = false;
    std::string defaultValue;
    bool required = false;

    // Access 2007 and later. A calculated column stores its result (of the
    // type its ResultType property names) wrapped; a complex column stores a
    // row id into the hidden table of its MSysComplexColumns entry.
    bool calculated = false;
    std::string expression;
    uint32_t complexId = 0;

    bool isFixed() const { return flags & column_flag::kFixed; }
    // Complex columns carry the auto-number flag too, for their value ids.
    bool isAutoLong() const { return (flags & column_flag::kAutoLong) && type != ColumnType::Complex; }
    bool isAutoGuid() const { return flags & column_flag::kAutoGuid; }
    bool isHyperlink() const { return flags & column_flag::kHyperlink; }
};

struct IndexColumnRef {
    uint16_t column = 0;     // column number
    bool ascending = true;
};

struct RealIndexDef {
    std::vector<IndexColumnRef> columns;  // in key order (unused slots dropped)
    uint32_t usageMap = 0;     // packed ref of its pages' map
    uint32_t rootPage = 0;
    uint8_t flags = 0;         // index_flag::...
    uint32_t uniqueEntryCount = 0;
};

struct LogicalIndexDef {
    std::string name;
    uint32_t number = 0;
    uint32_t realIndex = 0;    // position in realIndexes
    uint8_t relatedTableType = 0;
    int32_t relatedIndex = -1;
    uint32_t relatedTablePage = 0;
    uint8_t cascadeUpdate = 0, cascadeDelete = 0;
    uint8_t type = 0;          // 1 primary key, 2 foreign key, 0 normal
    bool isPrimaryKey() const { return type == 1; }
    bool isForeignKey() const { return type == 2; }
};

struct LongValueMapDef {
    uint16_t column = 0;
    uint32_t ownedMap = 0, freeMap = 0;
};

// Where the parts of the variable section start in TableDef::raw.
struct TableDefLayout {
    size_t columnBlocks = 0;
    size_t realIndexBlocks = 0;
    size_t logicalIndexBlocks = 0;
};

struct TableDef {
    uint32_t firstPage = 0;
    std::vector<uint32_t> pages;  // the TDEF page chain
    uint32_t rowCount = 0;
    uint32_t lastAutoNumber = 0;
    uint8_t tableType = 0;        // 0x4E user, 0x53 system
    uint16_t maxCols = 0;         // counts deleted columns
    uint16_t varCols = 0;
    uint32_t ownedMap = 0;        // packed usage-map refs
    uint32_t freeMap = 0;
    std::vector<ColumnDef> columns;  // sorted by column number
    std::vector<RealIndexDef> realIndexes;
    std::vector<LogicalIndexDef> logicalIndexes;  // in stored order
    std::vector<LongValueMapDef> longValueMaps;   // in stored order
    std::vector<uint8_t> raw;     // the assembled definition bytes
    TableDefLayout layout;

    const ColumnDef* columnByNumber(uint16_t number) const;
    // Exact match first, then ignoring case; nullptr when absent.
    const ColumnDef* columnByName(std::string_view name) const;
};

// Reads page `n` into `out`.
using PageReader = std::function<Status(uint32_t n, std::vector<uint8_t>& out)>;

// Follows the continuation chain from `page` and assembles the definition.
Result<std::vector<uint8_t>> readDefinitionBytes(const PageReader& readPage, uint32_t page,
                                                 std::vector<uint32_t>* chain);
Result<std::vector<uint8_t>> readDefinitionBytes(Pager& pager, uint32_t page, std::vector<uint32_t>* chain);
// Parses assembled definition bytes. `codePage` decodes Jet3 names.
Result<TableDef> parseTableDef(Bytes def, const Format& format, uint16_t codePage);
// Both steps.
Result<TableDef> loadTableDef(Pager& pager, uint32_t page);

}  // namespace veltrano::access
