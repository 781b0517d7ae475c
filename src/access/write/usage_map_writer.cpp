#include "access/write/usage_map_writer.h"

#include "access/write/row_writer.h"

namespace veltrano::access {

Result<PageSet> decodeMapRow(PageStore& store, Bytes row) {
    ByteReader r(row);
    PageSet pages;
    if (row.empty()) return pages;
    if (r.u8(0) == 0) {
        uint32_t start = r.u32(1);
        for (size_t i = 5; i < row.size(); ++i)
            for (int b = 0; b < 8; ++b)
                if ((row[i] >> b) & 1) pages.insert(start + static_cast<uint32_t>((i - 5) * 8 + b));
        return pages;
    }
    if (r.u8(0) != 1) return Status::corruption("unknown usage map type");
    std::vector<uint8_t> pg;
    for (size_t i = 0; 1 + 4 * i + 4 <= row.size(); ++i) {
        uint32_t p = r.u32(1 + 4 * i);
        if (p == 0) continue;
        ACCESS_RETURN_IF_ERROR(store.read(p, pg));
        if (pg[0] != page_type::kUsageMap) return Status::corruption("usage map points at a wrong page", p);
        for (size_t k = 4; k < pg.size(); ++k)
            for (int b = 0; b < 8; ++b)
                if ((pg[k] >> b) & 1) pages.insert(static_cast<uint32_t>(i * kPagesPerMapPage + (k - 4) * 8 + b));
    }
    return pages;
}

std::vector<uint32_t> usageMapPages(Bytes row) {
    std::vector<uint32_t> v;
    ByteReader r(row);
    if (row.empty() || r.u8(0) != 1) return v;
    for (size_t i = 0; 1 + 4 * i + 4 <= row.size(); ++i)
        if (uint32_t p = r.u32(1 + 4 * i)) v.push_back(p);
    return v;
}

Status encodeMapRow(PageStore& store, std::vector<uint8_t>& row, const PageSet& pages, const Allocator& allocate,
                      bool bitsMeanFree, uint32_t coverUpTo) {
    const size_t bitmapBytes = row.size() - 5;
    const uint32_t capacity = static_cast<uint32_t>(bitmapBytes * 8);
    uint32_t lo = pages.empty() ? 0 : *pages.begin();
    uint32_t hi = pages.empty() ? 0 : *pages.rbegin();
    uint32_t start = bitsMeanFree ? 0 : (lo / 8) * 8;
    bool fitsInline = pages.empty() || hi - start < capacity;
    if (bitsMeanFree) fitsInline = coverUpTo <= capacity;
    std::vector<uint32_t> oldRefs = usageMapPages(row);
    if (fitsInline) {
        std::fill(row.begin(), row.end(), 0);
        put::u32(row, 1, start);
        for (uint32_t p : pages)
            if (p >= start && p - start < capacity) row[5 + (p - start) / 8] |= static_cast<uint8_t>(1u << ((p - start) % 8));
        if (bitsMeanFree)
            for (uint32_t p = coverUpTo; p < capacity; ++p) row[5 + p / 8] |= static_cast<uint8_t>(1u << (p % 8));
        // 0x05 pages of a former reference map are left to the caller's free list.
        return Status::ok();
    }
    const size_t slots = (row.size() - 1) / 4;
    std::vector<uint32_t> refs(slots, 0);
    ByteReader r(row);
    if (r.u8(0) == 1)
        for (size_t i = 0; i < slots; ++i) refs[i] = r.u32(1 + 4 * i);
    std::vector<std::vector<uint8_t>> images(slots);
    uint32_t top = std::max(hi + 1, coverUpTo);
    for (size_t i = 0; i < slots; ++i) {
        uint32_t base = static_cast<uint32_t>(i * kPagesPerMapPage);
        bool needed = base < top && (bitsMeanFree || pages.lower_bound(base) != pages.lower_bound(base + kPagesPerMapPage));
        if (!needed && refs[i] == 0) continue;
        if (refs[i] == 0) {
            ACCESS_ASSIGN_OR_RETURN(refs[i], allocate());
        }
        images[i].assign(kJet4PageSize, 0);
        images[i][0] = page_type::kUsageMap;
        images[i][1] = 0x01;
    }
    if (pages.empty() == false && hi >= slots * kPagesPerMapPage) return Status::internal("usage map too small");
    for (uint32_t p : pages) {
        size_t i = p / kPagesPerMapPage;
        uint32_t k = p % kPagesPerMapPage;
        images[i][4 + k / 8] |= static_cast<uint8_t>(1u << (k % 8));
    }
    for (size_t i = 0; i < slots; ++i) {
        if (images[i].empty()) continue;
        if (bitsMeanFree) {
            uint32_t base = static_cast<uint32_t>(i * kPagesPerMapPage);
            for (uint32_t k = 0; k < kPagesPerMapPage; ++k)
                if (base + k >= coverUpTo) images[i][4 + k / 8] |= static_cast<uint8_t>(1u << (k % 8));
        }
        ACCESS_RETURN_IF_ERROR(store.write(refs[i], images[i]));
    }
    std::fill(row.begin(), row.end(), 0);
    row[0] = 1;
    for (size_t i = 0; i < slots; ++i) put::u32(row, 1 + 4 * i, refs[i]);
    (void)oldRefs;
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
