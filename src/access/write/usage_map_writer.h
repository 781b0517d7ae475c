// Usage maps as the writer sees them: a set of page numbers stored in one
// row of a data page (69 bytes for Jet 4 table, index and column maps);
// layout in format/usage_map.h, which also decodes them. The writer keeps
// the row's length, writes inline when the pages fit the window and
// switches to a reference map otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "access/format/format.h"
#include "access/format/usage_map.h"
#include "access/storage/journal.h"
#include "access/base/status.h"

namespace veltrano::access {

using PageSet = std::set<uint32_t>;
using Allocator = std::function<Result<uint32_t>()>;

constexpr size_t kUsageMapRowLength = 69;

// Decodes a map row's bytes (reference maps read their 0x05 pages); only
// pages inside the file count.
Result<PageSet> decodeMapRow(PageStore& store, Bytes row);
// Encodes `pages` into a row of row.size() bytes, reusing and adding 0x05 pages.
Status encodeMapRow(PageStore& store, std::vector<uint8_t>& row, const PageSet& pages, const Allocator& allocate,
                      bool bitsMeanFree = false, uint32_t coverUpTo = 0);

// Reads / rewrites the map row named by a packed row/page reference.
Result<PageSet> readMapPages(PageStore& store, uint32_t ref);
Status writeMapPages(PageStore& store, uint32_t ref, const PageSet& pages, const Allocator& allocate);

}  // namespace veltrano::access
