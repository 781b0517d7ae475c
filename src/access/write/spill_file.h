// SpillFile: the scratch file of one append session, "<db>-spill", holding
// what the session would otherwise keep in memory until it closes: sorted
// runs of index entries and the keys of unique indexes that arrived in
// order.
//
// It sits beside the database rather than in the system's temporary folder:
// that folder is often a RAM-backed tmpfs (which would hand the memory
// straight back) and is often smaller than the disk the user chose for the
// output. Beside the database it also goes through the same FileSystem as
// the database, so in-memory and fault-injecting file systems cover it.
//
// Appends go through a write buffer, so rows cost no system call of their
// own; the file is only created once the buffer first fills. It is created
// over any leftover of a killed process (opening the database for writing
// removes such a leftover too), and removed by discard() (and the
// destructor), whatever way the session ends. Writing to a full disk gives
// the file system's IoError (Status::diskFull()), which fails the session.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "access/base/status.h"
#include "access/storage/file.h"

namespace veltrano::access {

std::string spillPath(const std::string& databasePath);

// What the spill file holds is records: a 2-byte little-endian length, then
// that many bytes (index keys and entries are far shorter than 64 KB).
constexpr size_t kRecordHeader = 2;
void appendRecord(std::string& out, std::string_view record);
// Takes the record at the front of `in`; false (and `in` untouched) when
// `in` does not hold a whole one.
bool takeRecord(std::string_view& in, std::string_view& record);

// A stretch of the spill file.
struct SpillExtent {
    uint64_t offset = 0, size = 0;
};

class SpillFile {
public:
    SpillFile(FileSystem& fs, std::string path, size_t bufferBytes);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Where the next append starts.
    uint64_t end() const { return written_ + buffer_.size(); }
    Status append(std::string_view bytes);
    // Reads [offset, offset + size) into out, from the file and from what
    // is still in the buffer. REQUIRES: offset + size <= end().
    Status read(uint64_t offset, char* out, size_t size);
    // Closes and removes the file; later appends and reads fail.
    void discard();

private:
    Status flush();
    Status writeThrough(std::string_view bytes);  // at written_, bypassing the buffer

    FileSystem& fs_;
    std::string path_;
    std::unique_ptr<File> file_;
    std::string buffer_;  // bytes from written_ on
    size_t bufferBytes_;
    uint64_t written_ = 0;
    bool discarded_ = false;
};

}  // namespace veltrano::access
