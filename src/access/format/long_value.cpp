// Long-value reading; layout in long_value.h.
#include "access/format/long_value.h"

#include <unordered_set>

#include "access/format/data_page.h"

namespace veltrano::access {

namespace {

Result<Bytes> lvalRow(Pager& pager, PageRow at, PageHandle& holder) {
    ACCESS_ASSIGN_OR_RETURN(holder, pager.page(at.page));
    if ((*holder)[0] != page_type::kData)
        return Status::corruption("long value points to a page that is not a data page", at.page);
    ACCESS_ASSIGN_OR_RETURN(RowSlot slot, rowSlot(*holder, at.row, pager.format(), at.page));
    return Bytes(*holder).subspan(slot.start, slot.end - slot.start);
}

}  // namespace

Result<std::string> readLongValue(Pager& pager, Bytes inRow) {
    ByteReader r(inRow);
    if (inRow.size() < 12) return Status::corruption("long value definition cut short");
    uint32_t head = r.u32(0);
    size_t length = head & kLongValueLengthMask;
    PageRow first = PageRow::fromPacked(r.u32(4));

    if (head & kLongValueInline) {
        if (length > inRow.size() - 12) return Status::corruption("inline long value longer than its row");
        return std::string(inRow.begin() + 12, inRow.begin() + 12 + static_cast<std::ptrdiff_t>(length));
    }
    if (length == 0) return std::string();

    // Never reserve more than the file could hold: the length is untrusted.
    const uint64_t fileBytes = static_cast<uint64_t>(pager.pageCount()) * pager.pageSize();
    if (length > fileBytes) return Status::corruption("long value longer than the file");
    std::string out;
    out.reserve(length);
    PageHandle holder;

    if (head & kLongValueSingleRow) {
        ACCESS_ASSIGN_OR_RETURN(Bytes row, lvalRow(pager, first, holder));
        if (row.size() < length) return Status::corruption("long value row shorter than the value", first.page);
        out.assign(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(length));
        return out;
    }

    std::unordered_set<uint32_t> seen;
    PageRow at = first;
    while (out.size() < length) {
        if (at.page == 0) return Status::corruption("long value chain ends before the value is complete");
        if (!seen.insert(at.packed()).second) return Status::corruption("long value chain loops", at.page);
        ACCESS_ASSIGN_OR_RETURN(Bytes row, lvalRow(pager, at, holder));
        if (row.size() < 4) return Status::corruption("long value chain row cut short", at.page);
        PageRow next = PageRow::fromPacked(ByteReader(row).u32(0));
        size_t take = std::min(row.size() - 4, length - out.size());
        out.append(row.begin() + 4, row.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        at = next;
    }
    return out;
}

}  // namespace veltrano::access
