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

struct PageDraft {
    std::vector<std::string> entries;  // full entries as stored (node: + child)
    std::string last;                  // last leaf entry of the subtree
    uint32_t tail = 0;                 // node pages: child tail
    uint32_t number = 0;
    int parentGroup = -1;
};

// Greedy packing: how many entries starting at `from` fit one page, given
// that entries after the first lose the prefix shared by first and last.
// `pointerBytes` trailing bytes (row pointer, child) never join the prefix.
size_t packCount(const std::vector<std::string>& e, size_t from, size_t pointerBytes) {
    size_t total = 0, n = 0;
    for (size_t i = from; i < e.size(); ++i) {
        size_t limit = std::min(e[from].size(), e[i].size()) - pointerBytes;
        size_t p = std::min(commonPrefix(e[from], e[i]), limit);
        size_t candidate = total + e[i].size();
        size_t size = candidate - (n) * p;  // n entries after the first lose p bytes each
        if (size > kIndexEntryArea && n > 0) break;
        total = candidate;
        ++n;
    }
    return n;
}

std::vector<uint8_t> renderPage(const PageDraft& d, bool leaf, uint32_t tdefPage, uint32_t prev, uint32_t next,
                                size_t pointerBytes) {
    std::vector<uint8_t> pg(kJet4PageSize, 0);
    pg[0] = leaf ? page_type::kIndexLeaf : page_type::kIndexNode;
    pg[1] = 0x01;
    put::u32(pg, 4, tdefPage);
    put::u32(pg, 12, prev);
    put::u32(pg, 16, next);
    put::u32(pg, 20, d.tail);
    size_t prefix = 0;
    if (d.entries.size() > 1) {
        const std::string& a = d.entries.front();
        const std::string& b = d.entries.back();
        prefix = std::min(commonPrefix(a, b), std::min(a.size(), b.size()) - pointerBytes);
    }
    put::u16(pg, 24, static_cast<uint16_t>(prefix));
    size_t pos = 0;
    for (size_t i = 0; i < d.entries.size(); ++i) {
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

}  // namespace

std::string makeLeafEntry(const std::string& key, uint32_t page, uint8_t row) {
    std::string e = key;
    e.push_back(static_cast<char>((page >> 16) & 0xFF));
    e.push_back(static_cast<char>((page >> 8) & 0xFF));
    e.push_back(static_cast<char>(page & 0xFF));
    e.push_back(static_cast<char>(row));
    return e;
}

Result<BuiltIndex> buildIndex(PageStore& store, uint32_t tdefPage, uint32_t rootPage,
                              const std::vector<std::string>& entries, std::vector<uint32_t> reusable,
                              const Allocator& allocate) {
    BuiltIndex out;
    // Level 0: leaves.
    std::vector<std::vector<PageDraft>> levels(1);
    for (size_t i = 0; i < entries.size();) {
        size_t n = packCount(entries, i, 4);
        PageDraft d;
        d.entries.assign(entries.begin() + static_cast<long>(i), entries.begin() + static_cast<long>(i + n));
        d.last = d.entries.back();
        levels[0].push_back(std::move(d));
        i += n;
    }
    if (levels[0].empty()) levels[0].push_back(PageDraft{});
    // Number pages bottom-up later; first build the shape.
    while (levels.back().size() > 1) {
        if (levels.size() > kMaxDepth) return Status::internal("index too deep");
        auto& children = levels.back();
        // Node entries need child numbers; give every child a provisional slot index.
        std::vector<std::string> nodeEntries;
        for (size_t c = 0; c < children.size(); ++c) nodeEntries.push_back(children[c].last + std::string(4, '\0'));
        std::vector<PageDraft> parents;
        for (size_t i = 0; i < nodeEntries.size();) {
            size_t n = packCount(nodeEntries, i, 8);
            PageDraft d;
            for (size_t k = i; k < i + n; ++k) children[k].parentGroup = static_cast<int>(parents.size());
            d.last = children[i + n - 1].last;
            parents.push_back(std::move(d));
            i += n;
        }
        levels.push_back(std::move(parents));
    }
    // Page numbers: the root keeps rootPage.
    auto take = [&]() -> Result<uint32_t> {
        if (!reusable.empty()) {
            uint32_t p = reusable.front();
            reusable.erase(reusable.begin());
            return p;
        }
        return allocate();
    };
    levels.back()[0].number = rootPage;
    reusable.erase(std::remove(reusable.begin(), reusable.end(), rootPage), reusable.end());
    for (size_t l = 0; l + 1 < levels.size(); ++l)
        for (auto& d : levels[l]) {
            ACCESS_ASSIGN_OR_RETURN(d.number, take());
        }
    // Fill node entries now that children have numbers.
    for (size_t l = 1; l < levels.size(); ++l) {
        auto& children = levels[l - 1];
        for (size_t g = 0; g < levels[l].size(); ++g) {
            PageDraft& parent = levels[l][g];
            std::vector<const PageDraft*> kids;
            for (const auto& c : children)
                if (c.parentGroup == static_cast<int>(g)) kids.push_back(&c);
            size_t listed = kids.size() >= 2 ? kids.size() - 1 : kids.size();
            for (size_t k = 0; k < listed; ++k) {
                std::string e = kids[k]->last;
                uint32_t n = kids[k]->number;
                for (int s = 3; s >= 0; --s) e.push_back(static_cast<char>((n >> (8 * s)) & 0xFF));
                parent.entries.push_back(std::move(e));
            }
            if (kids.size() >= 2) parent.tail = kids.back()->number;
        }
    }
    for (size_t l = 0; l < levels.size(); ++l) {
        auto& lv = levels[l];
        for (size_t i = 0; i < lv.size(); ++i) {
            // Leaves are linked across the level; nodes only among siblings.
            bool linkPrev = i > 0 && (l == 0 || lv[i - 1].parentGroup == lv[i].parentGroup);
            bool linkNext = i + 1 < lv.size() && (l == 0 || lv[i + 1].parentGroup == lv[i].parentGroup);
            auto img = renderPage(lv[i], l == 0, tdefPage, linkPrev ? lv[i - 1].number : 0,
                                  linkNext ? lv[i + 1].number : 0, l == 0 ? 4 : 8);
            ACCESS_RETURN_IF_ERROR(store.write(lv[i].number, img));
            out.pages.insert(lv[i].number);
        }
    }
    out.unused = std::move(reusable);
    return out;
}

Result<std::vector<std::string>> readIndexEntries(PageStore& store, uint32_t rootPage, PageSet* pagesSeen) {
    std::vector<std::string> out;
    std::vector<uint8_t> pg;
    uint32_t page = rootPage;
    // Descend along the first entry (or the tail) to the leftmost leaf.
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) return Status::corruption("index deeper than allowed", rootPage);
        ACCESS_RETURN_IF_ERROR(store.read(page, pg));
        if (pagesSeen) pagesSeen->insert(page);
        if (pg[0] == page_type::kIndexLeaf) break;
        if (pg[0] != page_type::kIndexNode) return Status::corruption("not an index page", page);
        // first entry's child pointer
        size_t end = 0;
        for (size_t k = 1; k <= kIndexEntryArea; ++k)
            if ((pg[27 + k / 8] >> (k % 8)) & 1) {
                end = k;
                break;
            }
        uint32_t child = end >= 4 ? ByteReader(pg).be32(kIndexEntriesStart + end - 4) : ByteReader(pg).u32(20);
        if (child == 0) return Status::corruption("index node without children", page);
        page = child;
    }
    // Walk the leaf level.
    size_t visits = 0;
    while (page != 0) {
        if (++visits > store.pageCount()) return Status::corruption("index leaf chain loops", rootPage);
        if (pagesSeen) pagesSeen->insert(page);
        if (pg[0] != page_type::kIndexLeaf) return Status::corruption("not an index leaf", page);
        ByteReader r(pg);
        size_t prefix = r.u16(24);
        std::string first;
        size_t start = 0;
        for (size_t k = 1; k <= kIndexEntryArea; ++k) {
            if (!((pg[27 + k / 8] >> (k % 8)) & 1)) continue;
            auto s = r.slice(kIndexEntriesStart + start, k - start);
            std::string e(s.begin(), s.end());
            if (first.empty()) {
                first = e;
            } else {
                e = first.substr(0, std::min(prefix, first.size())) + e;
            }
            out.push_back(std::move(e));
            start = k;
        }
        page = r.u32(16);
        if (page != 0) ACCESS_RETURN_IF_ERROR(store.read(page, pg));
    }
    return out;
}

}  // namespace veltrano::access
