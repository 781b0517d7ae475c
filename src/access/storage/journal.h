// PageStore: the page file of the writer, with a rollback journal.
//
// Owns "<db>-journal". Layout: a 24-byte header (magic "VLTJRNL1", page
// size, page count of the database when the change began, CRC of those
// fields), then records {uint32 page, page image, uint32 CRC} holding the
// ORIGINAL contents of pages the change overwrites.
//
// Protocol of one change (begin .. commit):
//   begin:  write + fsync the journal header (and its directory entry)
//           before the database is touched at all.
//   writes: pages past the original end go straight to the file (undone by
//           truncation); pages inside it are kept in memory (dirty set).
//   commit: copy the originals of the dirty pages into the journal, fsync
//           it, write the dirty pages, fsync the database, delete the
//           journal. Deleting the journal is the commit point.
//   crash:  the next open finds the journal ("hot"), writes the originals
//           back, truncates to the original size and deletes it. A torn
//           last record was never followed by a database write, so records
//           are applied up to the first bad CRC.
// A file created from nothing (createDatabase) is written without a journal:
// a failure there deletes the half-made file instead.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "access/base/coding.h"
#include "access/base/status.h"

namespace veltrano::access {

constexpr uint32_t kJet4PageSize = 4096;
// 2^31 bytes: the largest file Jet 4 accepts.
constexpr uint32_t kMaxJet4Pages = 0x80000000u / kJet4PageSize;

std::string journalPath(const std::string& databasePath);

class PageStore {
public:
    // Opens an existing database for writing (after rolling back a hot
    // journal) or, with createNew, makes a new empty file (must not exist).
    static Result<std::unique_ptr<PageStore>> open(const std::string& path, bool createNew);
    ~PageStore();
    PageStore(const PageStore&) = delete;
    PageStore& operator=(const PageStore&) = delete;

    uint32_t pageCount() const { return pageCount_; }
    const std::string& path() const { return path_; }

    // A page image as stored (page 0 keeps its header mask).
    Status read(uint32_t n, std::vector<uint8_t>& out);
    // REQUIRES: image.size() == page size, n <= pageCount().
    Status write(uint32_t n, Bytes image);
    // Appends a zeroed page number (the caller writes it later).
    Result<uint32_t> extend();

    Status begin();  // no-op for a new file before its first commit
    Status commit();
    Status rollback();
    bool inChange() const { return inChange_; }

    // Lets tests stop the writer between the steps of a commit.
    static void setCrashHookForTests(void (*hook)(const char* step));

private:
    PageStore(std::string path, int fd, uint32_t pageCount, bool fresh)
        : path_(std::move(path)), fd_(fd), pageCount_(pageCount), filePages_(pageCount), fresh_(fresh) {}
    Status writeThrough(uint32_t n, Bytes image);
    Status growFileToPageCount();

    std::string path_;
    int fd_ = -1;
    int journalFd_ = -1;
    uint32_t pageCount_ = 0;
    uint32_t originalCount_ = 0;
    // Pages the file physically holds. New pages are only counted until
    // their first write (or the commit, which grows the file to pageCount_
    // with zero pages), so that a new page costs one write, not two.
    uint32_t filePages_ = 0;
    bool fresh_ = false;  // being created: no journal
    bool inChange_ = false;
    std::map<uint32_t, std::vector<uint8_t>> dirty_;
};

// Rolls back a hot journal of `databasePath`, if any.
Status rollbackHotJournal(const std::string& databasePath);

}  // namespace veltrano::access
