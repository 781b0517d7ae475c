// Page reading, header decoding and page encryption; see pager.h.
#include "access/storage/pager.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "access/format/text.h"
#include "access/storage/office_crypt.h"

namespace veltrano::access {

void rc4Xor(Bytes key, MutableBytes data) {
    if (key.empty()) return;
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + s[i] + key[static_cast<size_t>(i) % key.size()]);
        std::swap(s[i], s[j]);
    }
    uint8_t a = 0, b = 0;
    for (auto& byte : data) {
        a = static_cast<uint8_t>(a + 1);
        b = static_cast<uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<uint8_t>(s[a] + s[b])];
    }
}

void applyHeaderMask(MutableBytes page0, const Format& format) {
    size_t start = header_const::kMaskStart;
    if (page0.size() < start) return;
    size_t len = std::min(format.headerMaskLength, page0.size() - start);
    rc4Xor(Bytes(header_const::kMaskKey, 4), page0.subspan(start, len));
}

uint32_t jet4PasswordMask(double creationDate) {
    // The integer part of the creation date, truncated toward zero.
    if (!std::isfinite(creationDate) || std::fabs(creationDate) > 2e9) return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(creationDate));
}

Result<DatabaseHeader> parseHeader(Bytes raw) {
    ByteReader r(raw);
    if (raw.size() < 2048) return Status::notSupported("not an Access database (file too small)");
    static const char kJet[] = "Standard Jet DB";
    static const char kAce[] = "Standard ACE DB";
    Bytes name = r.slice(header_const::kEngineName, 15);
    if (raw[0] != 0) return Status::notSupported("not an Access database");
    const bool ace = std::memcmp(name.data(), kAce, 15) == 0;
    if (!ace && std::memcmp(name.data(), kJet, 15) != 0) return Status::notSupported("not an Access database");
    uint8_t version = r.u8(header_const::kVersion);
    const Format* format = nullptr;
    // Access 2007 to 2019 files (versions 2..6) keep the Jet 4 page layout.
    if (ace ? version >= 2 && version <= 6 : version == 1)
        format = &Format::jet4();
    else if (!ace && version == 0)
        format = &Format::jet3();
    else
        return Status::notSupported("unsupported Access file version " + std::to_string(version) +
                                    " (Access 97 to Access 2019 files are read)");
    if (raw.size() < format->pageSize) return Status::corruption("file is shorter than one page", 0);

    DatabaseHeader h;
    h.format = format;
    h.page.assign(raw.begin(), raw.begin() + format->pageSize);
    applyHeaderMask(h.page, *format);
    ByteReader d(h.page);
    h.codePage = d.u16(header_const::kCodePage);
    h.databaseKey = d.u32(header_const::kDatabaseKey);
    h.sortOrder = d.u16(format->sortOrderOffset);
    h.fileVersion = version;
    h.ace = ace;
    if (ace) {
        // The header's password field holds only its mask; the password of an
        // .accdb is checked against the encryption descriptor (unlock()).
        h.creationDate = d.f64(static_cast<size_t>(format->creationDateOffset));
    } else if (format->isJet4()) {
        h.creationDate = d.f64(static_cast<size_t>(format->creationDateOffset));
        uint32_t mask = jet4PasswordMask(h.creationDate);
        std::vector<uint8_t> pw(format->passwordLength);
        for (size_t i = 0; i < pw.size(); ++i)
            pw[i] = d.u8(format->passwordOffset + i) ^ static_cast<uint8_t>(mask >> (8 * (i % 4)));
        size_t chars = 0;
        while (chars < pw.size() / 2 && (pw[2 * chars] | pw[2 * chars + 1]) != 0) ++chars;
        h.password = utf16leToUtf8(Bytes(pw.data(), chars * 2));
    } else {
        Bytes pw = d.slice(format->passwordOffset, format->passwordLength);
        size_t len = 0;
        while (len < pw.size() && pw[len] != 0) ++len;
        h.password = decodeCodePage(pw.first(len), h.codePage);
    }
    return h;
}

Result<std::unique_ptr<Pager>> Pager::open(std::unique_ptr<File> file) {
    ACCESS_ASSIGN_OR_RETURN(uint64_t size, file->size());
    if (size < 2048) return Status::notSupported("not an Access database (file too small)");
    std::vector<uint8_t> raw(size >= 4096 ? 4096 : 2048);
    ACCESS_RETURN_IF_ERROR(file->read(0, raw));
    ACCESS_ASSIGN_OR_RETURN(DatabaseHeader header, parseHeader(raw));
    uint32_t ps = header.format->pageSize;
    if (size % ps != 0)
        return Status::corruption("the file is truncated (its size is not a whole number of pages)");
    if (size / ps > (uint64_t{1} << 24))
        return Status::corruption("the file is larger than the format allows");
    if (size / ps < 3) return Status::corruption("the file is truncated (no catalog page)");
    auto count = static_cast<uint32_t>(size / ps);
    return std::unique_ptr<Pager>(new Pager(std::move(file), std::move(header), count));
}

void Pager::decryptPage(uint32_t n, MutableBytes image) const {
    if (n == 0 || header_.databaseKey == 0) return;
    if (header_.ace) {
        if (cipher_) cipher_->decrypt(n, image);
        return;
    }
    uint32_t k = header_.databaseKey ^ n;
    uint8_t key[4] = {static_cast<uint8_t>(k), static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k >> 16),
                      static_cast<uint8_t>(k >> 24)};
    rc4Xor(Bytes(key, 4), image);
}

Status Pager::unlock(const std::string& password) {
    if (!header_.ace || header_.databaseKey == 0) return {};
    ACCESS_ASSIGN_OR_RETURN(auto cipher, openOfficeCipher(header_.page, header_.databaseKey, password));
    cipher_ = std::move(cipher);
    dropCache();
    return {};
}

void Pager::remember(uint32_t n, PageHandle p) {
    auto it = cache_.find(n);
    if (it != cache_.end()) {
        lru_.erase(it->second.second);
        cache_.erase(it);
    }
    lru_.push_front(n);
    cache_.emplace(n, std::make_pair(std::move(p), lru_.begin()));
    while (cache_.size() > kCacheCapacity) {
        auto oldest = cache_.find(lru_.back());
        // A page no one else holds lends its buffer to the next read, which
        // then costs no allocation and no zero fill: a scan reads thousands.
        // (Page 0's buffer is made const; the others are read into.)
        if (oldest->first != 0 && oldest->second.first.use_count() == 1 && oldest->second.first->size() == pageSize() &&
            spare_.size() < kMaxSpares)
            spare_.push_back(std::const_pointer_cast<std::vector<uint8_t>>(std::move(oldest->second.first)));
        cache_.erase(oldest);
        lru_.pop_back();
    }
}

Result<PageHandle> Pager::page(uint32_t n) {
    if (!failure_.isOk()) return failure_;
    if (n >= pageCount_)
        return Status::corruption("page pointer " + std::to_string(n) + " beyond the end of the file", n);
    auto it = cache_.find(n);
    if (it != cache_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second.second);
        return it->second.first;
    }
    if (n == 0) {
        auto p = std::make_shared<const std::vector<uint8_t>>(header_.page);
        remember(0, p);
        return PageHandle(p);
    }
    if (locked()) return Status::wrongPassword();
    std::shared_ptr<std::vector<uint8_t>> buf = pageBuffer();
    Status s = file_->read(static_cast<uint64_t>(n) * pageSize(), *buf);
    if (!s.isOk()) {
        failure_ = Status::make(s.category(), s.description(), n);
        return failure_;
    }
    decryptPage(n, *buf);
    PageHandle p = std::move(buf);
    remember(n, p);
    return p;
}

void Pager::readAhead(std::span<const uint32_t> pages) {
    if (!failure_.isOk() || locked()) return;
    const size_t size = pageSize();
    pages = pages.first(std::min(pages.size(), kCacheCapacity / 2));  // kept until they are asked for
    auto wanted = [&](size_t i) { return pages[i] != 0 && pages[i] < pageCount_ && !cache_.contains(pages[i]); };
    for (size_t i = 0; i < pages.size();) {
        if (!wanted(i)) {
            ++i;
            continue;
        }
        size_t count = 1;
        while (i + count < pages.size() && pages[i + count] == pages[i] + count && wanted(i + count)) ++count;
        readAheadBuffer_.resize(count * size);
        // A failure is left for page() to meet and report.
        if (!file_->read(static_cast<uint64_t>(pages[i]) * size, readAheadBuffer_).isOk()) return;
        for (size_t k = 0; k < count; ++k) {
            std::shared_ptr<std::vector<uint8_t>> buf = pageBuffer();
            std::copy_n(readAheadBuffer_.data() + k * size, size, buf->data());
            decryptPage(pages[i + k], *buf);
            remember(pages[i + k], std::move(buf));
        }
        i += count;
    }
}

std::shared_ptr<std::vector<uint8_t>> Pager::pageBuffer() {
    if (spare_.empty()) return std::make_shared<std::vector<uint8_t>>(pageSize());
    std::shared_ptr<std::vector<uint8_t>> buf = std::move(spare_.back());
    spare_.pop_back();
    return buf;
}

void Pager::dropCache() {
    cache_.clear();
    lru_.clear();
    spare_.clear();
}

}  // namespace veltrano::access
