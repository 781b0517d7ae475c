#include "access/write/long_value_writer.h"

#include "access/write/row_writer.h"

namespace veltrano::access {
namespace {

std::string reference(uint32_t lengthAndFlags, uint32_t pageRow) {
    std::string r(12, '\0');
    for (int i = 0; i < 4; ++i) {
        r[i] = static_cast<char>((lengthAndFlags >> (8 * i)) & 0xFF);
        r[4 + i] = static_cast<char>((pageRow >> (8 * i)) & 0xFF);
    }
    return r;
}

Bytes asBytes(const std::string& s) { return Bytes(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

}  // namespace

Status LongValueWriter::startPage() {
    ACCESS_RETURN_IF_ERROR(flush());
    ACCESS_ASSIGN_OR_RETURN(pageNumber_, allocate_());
    page_ = newDataPage(data_page_const::kLongValueOwner);
    pages_.insert(pageNumber_);
    return Status::ok();
}

Status LongValueWriter::flush() {
    if (page_.empty()) return Status::ok();
    Status s = store_.write(pageNumber_, page_);
    page_.clear();
    return s;
}

Result<std::string> LongValueWriter::store(const std::string& data, bool inlineAllowed) {
    if (data.size() > kMaxLongValue) return Status::invalidArgument("the value is larger than the 1 GB a memo or OLE field holds");
    const uint32_t len = static_cast<uint32_t>(data.size());
    if (inlineAllowed && data.size() <= kMaxInlineLongValue) return reference(len | 0x80000000u, 0) + data;
    if (data.size() <= kMaxSingleLvalRow) {
        if (page_.empty() || !rowFits(page_, data.size())) ACCESS_RETURN_IF_ERROR(startPage());
        int row = addRowToPage(page_, asBytes(data));
        return reference(len | 0x40000000u, (pageNumber_ << 8) | static_cast<uint32_t>(row));
    }
    // A chain: every chunk on a page of its own, numbered before writing so
    // that each row can point at the next.
    ACCESS_RETURN_IF_ERROR(flush());
    size_t chunks = (data.size() + kLvalChunk - 1) / kLvalChunk;
    std::vector<uint32_t> numbers(chunks);
    for (auto& n : numbers) {
        ACCESS_ASSIGN_OR_RETURN(n, allocate_());
        pages_.insert(n);
    }
    for (size_t i = 0; i < chunks; ++i) {
        std::vector<uint8_t> pg = newDataPage(data_page_const::kLongValueOwner);
        std::string row(4, '\0');
        uint32_t next = i + 1 < chunks ? numbers[i + 1] << 8 : 0;
        for (int k = 0; k < 4; ++k) row[k] = static_cast<char>((next >> (8 * k)) & 0xFF);
        row.append(data, i * kLvalChunk, kLvalChunk);
        addRowToPage(pg, asBytes(row));
        ACCESS_RETURN_IF_ERROR(store_.write(numbers[i], pg));
    }
    return reference(len, numbers[0] << 8);
}

}  // namespace veltrano::access
