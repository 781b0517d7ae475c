// Usage maps: which pages belong to a table, an index or a long-value column.
//
// A map is a row on a data page, referenced by a packed (page << 8 | row).
//   type 0 "inline":    00, u32 start page, bitmap (bit k = page start+k)
//   type 1 "reference": 01, u32 pointers to type-0x05 pages; pointer i covers
//                       pages [i*M, (i+1)*M), M = (page size - 4) * 8, its
//                       bitmap starting at byte 4 of that page
// Bits are LSB first. The global map (page 1, row 0) uses set bits for FREE
// pages; every other map uses set bits for pages in use. Read here for both
// the reader and the writer; the writer's encoder is usage_map_writer.h.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "access/storage/pager.h"
#include "access/base/status.h"

namespace veltrano::access {

namespace usage_map {
constexpr uint8_t kInline = 0x00;
constexpr uint8_t kReference = 0x01;
constexpr size_t kInlineStart = 1;    // uint32 page of the bitmap's first bit
constexpr size_t kInlineBitmap = 5;
constexpr size_t kMapPageBitmap = 4;  // a 0x05 page: 05 01 00 00, then its bitmap
constexpr uint32_t pagesPerMapPage(uint32_t pageSize) { return (pageSize - kMapPageBitmap) * 8; }
}  // namespace usage_map

// Reads page `n` (a reference map's 0x05 page) into `out`.
using MapPageReader = std::function<Status(uint32_t n, std::vector<uint8_t>& out)>;

// The pages a map row marks, ascending. Only pages below `pageCount` count:
// bits beyond the end of the file (or beyond the last page number a
// corrupt start would wrap to) mark nothing. `mapPage` names the page in
// errors.
Result<std::vector<uint32_t>> decodeUsageMapRow(Bytes mapRow, uint32_t pageSize, uint32_t pageCount,
                                                const MapPageReader& readMapPage, uint32_t mapPage);
// The 0x05 pages a reference map row points to (none for an inline map).
std::vector<uint32_t> referencedMapPages(Bytes mapRow);

// The pages whose bit is set, ascending, limited to pages inside the file.
Result<std::vector<uint32_t>> readUsageMap(Pager& pager, uint32_t packedRef);

// Decodes one map row that has already been read; `mapPage` only names the
// page in errors.
Result<std::vector<uint32_t>> decodeUsageMap(Pager& pager, Bytes mapRow, uint32_t mapPage);

}  // namespace veltrano::access
