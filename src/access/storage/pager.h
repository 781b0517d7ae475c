// Pager: page N of a Jet file, decoded, with a small cache.
//
// Owns the bytes of page 0 (the header) and the page framing of every other
// page. Page 0 is stored with bytes 0x18.. XOR-masked by a fixed RC4
// keystream; pages 1.. are additionally RC4-encrypted as a whole when the
// header's database key is non-zero (key = LE bytes of key XOR page number).
// Callers only ever see decoded pages.
//
// States: open (pages readable) or failed (a read found the file shorter
// than its page count claimed or the OS refused); in the failed state every
// call returns the first error. Invariants: page size is fixed at open;
// pageCount() is the file size divided by the page size at open; cached
// pages are immutable snapshots (shared_ptr) so a cursor may keep one while
// the cache evicts it. The pager only reads; the writer keeps its own page
// store (journal.h).
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "access/base/coding.h"
#include "access/storage/file.h"
#include "access/format/format.h"
#include "access/base/status.h"

namespace veltrano::access {

class PageCipher;  // office_crypt.h

// Facts from page 0, after removing the mask.
struct DatabaseHeader {
    const Format* format = nullptr;
    uint16_t codePage = 1252;
    uint16_t sortOrder = 0x0409;  // LCID
    uint32_t databaseKey = 0;     // 0: pages are not encrypted
    double creationDate = 0;      // Jet4 only
    std::string password;         // UTF-8, "" when the database has none (.mdb only)
    std::vector<uint8_t> page;    // the whole decoded page 0
    uint8_t fileVersion = 0;      // byte 0x14: 0 Jet 3, 1 Jet 4, 2..6 Access 2007..2019
    // An Access 2007 or later file (.accdb): the Jet 4 page layout, but its
    // password encrypts the pages with an Office scheme (office_crypt.h)
    // instead of living in the header.
    bool ace = false;
};

// Plain RC4 (key schedule, then the keystream XORed over data).
void rc4Xor(Bytes key, MutableBytes data);
// Adds or removes the header mask on a page-0 image (the operation is its own inverse).
void applyHeaderMask(MutableBytes page0, const Format& format);
// The 4-byte mask of the Jet4 password field, from the creation date.
uint32_t jet4PasswordMask(double creationDate);
// Checks the engine name and version and decodes the header. `raw` is page 0
// as stored (at least 2048 bytes; 4096 for Jet4).
Result<DatabaseHeader> parseHeader(Bytes raw);

using PageHandle = std::shared_ptr<const std::vector<uint8_t>>;

class Pager {
public:
    // Reads and checks page 0. The file size must be a whole number of pages.
    static Result<std::unique_ptr<Pager>> open(std::unique_ptr<File> file);

    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    const DatabaseHeader& header() const { return header_; }
    const Format& format() const { return *header_.format; }
    uint32_t pageSize() const { return header_.format->pageSize; }
    uint32_t pageCount() const { return pageCount_; }
    File& file() { return *file_; }

    // Decoded page n. Page 0 comes back with the mask removed. Pages past the
    // end are Corruption (they are only ever reached through a bad pointer).
    Result<PageHandle> page(uint32_t n);
    // Reads the first of `pages` that are not cached yet (up to half the
    // cache), each stretch of adjacent pages with one read, so that a scan
    // costs one system call per stretch instead of one per page. Failures
    // are left for page() to report.
    void readAhead(std::span<const uint32_t> pages);

    // An encrypted .accdb: derives the page key from the password (WrongPassword
    // when it does not fit). Until then its pages past 0 cannot be read. A
    // no-op for every other file.
    Status unlock(const std::string& password);
    bool locked() const { return header_.ace && header_.databaseKey != 0 && !cipher_; }

    const Status& failure() const { return failure_; }

private:
    Pager(std::unique_ptr<File> file, DatabaseHeader header, uint32_t pageCount)
        : file_(std::move(file)), header_(std::move(header)), pageCount_(pageCount) {}
    void remember(uint32_t n, PageHandle p);
    // A buffer of pageSize() bytes to read a page into.
    std::shared_ptr<std::vector<uint8_t>> pageBuffer();
    void dropCache();
    // Decrypts a page image in place. No-op when the database key is 0 and
    // for page 0.
    void decryptPage(uint32_t n, MutableBytes image) const;

    static constexpr size_t kCacheCapacity = 256;
    static constexpr size_t kMaxSpares = kCacheCapacity / 2;
    std::unique_ptr<File> file_;
    DatabaseHeader header_;
    std::shared_ptr<const PageCipher> cipher_;  // encrypted .accdb, once unlocked
    uint32_t pageCount_;
    Status failure_;
    std::list<uint32_t> lru_;  // front = most recent
    std::unordered_map<uint32_t, std::pair<PageHandle, std::list<uint32_t>::iterator>> cache_;
    std::vector<std::shared_ptr<std::vector<uint8_t>>> spare_;  // evicted pages' buffers, for the next reads
    std::vector<uint8_t> readAheadBuffer_;
};

}  // namespace veltrano::access
