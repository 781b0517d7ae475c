#include "access/write/usage_map_writer.h"

#include <algorithm>

#include "access/format/data_page.h"

namespace veltrano::access {

namespace {

const uint32_t kPagesPerMapPage = usage_map::pagesPerMapPage(Format::jet4().pageSize);

void setBit(uint8_t* bitmap, uint32_t k) { bitmap[k / 8] |= static_cast<uint8_t>(1u << (k % 8)); }

}  // namespace

Result<PageSet> decodeMapRow(PageStore& store, Bytes row) {
    if (row.empty()) return PageSet();
    auto readMapPage = [&store](uint32_t n, std::vector<uint8_t>& out) { return store.read(n, out); };
    ACCESS_ASSIGN_OR_RETURN(auto pages, decodeUsageMapRow(row, Format::jet4().pageSize, store.pageCount(), readMapPage, 0));
    return PageSet(pages.begin(), pages.end());
}

Status encodeMapRow(PageStore& store, std::vector<uint8_t>& row, const PageSet& pages, const Allocator& allocate,
                      bool bitsMeanFree, uint32_t coverUpTo) {
    const size_t bitmapBytes = row.size() - usage_map::kInlineBitmap;
    const uint32_t capacity = static_cast<uint32_t>(bitmapBytes * 8);
    uint32_t lo = pages.empty() ? 0 : *pages.begin();
    uint32_t hi = pages.empty() ? 0 : *pages.rbegin();
    uint32_t start = bitsMeanFree ? 0 : (lo / 8) * 8;
    bool fitsInline = pages.empty() || hi - start < capacity;
    if (bitsMeanFree) fitsInline = coverUpTo <= capacity;
    if (fitsInline) {
        std::fill(row.begin(), row.end(), 0);
        put::u32(row, usage_map::kInlineStart, start);
        for (uint32_t p : pages)
            if (p >= start && p - start < capacity) setBit(row.data() + usage_map::kInlineBitmap, p - start);
        if (bitsMeanFree)
            for (uint32_t p = coverUpTo; p < capacity; ++p) setBit(row.data() + usage_map::kInlineBitmap, p);
        // 0x05 pages of a former reference map are left to the caller's free list.
        return Status::ok();
    }
    const size_t slots = (row.size() - 1) / 4;
    std::vector<uint32_t> refs(slots, 0);
    ByteReader r(row);
    if (r.u8(0) == 1)
        for (size_t i = 0; i < slots; ++i) refs[i] = r.u32(1 + 4 * i);
    if (!pages.empty() && hi / kPagesPerMapPage >= slots) return Status::internal("usage map too small");
    std::vector<std::vector<uint8_t>> images(slots);
    uint32_t top = std::max(hi + 1, coverUpTo);
    for (size_t i = 0; i < slots; ++i) {
        uint32_t base = static_cast<uint32_t>(i * kPagesPerMapPage);
        bool needed = base < top && (bitsMeanFree || pages.lower_bound(base) != pages.lower_bound(base + kPagesPerMapPage));
        if (!needed && refs[i] == 0) continue;
        if (refs[i] == 0) {
            ACCESS_ASSIGN_OR_RETURN(refs[i], allocate());
        }
        images[i].assign(Format::jet4().pageSize, 0);
        images[i][0] = page_type::kUsageMap;
        images[i][1] = 0x01;
    }
    for (uint32_t p : pages) {
        size_t i = p / kPagesPerMapPage;
        uint32_t k = p % kPagesPerMapPage;
        setBit(images[i].data() + usage_map::kMapPageBitmap, k);
    }
    for (size_t i = 0; i < slots; ++i) {
        if (images[i].empty()) continue;
        if (bitsMeanFree) {
            uint32_t base = static_cast<uint32_t>(i * kPagesPerMapPage);
            for (uint32_t k = 0; k < kPagesPerMapPage; ++k)
                if (base + k >= coverUpTo) setBit(images[i].data() + usage_map::kMapPageBitmap, k);
        }
        ACCESS_RETURN_IF_ERROR(store.write(refs[i], images[i]));
    }
    std::fill(row.begin(), row.end(), 0);
    row[0] = usage_map::kReference;
    for (size_t i = 0; i < slots; ++i) put::u32(row, 1 + 4 * i, refs[i]);
    return Status::ok();
}

Result<PageSet> readMapPages(PageStore& store, uint32_t ref) {
    std::vector<uint8_t> pg;
    ACCESS_RETURN_IF_ERROR(store.read(ref >> 8, pg));
    bool del = false;
    Bytes row = rowOnPage(pg, static_cast<int>(ref & 0xFF), &del, nullptr);
    if (row.empty()) return Status::corruption("missing usage map row", ref >> 8);
    return decodeMapRow(store, row);
}

Status writeMapPages(PageStore& store, uint32_t ref, const PageSet& pages, const Allocator& allocate) {
    std::vector<uint8_t> pg;
    ACCESS_RETURN_IF_ERROR(store.read(ref >> 8, pg));
    bool del = false;
    Bytes row = rowOnPage(pg, static_cast<int>(ref & 0xFF), &del, nullptr);
    if (row.size() < 5) return Status::corruption("missing usage map row", ref >> 8);
    size_t offset = static_cast<size_t>(row.data() - pg.data());
    std::vector<uint8_t> image(row.begin(), row.end());
    ACCESS_RETURN_IF_ERROR(encodeMapRow(store, image, pages, allocate));
    // The allocator may have written other pages; re-read before patching.
    ACCESS_RETURN_IF_ERROR(store.read(ref >> 8, pg));
    std::copy(image.begin(), image.end(), pg.begin() + static_cast<long>(offset));
    return store.write(ref >> 8, pg);
}

}  // namespace veltrano::access
