// A mutable model of one Jet 4 table definition (TDEF), for the writer:
// read it from its page chain, change it, and write it back.
//
// Reading goes through the format's own decoder (format/tdef.h, which also
// documents the layout); blocks read from an existing file keep their
// original bytes (unknown fields included) and only the fields we manage are
// patched, so rewriting a definition Access made changes nothing else.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "access/format/format.h"
#include "access/storage/journal.h"
#include "access/base/status.h"

namespace veltrano::access {

struct ColumnModel {
    std::string name;  // UTF-8
    ColumnType type = ColumnType::Long;
    uint16_t number = 0;
    uint16_t varIndex = 0;
    uint16_t fixedOffset = 0;
    uint16_t length = 0;  // bytes (text: 2 x characters)
    uint8_t flags = 0;
    uint8_t extFlags = 0;
    uint8_t precision = 0, scale = 0;
    std::vector<uint8_t> raw;  // the 25-byte block when read from a file

    bool isFixed() const { return (flags & column_flag::kFixed) != 0; }
    bool isAutoNumber() const { return type == ColumnType::Long && (flags & column_flag::kAutoLong) != 0; }
    bool isLongValue() const { return isLongValueType(type); }
};

struct IndexColumnModel {
    uint16_t column = 0;  // column number
    bool ascending = true;
};

struct RealIndexModel {
    std::vector<IndexColumnModel> columns;
    uint32_t usageMap = 0;  // packed row/page reference
    uint32_t rootPage = 0;
    uint8_t flags = 0x80;
    uint32_t uniqueCount = 0;
    std::vector<uint8_t> raw, rawCount;  // 52- and 12-byte blocks when read

    bool unique() const { return (flags & index_flag::kUnique) != 0; }
    bool ignoreNulls() const { return (flags & index_flag::kIgnoreNulls) != 0; }
};

struct LogicalIndexModel {
    std::string name;
    uint32_t number = 0;
    uint32_t realIndex = 0;
    uint8_t type = 0;  // 1 primary key, 2 foreign key
    std::vector<uint8_t> raw;  // 28 bytes when read
    // Set on a foreign-key index made here: the matching index of the other
    // table of the relationship, which is what enforces it.
    struct ForeignKey {
        uint8_t side = 0;  // 1 the referenced ("one") table, 2 the referencing one
        uint32_t otherIndex = 0;  // the other index's number
        uint32_t otherPage = 0;   // the other table's TDEF page
        uint8_t cascadeUpdate = 0, cascadeDelete = 0;  // delete: 1 cascade, 2 set to null
    };
    std::optional<ForeignKey> foreignKey;
};

struct LvMapModel {
    uint16_t column = 0;
    uint32_t ownedMap = 0, freeMap = 0;
};

struct TableModel {
    uint32_t page = 0;
    std::vector<uint32_t> continuation;  // further TDEF pages, in order
    uint32_t rowCount = 0;
    uint32_t autoNumber = 0;
    uint8_t tableType = 0x4E;
    uint16_t maxCols = 0, varCols = 0;
    uint32_t ownedMap = 0, freeMap = 0;
    std::vector<ColumnModel> columns;  // stored order
    std::vector<RealIndexModel> realIndexes;
    std::vector<LogicalIndexModel> logicalIndexes;
    std::vector<LvMapModel> lvMaps;
    std::vector<uint8_t> rawHeader;  // bytes 0..62 when read

    const ColumnModel* column(uint16_t number) const;
    const ColumnModel* columnNamed(const std::string& name) const;  // case-insensitive
    std::vector<const ColumnModel*> byNumber() const;
    // True when a logical index of type primary key uses real index r.
    bool isPrimaryKey(size_t r) const;
    bool isUniqueIndex(size_t r) const { return realIndexes[r].unique() || isPrimaryKey(r); }
};

// LCID of the General sort order (version 0), as new text columns get it.
constexpr uint16_t kGeneralSortOrder = 0x0409;

Result<TableModel> readTableModel(PageStore& store, uint32_t page);
// The column block a new column gets (a column read from a file keeps its own).
std::vector<uint8_t> newColumnBlock(const ColumnModel& c);
std::vector<uint8_t> serializeTableModel(const TableModel& t);
// Writes the definition over its page chain, taking more pages from
// `allocate` when it has grown and returning surplus ones in `freed`.
Status writeTableModel(PageStore& store, TableModel& t, const std::function<Result<uint32_t>()>& allocate,
                     std::vector<uint32_t>& freed);

}  // namespace veltrano::access
