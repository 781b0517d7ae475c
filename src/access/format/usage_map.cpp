// Usage-map decoding; layout in usage_map.h.
#include "access/format/usage_map.h"

#include "access/format/data_page.h"

namespace veltrano::access {

namespace {

void addBits(Bytes bitmap, uint64_t firstPage, uint32_t pageCount, std::vector<uint32_t>& out) {
    for (size_t i = 0; i < bitmap.size(); ++i) {
        uint8_t b = bitmap[i];
        if (b == 0) continue;
        for (int k = 0; k < 8; ++k) {
            if (!(b & (1u << k))) continue;
            uint64_t p = firstPage + i * 8 + static_cast<uint64_t>(k);
            if (p < pageCount) out.push_back(static_cast<uint32_t>(p));
        }
    }
}

}  // namespace

Result<std::vector<uint32_t>> decodeUsageMapRow(Bytes mapRow, uint32_t pageSize, uint32_t pageCount,
                                                const MapPageReader& readMapPage, uint32_t mapPage) {
    ByteReader r(mapRow);
    std::vector<uint32_t> pages;
    if (mapRow.empty()) return Status::corruption("empty usage map", mapPage);
    uint8_t type = r.u8(0);
    if (type == usage_map::kInline) {
        uint32_t start = r.u32(usage_map::kInlineStart);
        if (!r.ok()) return Status::corruption("usage map cut short", mapPage);
        addBits(mapRow.subspan(usage_map::kInlineBitmap), start, pageCount, pages);
        return pages;
    }
    if (type != usage_map::kReference)
        return Status::corruption("unknown usage map type " + std::to_string(type), mapPage);
    const uint64_t perPage = usage_map::pagesPerMapPage(pageSize);
    const size_t pointers = (mapRow.size() - 1) / 4;
    std::vector<uint8_t> bitmapPage;
    for (size_t i = 0; i < pointers; ++i) {
        uint32_t n = r.u32(1 + 4 * i);
        if (n == 0) continue;
        if (i * perPage >= pageCount) break;  // covers pages past the end of the file
        ACCESS_RETURN_IF_ERROR(readMapPage(n, bitmapPage));
        if (bitmapPage.size() <= usage_map::kMapPageBitmap || bitmapPage[0] != page_type::kUsageMap)
            return Status::corruption("usage map points to a page that is not a map page", n);
        addBits(Bytes(bitmapPage).subspan(usage_map::kMapPageBitmap), i * perPage, pageCount, pages);
    }
    return pages;
}

std::vector<uint32_t> referencedMapPages(Bytes mapRow) {
    std::vector<uint32_t> v;
    ByteReader r(mapRow);
    if (mapRow.empty() || r.u8(0) != usage_map::kReference) return v;
    for (size_t i = 0; r.has(1 + 4 * i, 4); ++i)
        if (uint32_t p = r.u32(1 + 4 * i)) v.push_back(p);
    return v;
}

Result<std::vector<uint32_t>> decodeUsageMap(Pager& pager, Bytes mapRow, uint32_t mapPage) {
    auto readMapPage = [&pager](uint32_t n, std::vector<uint8_t>& out) -> Status {
        ACCESS_ASSIGN_OR_RETURN(PageHandle p, pager.page(n));
        out.assign(p->begin(), p->end());
        return Status::ok();
    };
    return decodeUsageMapRow(mapRow, pager.pageSize(), pager.pageCount(), readMapPage, mapPage);
}

Result<std::vector<uint32_t>> readUsageMap(Pager& pager, uint32_t packedRef) {
    PageRow ref = PageRow::fromPacked(packedRef);
    ACCESS_ASSIGN_OR_RETURN(PageHandle p, pager.page(ref.page));
    if ((*p)[0] != page_type::kData) return Status::corruption("usage map is not on a data page", ref.page);
    ACCESS_ASSIGN_OR_RETURN(RowSlot slot, rowSlot(*p, ref.row, pager.format(), ref.page));
    return decodeUsageMap(pager, Bytes(*p).subspan(slot.start, slot.end - slot.start), ref.page);
}

}  // namespace veltrano::access
