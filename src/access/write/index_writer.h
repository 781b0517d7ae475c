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
#include <memory>
#include <optional>
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

struct PageDraft;

// Builds a tree from leaf entries given in ascending order (unique by row
// pointer), writing pages as it goes: memory holds about one page per level,
// whatever the number of entries. The root goes to `rootPage`; other pages
// come from `reusable` first (in that order), then `allocate`.
class IndexBuilder {
public:
    IndexBuilder(PageStore& store, uint32_t tdefPage, uint32_t rootPage, std::vector<uint32_t> reusable,
                 Allocator allocate);
    ~IndexBuilder();
    IndexBuilder(const IndexBuilder&) = delete;
    IndexBuilder& operator=(const IndexBuilder&) = delete;

    Status add(const std::string& entry);
    // Writes what is left; the builder is spent afterwards.
    Result<BuiltIndex> finish();

private:
    struct Level;
    Status addAt(size_t level, const std::string& entry, const std::string& last, uint64_t& parent);
    Status closePage(size_t level);
    Status settle(size_t level, PageDraft done, bool last);
    Status placeNode(Level& lv, PageDraft done, uint64_t parent, bool lastAtLevel);
    Status write(const PageDraft& d, bool leaf, uint32_t prev, uint32_t next);
    Result<uint32_t> takePage();

    PageStore& store_;
    uint32_t tdefPage_, rootPage_;
    std::vector<uint32_t> reusable_;  // next page to take at the back
    Allocator allocate_;
    std::vector<std::unique_ptr<Level>> levels_;  // leaves first
    uint64_t serials_ = 0;
    BuiltIndex built_;
};

// Writes the tree for `entries` (sorted, unique by row pointer); see IndexBuilder.
Result<BuiltIndex> buildIndex(PageStore& store, uint32_t tdefPage, uint32_t rootPage,
                              const std::vector<std::string>& entries, std::vector<uint32_t> reusable,
                              const Allocator& allocate);

// The leaf entries of a tree in order, one leaf page in memory at a time.
class IndexCursor {
public:
    Status start(PageStore& store, uint32_t rootPage);
    bool valid() const { return at_ < entries_.size(); }
    const std::string& entry() const { return entries_[at_]; }  // REQUIRES: valid()
    Status next();                                             // REQUIRES: valid()
    const PageSet& pagesSeen() const { return pagesSeen_; }

private:
    Status loadLeaf(uint32_t page);
    PageStore* store_ = nullptr;
    uint32_t rootPage_ = 0;
    std::vector<uint8_t> page_;
    std::vector<std::string> entries_;
    size_t at_ = 0;
    size_t visits_ = 0;
    PageSet pagesSeen_;
};

// Every leaf entry of the tree under `rootPage`, in page order, and the
// pages visited.
Result<std::vector<std::string>> readIndexEntries(PageStore& store, uint32_t rootPage, PageSet* pagesSeen = nullptr);

// The highest key of a tree, found along its right edge.
struct IndexBound {
    bool empty = true;   // the tree holds no entries
    bool known = false;  // `highest` is set (an empty leaf on the right edge leaves it unknown)
    std::string highest;
};
Result<IndexBound> highestIndexKey(PageStore& store, uint32_t rootPage);

// True when a leaf entry of the tree has exactly `key` (without its row pointer).
Result<bool> indexHoldsKey(PageStore& store, uint32_t rootPage, const std::string& key);

}  // namespace veltrano::access
