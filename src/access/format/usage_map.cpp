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

Result<std::vector<uint32_t>> decodeUsageMap(Pager& pager, Bytes mapRow, uint32_t mapPage) {
    ByteReader r(mapRow);
    std::vector<uint32_t> pages;
    if (mapRow.empty()) return Status::corruption("empty usage map", mapPage);
    uint8_t type = r.u8(0);
    if (type == 0) {
        uint32_t start = r.u32(1);
        if (!r.ok()) return Status::corruption("usage map cut short", mapPage);
        addBits(mapRow.subspan(5), start, pager.pageCount(), pages);
        return pages;
    }
    if (type != 1) return Status::corruption("unknown usage map type " + std::to_string(type), mapPage);
    const uint64_t perPage = static_cast<uint64_t>(pager.pageSize() - 4) * 8;
    size_t pointers = (mapRow.size() - 1) / 4;
    for (size_t i = 0; i < pointers; ++i) {
        uint32_t bitmapPage = r.u32(1 + 4 * i);
        if (bitmapPage == 0) continue;
        if (i * perPage >= pager.pageCount()) break;  // covers pages past the end of the file
        ACCESS_ASSIGN_OR_RETURN(PageHandle p, pager.page(bitmapPage));
        if ((*p)[0] != page_type::kUsageMap)
            return Status::corruption("usage map points to a page that is not a map page", bitmapPage);
        addBits(Bytes(*p).subspan(4), i * perPage, pager.pageCount(), pages);
    }
    return pages;
}

Result<std::vector<uint32_t>> readUsageMap(Pager& pager, uint32_t packedRef) {
    PageRow ref = PageRow::fromPacked(packedRef);
    ACCESS_ASSIGN_OR_RETURN(PageHandle p, pager.page(ref.page));
    if ((*p)[0] != page_type::kData) return Status::corruption("usage map is not on a data page", ref.page);
    ACCESS_ASSIGN_OR_RETURN(RowSlot slot, rowSlot(*p, ref.row, pager.format(), ref.page));
    return decodeUsageMap(pager, Bytes(*p).subspan(slot.start, slot.end - slot.start), ref.page);
}

}  // namespace veltrano::access
