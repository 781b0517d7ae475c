// PageStore: the page file of the writer, with a rollback journal.
//
// Owns "<db>-journal". Layout: a 24-byte header (magic "VLTJRNL1", page
// size, page count of the database when the change began, CRC of those
// fields), then records {uint32 page, page image, uint32 CRC} holding the
// ORIGINAL contents of pages the change overwrites.
//
// Protocol of one change (begin .. commit):
//   begin:  create the journal (never over an existing one), write + fsync
//           its header and its directory entry before the database is
//           touched at all.
//   writes: pages past the original end go straight to the file (undone by
//           truncation); pages inside it are kept in memory (dirty set).
//   commit: copy the originals of the dirty pages into the journal, fsync
//           it, write the dirty pages, fsync the database, delete the
//           journal. Deleting the journal is the commit point; a failure
//           before it rolls the change back.
//   crash:  the next open finds the journal ("hot"), writes the originals
//           back, truncates to the original size and deletes it. A torn
//           last record was never followed by a database write, so records
//           are applied up to the first bad CRC; a record that cannot be
//           read stops the rollback with the journal kept.
// A file created from nothing (createDatabase) is written without a journal:
// a failure there deletes the half-made file instead.
//
// States: idle, in a change (begin .. commit/rollback), failed. A change
// that cannot be undone (the rollback itself failed) leaves the journal in
// place and the store failed: every later read, write, begin and commit
// returns that failure, since the file on disk is half changed and only
// the journal can repair it. Opening the file again rolls the journal back.
// All I/O goes through a FileSystem, so tests can run the store in memory
// and inject faults.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "access/base/coding.h"
#include "access/base/status.h"
#include "access/storage/file.h"

namespace veltrano::access {

constexpr uint32_t kJet4PageSize = 4096;
// 2^31 bytes: the largest file Jet 4 accepts.
constexpr uint32_t kMaxJet4Pages = 0x80000000u / kJet4PageSize;

std::string journalPath(const std::string& databasePath);

class PageStore {
public:
    // Opens an existing database for writing (after rolling back a hot
    // journal) or, with createNew, makes a new empty file (must not exist).
    // Holds an exclusive lock on the file while open (InUse when another
    // holds one).
    static Result<std::unique_ptr<PageStore>> open(FileSystem& fs, const std::string& path, bool createNew);
    static Result<std::unique_ptr<PageStore>> open(const std::string& path, bool createNew) {
        return open(posixFileSystem(), path, createNew);
    }
    ~PageStore();
    PageStore(const PageStore&) = delete;
    PageStore& operator=(const PageStore&) = delete;

    uint32_t pageCount() const { return pageCount_; }
    const std::string& path() const { return path_; }
    FileSystem& fileSystem() { return fs_; }

    // A page image as stored (page 0 keeps its header mask).
    Status read(uint32_t n, std::vector<uint8_t>& out);
    // REQUIRES: image.size() == page size, n <= pageCount().
    Status write(uint32_t n, Bytes image);
    // Appends a zeroed page number (the caller writes it later).
    Result<uint32_t> extend();

    Status begin();  // no-op for a new file before its first commit
    // On failure the change is rolled back (and the store may be failed).
    Status commit();
    Status rollback();
    bool inChange() const { return inChange_; }
    // OK, or why the store refuses all work until the file is reopened.
    const Status& failure() const { return failure_; }

    // Lets tests stop the writer between the steps of a commit.
    static void setCrashHookForTests(void (*hook)(const char* step));

private:
    PageStore(FileSystem& fs, std::string path, std::unique_ptr<File> file, uint32_t pageCount, bool fresh)
        : fs_(fs), path_(std::move(path)), file_(std::move(file)), pageCount_(pageCount), filePages_(pageCount),
          fresh_(fresh) {}
    Status writeThrough(uint32_t n, Bytes image);
    Status writeRun(uint32_t n, Bytes images);
    Status writeGathered(uint32_t n, Bytes image);
    Status flushGathered();
    uint32_t gatheredPages() const { return static_cast<uint32_t>(gathered_.size() / kJet4PageSize); }
    uint8_t* gatheredPage(uint32_t n);  // page n's image in the run, or nullptr
    Status growFileToPageCount();
    Status writeJournalHeader();
    Status journalOriginals();

    FileSystem& fs_;
    std::string path_;
    std::unique_ptr<File> file_;
    std::unique_ptr<File> journal_;  // open during a change of an existing file
    Status failure_;
    uint32_t pageCount_ = 0;
    uint32_t originalCount_ = 0;
    // Pages the file physically holds. New pages are only counted until
    // their first write (or the commit, which grows the file to pageCount_
    // with zero pages), so that a new page costs one write, not two.
    uint32_t filePages_ = 0;
    bool fresh_ = false;  // being created: no journal
    bool inChange_ = false;
    std::map<uint32_t, std::vector<uint8_t>> dirty_;
    // A run of pages written but not yet passed to the file: pages
    // gatheredFirst_.. one after another (see writeGathered).
    std::vector<uint8_t> gathered_;
    uint32_t gatheredFirst_ = 0;
    // Written since the system was last asked to start writing out: a big
    // table's pages go to the disk while it is being written, not all in
    // the sync at its end.
    uint64_t unstartedBytes_ = 0;
    uint64_t unstartedFrom_ = UINT64_MAX;
};

}  // namespace veltrano::access
