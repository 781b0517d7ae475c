// Long values (memo and OLE) on LVAL pages.
//
// Owns the LVAL pages it creates: data pages whose owner field reads "LVAL".
// The 12-byte reference in the row: uint32 length with flag 0x80000000
// (data follows inline) or 0x40000000 (one LVAL row), uint32 row/page of
// the (first) LVAL row, uint32 0. A value too big for one row is a chain:
// each row starts with the row/page of the next (0 ends the chain).
#pragma once

#include <string>

#include "access/storage/journal.h"
#include "access/write/usage_map_writer.h"

namespace veltrano::access {

constexpr size_t kMaxInlineLongValue = 64;
constexpr size_t kMaxSingleLvalRow = 4076;
constexpr size_t kLvalChunk = kMaxSingleLvalRow - 4;
constexpr uint32_t kMaxLongValue = 0x3FFFFFFF;

class LongValueWriter {
public:
    LongValueWriter(PageStore& store, Allocator allocate) : store_(store), allocate_(std::move(allocate)) {}

    // The in-row bytes for `data` (reference, plus the data when inline).
    Result<std::string> store(const std::string& data, bool inlineAllowed);
    Status flush();
    const PageSet& pages() const { return pages_; }

private:
    Status startPage();

    PageStore& store_;
    Allocator allocate_;
    std::vector<uint8_t> page_;
    uint32_t pageNumber_ = 0;
    PageSet pages_;
};

}  // namespace veltrano::access
