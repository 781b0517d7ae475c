// Usage maps: which pages belong to a table, an index or a long-value column.
//
// A map is a row on a data page, referenced by a packed (page << 8 | row).
//   type 0 "inline":    00, u32 start page, bitmap (bit k = page start+k)
//   type 1 "reference": 01, u32 pointers to type-0x05 pages; pointer i covers
//                       pages [i*M, (i+1)*M), M = (page size - 4) * 8, its
//                       bitmap starting at byte 4 of that page
// Bits are LSB first. The global map (page 1, row 0) uses set bits for FREE
// pages; every other map uses set bits for pages in use.
#pragma once

#include <cstdint>
#include <vector>

#include "access/storage/pager.h"
#include "access/base/status.h"

namespace veltrano::access {

// The pages whose bit is set, ascending, limited to pages inside the file.
Result<std::vector<uint32_t>> readUsageMap(Pager& pager, uint32_t packedRef);

// Decodes one map row that has already been read; `mapPage` only names the
// page in errors.
Result<std::vector<uint32_t>> decodeUsageMap(Pager& pager, Bytes mapRow, uint32_t mapPage);

}  // namespace veltrano::access
