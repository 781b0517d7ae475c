// B-tree index pages, built in bulk from sorted entries.
//
// Owns index pages (0x03 node, 0x04 leaf) of the indexes it builds. Jet 4
// page layout: 0 type, 1 01, 2 free space, 4 owning TDEF page, 12 previous
// and 16 next page at the same level, 20 child tail page (nodes), 24 shared
// prefix length, 27 entry-end bitmap (bit k set: an entry ends at byte k of
// the entry area), 480 entries. Entries are compared as unsigned bytes:
// leaf entry = key + 3-byte page (big-endian) + row; node entry = the last
// entry of the child's subtree + 4-byte child page (big-endian). The last
// child of a node with two or more children is its tail, not an entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/format/format.h"
#include "access/storage/journal.h"
#include "access/write/usage_map_writer.h"

namespace veltrano::access {

constexpr size_t kIndexEntriesStart = 0x1E0;
constexpr size_t kIndexEntryArea = 3616;

// key + big-endian page + row, ready for sorting.
std::string makeLeafEntry(const std::string& key, uint32_t page, uint8_t row);

struct BuiltIndex {
    PageSet pages;            // every page of the tree (root included)
    std::vector<uint32_t> unused;  // reusable pages that were not needed
};

// Writes the tree for `entries` (sorted, unique by row pointer) with its root
// on `rootPage`. Other pages come from `reusable` first, then `allocate`.
Result<BuiltIndex> buildIndex(PageStore& store, uint32_t tdefPage, uint32_t rootPage,
                              const std::vector<std::string>& entries, std::vector<uint32_t> reusable,
                              const Allocator& allocate);

// Every leaf entry of the tree under `rootPage`, in page order, and the
// pages visited.
Result<std::vector<std::string>> readIndexEntries(PageStore& store, uint32_t rootPage, PageSet* pagesSeen = nullptr);

}  // namespace veltrano::access
