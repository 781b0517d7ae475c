// Usage maps as the writer sees them: a set of page numbers stored in one
// row of a data page (69 bytes for Jet 4 table, index and column maps).
//   type 0 (inline):    00, uint32 start page, bitmap (bit k = page start+k)
//   type 1 (reference): 01, uint32 pointers to 0x05 pages; pointer i covers
//                       pages [i*32736, (i+1)*32736); a 0x05 page is
//                       05 01 00 00 followed by its bitmap.
// The writer keeps the row's length, writes inline when the pages fit the
// window and switches to a reference map otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "access/format/format.h"
#include "access/storage/journal.h"
#include "access/base/status.h"

namespace veltrano::access {

using PageSet = std::set<uint32_t>;
using Allocator = std::function<Result<uint32_t>()>;

constexpr size_t kUsageMapRowLength = 69;
constexpr uint32_t kPagesPerMapPage = (kJet4PageSize - 4) * 8;

// Decodes a map row's bytes (reference maps read their 0x05 pages).
Result<PageSet> decodeMapRow(PageStore& store, Bytes row);
// Pages referenced by a reference map row (its 0x05 pages); empty for inline.
std::vector<uint32_t> usageMapPages(Bytes row);
// Encodes `pages` into a row of row.size() bytes, reusing and adding 0x05 pages.
Status encodeMapRow(PageStore& store, std::vector<uint8_t>& row, const PageSet& pages, const Allocator& allocate,
                      bool bitsMeanFree = false, uint32_t coverUpTo = 0);

// Reads / rewrites the map row named by a packed row/page reference.
Result<PageSet> readMapPages(PageStore& store, uint32_t ref);
Status writeMapPages(PageStore& store, uint32_t ref, const PageSet& pages, const Allocator& allocate);

}  // namespace veltrano::access
