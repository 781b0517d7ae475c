#include "access/write/index_writer.h"

#include <algorithm>

namespace veltrano::access {

namespace {

constexpr int kMaxDepth = 16;

size_t commonPrefix(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size()), i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

}  // namespace

// Greedy packing as entries arrive: an entry joins the page unless the
// page would overflow, given that entries after the first lose the prefix
// they share with the first. `pointerBytes` trailing bytes (row pointer,
// child) never join the prefix.
struct PageDraft {
    std::vector<std::string> entries;  // leaves: entries; nodes: one per child (its last entry + child page)
    size_t bytes = 0;                  // sum of the entries' sizes
    std::string last;                  // last leaf entry of the subtree
    uint32_t number = 0;
    bool numbered = false;
    uint64_t serial = 0;  // tells node pages apart when linking siblings

    bool fits(const std::string& e, size_t pointerBytes) const {
        if (entries.empty()) return true;
        const std::string& first = entries.front();
        size_t p = std::min(commonPrefix(first, e), std::min(first.size(), e.size()) - pointerBytes);
        return bytes + e.size() - entries.size() * p <= kIndexEntryArea;
    }
};

namespace {

uint32_t be32At(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<uint8_t>(s[at + k]);
    return v;
}

void putBe32(std::string& s, uint32_t v) {
    for (int k = 3; k >= 0; --k) s.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

// A node lists every child but the last, which is its tail.
std::vector<uint8_t> renderPage(const PageDraft& d, bool leaf, uint32_t tdefPage, uint32_t prev, uint32_t next) {
    const size_t pointerBytes = leaf ? 4 : 8;
    const size_t listed = !leaf && d.entries.size() >= 2 ? d.entries.size() - 1 : d.entries.size();
    std::vector<uint8_t> pg(kJet4PageSize, 0);
    pg[0] = leaf ? page_type::kIndexLeaf : page_type::kIndexNode;
    pg[1] = 0x01;
    put::u32(pg, 4, tdefPage);
    put::u32(pg, 12, prev);
    put::u32(pg, 16, next);
    if (listed < d.entries.size()) put::u32(pg, 20, be32At(d.entries.back(), d.entries.back().size() - 4));
    size_t prefix = 0;
    if (listed > 1) {
        const std::string& a = d.entries.front();
        const std::string& b = d.entries[listed - 1];
        prefix = std::min(commonPrefix(a, b), std::min(a.size(), b.size()) - pointerBytes);
    }
    put::u16(pg, 24, static_cast<uint16_t>(prefix));
    size_t pos = 0;
    for (size_t i = 0; i < listed; ++i) {
        const std::string& e = d.entries[i];
        size_t skip = i == 0 ? 0 : prefix;
        std::copy(e.begin() + static_cast<long>(skip), e.end(), pg.begin() + static_cast<long>(kIndexEntriesStart + pos));
        pos += e.size() - skip;
        size_t endBit = pos;  // entry ends at byte pos of the area
        pg[27 + endBit / 8] |= static_cast<uint8_t>(1u << (endBit % 8));
    }
    put::u16(pg, 2, static_cast<uint16_t>(kIndexEntryArea - pos));
    return pg;
}

// The entries of one index page, the shared prefix put back.
std::vector<std::string> pageEntries(const std::vector<uint8_t>& pg) {
    std::vector<std::string> out;
    ByteReader r(pg);
    size_t prefix = r.u16(24);
    size_t start = 0;
    for (size_t k = 1; k <= kIndexEntryArea; ++k) {
        if (!((pg[27 + k / 8] >> (k % 8)) & 1)) continue;
        auto s = r.slice(kIndexEntriesStart + start, k - start);
        std::string e(s.begin(), s.end());
        if (!out.empty()) e = out.front().substr(0, std::min(prefix, out.front().size())) + e;
        out.push_back(std::move(e));
        start = k;
    }
    return out;
}

}  // namespace

// One level of the tree being built: the page being filled and, on node
// levels, the page before it, written once it is known whether the two
// share a parent (only such siblings are linked).
struct IndexBuilder::Level {
    PageDraft open;
    int pagesClosed = 0;
    uint32_t prevLeaf = 0;
    std::optional<PageDraft> held;
    uint64_t heldParent = 0;
    uint32_t heldPrev = 0;
};

IndexBuilder::IndexBuilder(PageStore& store, uint32_t tdefPage, uint32_t rootPage, std::vector<uint32_t> reusable,
                           Allocator allocate)
    : store_(store), tdefPage_(tdefPage), rootPage_(rootPage), reusable_(std::move(reusable)),
      allocate_(std::move(allocate)) {
    reusable_.erase(std::remove(reusable_.begin(), reusable_.end(), rootPage_), reusable_.end());
    std::reverse(reusable_.begin(), reusable_.end());  // taken from the back, in the order given
}

IndexBuilder::~IndexBuilder() = default;

Result<uint32_t> IndexBuilder::takePage() {
    if (!reusable_.empty()) {
        uint32_t p = reusable_.back();
        reusable_.pop_back();
        return p;
    }
    return allocate_();
}

Status IndexBuilder::write(const PageDraft& d, bool leaf, uint32_t prev, uint32_t next) {
    ACCESS_RETURN_IF_ERROR(store_.write(d.number, renderPage(d, leaf, tdefPage_, prev, next)));
    built_.pages.insert(d.number);
    return Status::ok();
}

Status IndexBuilder::add(const std::string& entry) {
    uint64_t parent = 0;
    return addAt(0, entry, entry, parent);
}

Status IndexBuilder::addAt(size_t level, const std::string& entry, const std::string& last, uint64_t& parent) {
    if (level >= levels_.size()) {
        if (levels_.size() >= kMaxDepth) return Status::internal("index too deep");
        levels_.push_back(std::make_unique<Level>());
        levels_.back()->open.serial = ++serials_;
    }
    Level& lv = *levels_[level];
    if (!lv.open.fits(entry, level == 0 ? 4 : 8)) ACCESS_RETURN_IF_ERROR(closePage(level));
    lv.open.entries.push_back(entry);
    lv.open.bytes += entry.size();
    lv.open.last = last;
    parent = lv.open.serial;
    return Status::ok();
}

// The open page of `level` is full: it goes to its parent and a new page
// (never the root) starts.
Status IndexBuilder::closePage(size_t level) {
    Level& lv = *levels_[level];
    PageDraft done = std::move(lv.open);
    lv.open = PageDraft{};
    lv.open.serial = ++serials_;
    if (!done.numbered) {
        ACCESS_ASSIGN_OR_RETURN(done.number, takePage());
    }
    ACCESS_ASSIGN_OR_RETURN(lv.open.number, takePage());
    lv.open.numbered = true;
    ++lv.pagesClosed;
    return settle(level, std::move(done), false);
}

// Sends a finished page to its parent and writes it, or holds it until its
// next sibling is placed. `last`: no page follows at this level.
Status IndexBuilder::settle(size_t level, PageDraft done, bool last) {
    std::string up = done.last;
    putBe32(up, done.number);
    uint64_t parent = 0;
    ACCESS_RETURN_IF_ERROR(addAt(level + 1, up, done.last, parent));
    Level& lv = *levels_[level];
    if (level == 0) {
        ACCESS_RETURN_IF_ERROR(write(done, true, lv.prevLeaf, last ? 0 : lv.open.number));
        lv.prevLeaf = done.number;
        return Status::ok();
    }
    return placeNode(lv, std::move(done), parent, last);
}

Status IndexBuilder::placeNode(Level& lv, PageDraft done, uint64_t parent, bool lastAtLevel) {
    uint32_t prev = 0;
    if (lv.held) {
        bool siblings = lv.heldParent == parent;
        ACCESS_RETURN_IF_ERROR(write(*lv.held, false, lv.heldPrev, siblings ? done.number : 0));
        prev = siblings ? lv.held->number : 0;
    }
    if (lastAtLevel) {
        lv.held.reset();
        return write(done, false, prev, 0);
    }
    lv.heldPrev = prev;
    lv.held = std::move(done);
    lv.heldParent = parent;
    return Status::ok();
}

std::string makeLeafEntry(const std::string& key, uint32_t page, uint8_t row) {
    std::string e = key;
    e.push_back(static_cast<char>((page >> 16) & 0xFF));
    e.push_back(static_cast<char>((page >> 8) & 0xFF));
    e.push_back(static_cast<char>(page & 0xFF));
    e.push_back(static_cast<char>(row));
    return e;
}

Result<BuiltIndex> IndexBuilder::finish() {
    if (levels_.empty()) {  // no entries: the root is an empty leaf
        PageDraft root;
        root.number = rootPage_;
        ACCESS_RETURN_IF_ERROR(write(root, true, 0, 0));
    }
    // Bottom-up; a level whose only page was never closed is the top.
    for (size_t level = 0; level < levels_.size(); ++level) {
        Level& lv = *levels_[level];
        PageDraft done = std::move(lv.open);
        lv.open = PageDraft{};
        if (lv.pagesClosed == 0) {
            done.number = rootPage_;
            ACCESS_RETURN_IF_ERROR(write(done, level == 0, 0, 0));
            break;
        }
        ACCESS_RETURN_IF_ERROR(settle(level, std::move(done), true));
    }
    built_.unused.assign(reusable_.rbegin(), reusable_.rend());
    return std::move(built_);
}

Result<BuiltIndex> buildIndex(PageStore& store, uint32_t tdefPage, uint32_t rootPage,
                              const std::vector<std::string>& entries, std::vector<uint32_t> reusable,
                              const Allocator& allocate) {
    IndexBuilder builder(store, tdefPage, rootPage, std::move(reusable), allocate);
    for (const auto& e : entries) ACCESS_RETURN_IF_ERROR(builder.add(e));
    return builder.finish();
}

Status IndexCursor::start(PageStore& store, uint32_t rootPage) {
    store_ = &store;
    rootPage_ = rootPage;
    entries_.clear();
    at_ = 0;
    visits_ = 0;
    uint32_t page = rootPage;
    // Descend along the first entry (or the tail) to the leftmost leaf.
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) return Status::corruption("index deeper than allowed", rootPage);
        ACCESS_RETURN_IF_ERROR(store.read(page, page_));
        pagesSeen_.insert(page);
        if (page_[0] == page_type::kIndexLeaf) break;
        if (page_[0] != page_type::kIndexNode) return Status::corruption("not an index page", page);
        size_t end = 0;
        for (size_t k = 1; k <= kIndexEntryArea; ++k)
            if ((page_[27 + k / 8] >> (k % 8)) & 1) {
                end = k;
                break;
            }
        uint32_t child = end >= 4 ? ByteReader(page_).be32(kIndexEntriesStart + end - 4) : ByteReader(page_).u32(20);
        if (child == 0) return Status::corruption("index node without children", page);
        page = child;
    }
    return loadLeaf(page);
}

// Takes the entries of the leaf in page_ (number `page`), skipping empty
// leaves along the chain.
Status IndexCursor::loadLeaf(uint32_t page) {
    for (;;) {
        if (++visits_ > store_->pageCount()) return Status::corruption("index leaf chain loops", rootPage_);
        if (page_[0] != page_type::kIndexLeaf) return Status::corruption("not an index leaf", page);
        pagesSeen_.insert(page);
        entries_ = pageEntries(page_);
        at_ = 0;
        uint32_t next = ByteReader(page_).u32(16);
        if (!entries_.empty() || next == 0) return Status::ok();
        page = next;
        ACCESS_RETURN_IF_ERROR(store_->read(page, page_));
    }
}

Status IndexCursor::next() {
    if (++at_ < entries_.size()) return Status::ok();
    uint32_t nextPage = ByteReader(page_).u32(16);
    entries_.clear();
    at_ = 0;
    if (nextPage == 0) return Status::ok();
    ACCESS_RETURN_IF_ERROR(store_->read(nextPage, page_));
    return loadLeaf(nextPage);
}

Result<std::vector<std::string>> readIndexEntries(PageStore& store, uint32_t rootPage, PageSet* pagesSeen) {
    std::vector<std::string> out;
    IndexCursor cursor;
    ACCESS_RETURN_IF_ERROR(cursor.start(store, rootPage));
    while (cursor.valid()) {
        out.push_back(cursor.entry());
        ACCESS_RETURN_IF_ERROR(cursor.next());
    }
    if (pagesSeen) pagesSeen->insert(cursor.pagesSeen().begin(), cursor.pagesSeen().end());
    return out;
}

namespace {

// The key part of a leaf entry, or of a node entry's subtree-last entry.
std::string_view keyPart(const std::string& entry, size_t pointerBytes) {
    return std::string_view(entry).substr(0, entry.size() - std::min(entry.size(), pointerBytes));
}

}  // namespace

Result<IndexBound> highestIndexKey(PageStore& store, uint32_t rootPage) {
    IndexBound bound;
    std::vector<uint8_t> pg;
    uint32_t page = rootPage;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) return Status::corruption("index deeper than allowed", rootPage);
        ACCESS_RETURN_IF_ERROR(store.read(page, pg));
        std::vector<std::string> entries = pageEntries(pg);
        if (pg[0] == page_type::kIndexLeaf) {
            if (!entries.empty()) {
                bound.known = true;
                bound.highest = std::string(keyPart(entries.back(), 4));
            }
            bound.empty = entries.empty() && depth == 0;
            return bound;
        }
        if (pg[0] != page_type::kIndexNode) return Status::corruption("not an index page", page);
        uint32_t tail = ByteReader(pg).u32(20);
        if (tail == 0 && (entries.empty() || entries.back().size() < 8))
            return Status::corruption("index node without children", page);
        page = tail != 0 ? tail : be32At(entries.back(), entries.back().size() - 4);
    }
}

Result<bool> indexHoldsKey(PageStore& store, uint32_t rootPage, const std::string& key) {
    std::vector<uint8_t> pg;
    uint32_t page = rootPage;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) return Status::corruption("index deeper than allowed", rootPage);
        ACCESS_RETURN_IF_ERROR(store.read(page, pg));
        if (pg[0] == page_type::kIndexLeaf) break;
        if (pg[0] != page_type::kIndexNode) return Status::corruption("not an index page", page);
        // The first child whose last entry is not below the key holds the
        // first entry that could carry it; past every entry, the tail.
        uint32_t child = ByteReader(pg).u32(20);
        for (const auto& e : pageEntries(pg))
            if (e.size() >= 8 && keyPart(e, 8) >= std::string_view(key)) {
                child = be32At(e, e.size() - 4);
                break;
            }
        if (child == 0) return false;
        page = child;
    }
    // Entries that begin with the key are adjacent; one of them may be the key itself.
    for (size_t visits = 0; visits <= store.pageCount(); ++visits) {
        for (const auto& e : pageEntries(pg)) {
            std::string_view k = keyPart(e, 4);
            if (k < std::string_view(key)) continue;
            if (k == key) return true;
            if (k.substr(0, key.size()) != key) return false;
        }
        uint32_t next = ByteReader(pg).u32(16);
        if (next == 0) return false;
        ACCESS_RETURN_IF_ERROR(store.read(next, pg));
        if (pg[0] != page_type::kIndexLeaf) return Status::corruption("not an index leaf", next);
    }
    return Status::corruption("index leaf chain loops", rootPage);
}

}  // namespace veltrano::access
