// Bounds-checked reading and writing of little- and big-endian integers and
// IEEE floats in byte buffers.
//
// Everything the engine reads from a file goes through ByteReader: lengths and
// offsets found on disk are never trusted. An out-of-range read returns 0 and
// marks the reader as overrun, so a parser can decode a whole structure and
// test ok() once at the end. Index entries are big-endian; all other on-disk
// integers are little-endian.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace veltrano::access {

using Bytes = std::span<const uint8_t>;
using MutableBytes = std::span<uint8_t>;

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(Bytes data) : data_(data) {}

    size_t size() const { return data_.size(); }
    Bytes data() const { return data_; }
    bool ok() const { return !overrun_; }
    // True when [offset, offset+length) lies inside the buffer (no side effect).
    bool has(size_t offset, size_t length) const {
        return offset <= data_.size() && length <= data_.size() - offset;
    }

    uint8_t u8(size_t off) const { return check(off, 1) ? data_[off] : 0; }
    uint16_t u16(size_t off) const { return static_cast<uint16_t>(le(off, 2)); }
    uint32_t u24(size_t off) const { return static_cast<uint32_t>(le(off, 3)); }
    uint32_t u32(size_t off) const { return static_cast<uint32_t>(le(off, 4)); }
    uint64_t u64(size_t off) const { return le(off, 8); }
    int16_t i16(size_t off) const { return static_cast<int16_t>(u16(off)); }
    int32_t i32(size_t off) const { return static_cast<int32_t>(u32(off)); }
    int64_t i64(size_t off) const { return static_cast<int64_t>(u64(off)); }
    float f32(size_t off) const { return std::bit_cast<float>(u32(off)); }
    double f64(size_t off) const { return std::bit_cast<double>(u64(off)); }

    uint16_t be16(size_t off) const { return static_cast<uint16_t>(be(off, 2)); }
    uint32_t be24(size_t off) const { return static_cast<uint32_t>(be(off, 3)); }
    uint32_t be32(size_t off) const { return static_cast<uint32_t>(be(off, 4)); }

    // A sub-range; an out-of-range request gives an empty span and marks overrun.
    Bytes slice(size_t off, size_t length) const {
        return check(off, length) ? data_.subspan(off, length) : Bytes();
    }

private:
    bool check(size_t off, size_t n) const {
        if (has(off, n)) return true;
        overrun_ = true;
        return false;
    }
    uint64_t le(size_t off, size_t n) const {
        if (!check(off, n)) return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(data_[off + i]) << (8 * i);
        return v;
    }
    uint64_t be(size_t off, size_t n) const {
        if (!check(off, n)) return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v = (v << 8) | data_[off + i];
        return v;
    }

    Bytes data_;
    mutable bool overrun_ = false;
};

// Writers: return false (and write nothing) when the range does not fit.
namespace put {

inline bool le(MutableBytes b, size_t off, uint64_t v, size_t n) {
    if (off > b.size() || n > b.size() - off) return false;
    for (size_t i = 0; i < n; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * i));
    return true;
}
inline bool be(MutableBytes b, size_t off, uint64_t v, size_t n) {
    if (off > b.size() || n > b.size() - off) return false;
    for (size_t i = 0; i < n; ++i) b[off + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
    return true;
}
inline bool u8(MutableBytes b, size_t off, uint8_t v) { return le(b, off, v, 1); }
inline bool u16(MutableBytes b, size_t off, uint16_t v) { return le(b, off, v, 2); }
inline bool u24(MutableBytes b, size_t off, uint32_t v) { return le(b, off, v, 3); }
inline bool u32(MutableBytes b, size_t off, uint32_t v) { return le(b, off, v, 4); }
inline bool u64(MutableBytes b, size_t off, uint64_t v) { return le(b, off, v, 8); }
inline bool f32(MutableBytes b, size_t off, float v) { return u32(b, off, std::bit_cast<uint32_t>(v)); }
inline bool f64(MutableBytes b, size_t off, double v) { return u64(b, off, std::bit_cast<uint64_t>(v)); }
inline bool be16(MutableBytes b, size_t off, uint16_t v) { return be(b, off, v, 2); }
inline bool be24(MutableBytes b, size_t off, uint32_t v) { return be(b, off, v, 3); }
inline bool be32(MutableBytes b, size_t off, uint32_t v) { return be(b, off, v, 4); }
inline bool bytes(MutableBytes b, size_t off, Bytes src) {
    if (off > b.size() || src.size() > b.size() - off) return false;
    if (!src.empty()) std::memcpy(b.data() + off, src.data(), src.size());
    return true;
}

}  // namespace put

// A "page pointer + row" as stored in rows and long-value definitions:
// the row in the low byte, the page in the upper 24 bits.
struct PageRow {
    uint32_t page = 0;
    uint8_t row = 0;
    static PageRow fromPacked(uint32_t v) { return {v >> 8, static_cast<uint8_t>(v & 0xFF)}; }
    uint32_t packed() const { return (page << 8) | row; }
    bool operator==(const PageRow&) const = default;
};

}  // namespace veltrano::access
