// File and FileSystem: how the engine reaches its database and journal
// files. A File reads and writes at an offset, reports its size, syncs,
// truncates and takes advisory locks. A FileSystem opens files by path,
// removes them and makes directory changes durable. (Only the probes of
// lock_file.h look at other programs' files directly.) Two implementations
// of each: POSIX and in memory (tests, fuzzing, building a file before
// saving). Tests wrap them to inject faults.
//
// Failures of writes, syncs and truncations say why in the engine's terms:
// Status::diskFull() for ENOSPC, EDQUOT and EFBIG, Status::readOnly() for
// EROFS (and for EACCES or EPERM when opening for writing), otherwise an
// IoError carrying the operating system's text.
//
// Locks are whole-file fcntl open-file-description locks, so they are tied
// to this File object (not the process) and vanish when the process dies.
// A reader holds a shared lock; a writer holds an exclusive one. A failed
// try gives an InUse status. Where the file system has no lock support the
// locks quietly do nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "access/base/coding.h"
#include "access/base/status.h"

namespace veltrano::access {

enum class OpenMode {
    ReadOnly,        // source files: never changed
    ReadWrite,       // existing file
    CreateNew,       // fails if the file exists
    CreateTruncate,  // creates or empties
};

enum class LockKind { Shared, Exclusive };

class File {
public:
    virtual ~File() = default;
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Reads exactly out.size() bytes at offset; reading past the end is an error.
    virtual Status read(uint64_t offset, MutableBytes out) = 0;
    // Writes all of data at offset, growing the file when needed.
    virtual Status write(uint64_t offset, Bytes data) = 0;
    virtual Result<uint64_t> size() = 0;
    virtual Status sync() = 0;
    // Asks the system to start writing out what was written from `offset`
    // on, without waiting for it, so that a later sync has little left to
    // wait for. Only a hint: it cannot fail.
    virtual void startWriteback(uint64_t offset) { (void)offset; }
    virtual Status truncate(uint64_t size) = 0;
    // Non-blocking: InUse when another holder conflicts.
    virtual Status tryLock(LockKind kind) = 0;
    virtual Status unlock() = 0;
    virtual bool readOnly() const = 0;
    virtual const std::string& path() const = 0;  // "" for memory files
};

// NotFound when the file is missing (ReadOnly, ReadWrite); InvalidArgument
// when CreateNew finds one.
Result<std::unique_ptr<File>> openPosixFile(const std::string& path, OpenMode mode);

// In-memory file. With `readOnly`, writes fail like on a read-only source.
std::unique_ptr<File> newMemoryFile(std::vector<uint8_t> contents = {}, bool readOnly = false);

// Objects of one FileSystem may be used from one thread at a time.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    // As openPosixFile.
    virtual Result<std::unique_ptr<File>> open(const std::string& path, OpenMode mode) = 0;
    // NotFound when there is no such file.
    virtual Status remove(const std::string& path) = 0;
    // Makes the creation or removal of `path` survive a power loss (syncs
    // the directory that holds it).
    virtual Status syncDirectory(const std::string& path) = 0;
    // Whether other programs can see these files, so that lock files and
    // the locks of other processes matter.
    virtual bool sharedWithOtherPrograms() const = 0;
};

// The real files of this machine.
FileSystem& posixFileSystem();

// Files held in memory, by path. Every File opened on one path shares its
// bytes, as descriptors of a real file do; locks do nothing. Whatever was
// written is there at once (a sync changes nothing).
class MemoryFileSystem final : public FileSystem {
public:
    MemoryFileSystem();
    ~MemoryFileSystem() override;

    Result<std::unique_ptr<File>> open(const std::string& path, OpenMode mode) override;
    Status remove(const std::string& path) override;
    Status syncDirectory(const std::string&) override { return {}; }
    bool sharedWithOtherPrograms() const override { return false; }

    bool exists(const std::string& path) const;
    // A copy of a file's bytes; empty when there is no such file.
    std::vector<uint8_t> contents(const std::string& path) const;
    // Creates or replaces a file.
    void setContents(const std::string& path, std::vector<uint8_t> bytes);

private:
    struct Files;
    std::unique_ptr<Files> files_;
};

// Whether some open file description other than ours holds a lock on
// `path` that conflicts with `kind` (no lock is taken). A missing file is
// not locked.
Result<bool> isLockedByOther(const std::string& path, LockKind kind);

}  // namespace veltrano::access
