// On-disk constants of the Jet 3 (Access 97) and Jet 4 (Access 2000-2003)
// file formats: page types, column type codes, flag bits and one table of
// offsets per version, chosen when a file is opened.
//
// Layout summary (all integers little-endian unless noted):
//   page 0        header; bytes 0x18.. (126 / 128 bytes) are XOR-masked with
//                 an RC4 keystream (see pager.h)
//   data page     01 01 free(2) owner(4) [Jet4: 4 unknown] rows(2) offsets(2 each)
//                 rows grow down from the page end; offset flags 0x8000 deleted,
//                 0x4000 overflow pointer, 0x1FFF position
//   TDEF page     02 01 (Jet3 "VC" | Jet4 free(2)) next-page(4), then the
//                 definition (see tdef.h); continuation pages add bytes 8..
//   index pages   03 node / 04 leaf (keys big-endian)
//   usage map     05 pages hold the bitmaps of "reference" usage maps
#pragma once

#include <cstdint>
#include <cstddef>

namespace veltrano::access {

enum class JetVersion : uint8_t { Jet3 = 0, Jet4 = 1 };

namespace page_type {
constexpr uint8_t kHeader = 0x00;
constexpr uint8_t kData = 0x01;
constexpr uint8_t kTableDef = 0x02;
constexpr uint8_t kIndexNode = 0x03;
constexpr uint8_t kIndexLeaf = 0x04;
constexpr uint8_t kUsageMap = 0x05;
}  // namespace page_type

// Column type codes as stored in the column block.
enum class ColumnType : uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,   // int16
    Long = 0x04,      // int32
    Currency = 0x05,  // int64 / 10000
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,  // double: days since 1899-12-30
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,   // long value
    Memo = 0x0C,  // long value
    Unknown0D = 0x0D,
    Guid = 0x0F,
    Numeric = 0x10,  // Decimal: sign byte + 128-bit magnitude
    Unknown11 = 0x11,
    Complex = 0x12,  // later formats only
    BigInt = 0x13,
    ExtDateTime = 0x14,
};

const char* columnTypeName(ColumnType t);  // "Long Integer", "Text", ...
inline bool isLongValueType(ColumnType t) { return t == ColumnType::Memo || t == ColumnType::Ole; }

namespace column_flag {
constexpr uint8_t kFixed = 0x01;
constexpr uint8_t kNullable = 0x02;  // "updatable"; set on ordinary columns
constexpr uint8_t kAutoLong = 0x04;
constexpr uint8_t kReplication = 0x10;
constexpr uint8_t kAutoGuid = 0x40;
constexpr uint8_t kHyperlink = 0x80;
}  // namespace column_flag

struct Format;
// The column flags as this engine reads them, from the stored flag byte.
// Jet 4 means what column_flag says. Jet 3 files set bits that Jet 4 later
// gave those meanings on columns that cannot have them (0x40 on plain text
// columns), so there a bit counts only on the type it belongs to: the
// auto-number on Long, the auto-GUID on Replication ID, the hyperlink on Memo.
uint8_t decodeColumnFlags(uint8_t stored, ColumnType type, const Format& format);

namespace index_flag {
constexpr uint8_t kUnique = 0x01;
constexpr uint8_t kIgnoreNulls = 0x02;
constexpr uint8_t kRequired = 0x08;
}  // namespace index_flag

namespace row_flag {
constexpr uint16_t kDeleted = 0x8000;
constexpr uint16_t kOverflow = 0x4000;
constexpr uint16_t kOffsetMask = 0x1FFF;
}  // namespace row_flag

// Catalog (MSysObjects) facts.
namespace catalog_const {
constexpr uint32_t kCatalogTdefPage = 2;
constexpr int16_t kTypeTable = 1;
constexpr int16_t kTypeLinkedOdbc = 4;
constexpr int16_t kTypeQuery = 5;
constexpr int16_t kTypeLinkedJet = 6;
constexpr uint32_t kFlagSystem = 0x80000000u;
constexpr uint32_t kFlagAltSystem = 0x00000002u;
constexpr uint32_t kTablesParentId = 0x0F000001u;
}  // namespace catalog_const

// Offsets that differ between versions. Field comments give the meaning.
struct Format {
    JetVersion version;
    uint32_t pageSize;

    // Header page
    size_t headerMaskLength;   // bytes XOR-masked from 0x18
    size_t passwordOffset;     // 0x42
    size_t passwordLength;     // 20 bytes (Jet3 code page) / 40 bytes (Jet4 UCS-2)
    size_t sortOrderOffset;    // LCID of the database sort order
    int creationDateOffset;    // -1 when absent (Jet3)

    // Data page
    size_t dataRowCount;       // uint16 number of row slots
    size_t dataRowTable;       // first uint16 row offset

    // TDEF header
    size_t tdefRowCount;       // uint32
    size_t tdefAutoNumber;     // uint32 last auto-number handed out
    size_t tdefTableType;      // uint8 0x4E user, 0x53 system
    size_t tdefMaxCols;        // uint16 (counts deleted columns)
    size_t tdefVarCols;        // uint16 var slots (counts deleted)
    size_t tdefColCount;       // uint16 live columns
    size_t tdefLogicalIdxCount;  // uint32
    size_t tdefRealIdxCount;   // uint32
    size_t tdefOwnedMap;       // 4-byte usage-map reference
    size_t tdefFreeMap;        // 4-byte usage-map reference
    size_t tdefVarPart;        // start of the variable part
    size_t realIdxCountBlock;  // per real index row-count block (8 / 12)

    // Column block
    size_t columnBlock;        // 18 / 25
    size_t colType, colNumber, colVarIndex, colRowNumber, colSortOrder;
    int colCodePage;           // -1 on Jet4
    size_t colPrecision, colScale, colFlags;
    int colExtFlags;           // -1 on Jet3
    size_t colFixedOffset, colLength;
    size_t nameLengthSize;     // 1 (Jet3) / 2 (Jet4)

    // Real (physical) index block
    size_t realIdxBlock;       // 39 / 52
    size_t realIdxColumns;     // 10 x {uint16 col, uint8 flags}
    size_t realIdxUsageMap, realIdxRoot, realIdxFlags;

    // Logical index block
    size_t logicalIdxBlock;    // 20 / 28
    size_t logIdxNumber, logIdxRealNumber, logIdxRelType, logIdxRelIndex, logIdxRelTable;
    size_t logIdxCascadeUpdate, logIdxCascadeDelete, logIdxType;

    // Index pages
    size_t idxPrevPage, idxNextPage, idxTailPage, idxPrefixLength, idxBitmap, idxEntriesStart;

    // Limits
    uint32_t maxRowSize;        // 2012 / 4060
    uint32_t maxInlineText;     // text column maximum in bytes (255 / 510)

    static const Format& jet3();
    static const Format& jet4();
    bool isJet3() const { return version == JetVersion::Jet3; }
    bool isJet4() const { return version == JetVersion::Jet4; }
};

inline const Format& Format::jet3() {
    static const Format f{
        JetVersion::Jet3, 2048,
        126, 0x42, 20, 0x3A, -1,
        8, 10,
        12, 16, 20, 21, 23, 25, 27, 31, 35, 39, 43, 8,
        18, 0, 1, 3, 5, 9, 11, 11, 12, 13, -1, 14, 16, 1,
        39, 0, 30, 34, 38,
        20, 0, 4, 8, 9, 13, 17, 18, 19,
        8, 12, 16, 20, 22, 0xF8,
        2012, 255,
    };
    return f;
}

inline const Format& Format::jet4() {
    static const Format f{
        JetVersion::Jet4, 4096,
        128, 0x42, 40, 0x6E, 0x72,
        12, 14,
        16, 20, 40, 41, 43, 45, 47, 51, 55, 59, 63, 12,
        25, 0, 5, 7, 9, 11, -1, 11, 12, 15, 16, 21, 23, 2,
        52, 4, 34, 38, 46,
        28, 4, 8, 12, 13, 17, 21, 22, 23,
        12, 16, 20, 24, 27, 0x1E0,
        4060, 510,
    };
    return f;
}

// Header page constants shared by both versions.
namespace header_const {
constexpr size_t kMaskStart = 0x18;
constexpr size_t kEngineName = 0x04;   // "Standard Jet DB\0"
constexpr size_t kVersion = 0x14;
constexpr size_t kCodePage = 0x3C;
constexpr size_t kDatabaseKey = 0x3E;  // non-zero: pages 1.. are RC4 encrypted
// RC4 key of the header mask: the little-endian bytes of 0x6B39DAC7.
constexpr uint8_t kMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
}  // namespace header_const

}  // namespace veltrano::access
