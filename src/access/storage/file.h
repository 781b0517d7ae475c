// File: the engine's only door to storage. Reads and writes at an offset,
// size, sync, truncate and advisory locks. Two implementations: POSIX files
// and an in-memory buffer (tests, fuzzing, building a file before saving).
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
    virtual Status truncate(uint64_t size) = 0;
    // Non-blocking: InUse when another holder conflicts.
    virtual Status tryLock(LockKind kind) = 0;
    virtual Status unlock() = 0;
    virtual bool readOnly() const = 0;
    virtual const std::string& path() const = 0;  // "" for memory files
};

Result<std::unique_ptr<File>> openPosixFile(const std::string& path, OpenMode mode);

// In-memory file. With `readOnly`, writes fail like on a read-only source.
std::unique_ptr<File> newMemoryFile(std::vector<uint8_t> contents = {}, bool readOnly = false);

// Whether some open file description other than ours holds a lock on
// `path` that conflicts with `kind` (no lock is taken). A missing file is
// not locked.
Result<bool> isLockedByOther(const std::string& path, LockKind kind);

}  // namespace veltrano::access
