// Memo and OLE values ("long values").
//
// In the row: a 12-byte definition, then inline data when flagged:
//   u32  low 30 bits = total length; 0x80000000 = data inline after the 12
//        bytes; 0x40000000 = data is one whole row elsewhere; neither = chain
//   u32  packed (page << 8 | row) of the (first) row holding the data
//   u32  unused
// Chain rows ("LVAL" data pages): u32 packed pointer to the next row (0 =
// end), then a chunk of data; chunks are concatenated up to the length.
// Written by the writer's long-value code.
#pragma once

#include <string>

#include "access/base/coding.h"
#include "access/storage/pager.h"
#include "access/base/status.h"

namespace veltrano::access {

constexpr uint32_t kLongValueInline = 0x80000000u;
constexpr uint32_t kLongValueSingleRow = 0x40000000u;
constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFFu;

// The stored bytes of a long value (text still in its stored encoding).
Result<std::string> readLongValue(Pager& pager, Bytes inRow);

}  // namespace veltrano::access
