// The ".ldb" lock file beside a database, and what counts as "in use".
//
// Jet creates <name>.ldb next to <name>.mdb while a database is open shared
// and removes it when the last user closes; crashes leave stale ones behind,
// so its mere presence proves nothing. A lock file counts as LIVE when
//   (a) some process holds an fcntl lock on it (our own writer keeps an
//       exclusive lock on the .ldb it creates for as long as it writes; a
//       Samba server mapping Windows byte-range locks shows them the same
//       way), or
//   (b) it carries our own owner record (written by LockFileGuard) naming
//       this host and a process id that is still running.
// A stale .ldb (no lock, not ours or its process gone) is ignored.
// Separately, a database file on which another open file holds an fcntl
// write lock is in use (our writer holds one while it writes).
//
// Layout of the entry we write (64 bytes, as Jet's own entries): 32 bytes
// computer name, 32 bytes account name "Admin" NUL-padded. After the NUL of
// the account name we put "VLT:" and our decimal pid so that (b) can be
// checked; Jet only reads the name up to its NUL.
#pragma once

#include <memory>
#include <string>

#include "access/storage/file.h"
#include "access/base/status.h"

namespace veltrano::access {

// "<dir>/<name>.ldb" for "<dir>/<name>.mdb" (any extension is replaced;
// a name without one gets ".ldb" appended); "<dir>/<name>.laccdb" for an .accdb.
std::string lockFilePath(const std::string& databasePath);

// True when the lock file beside `databasePath` is live (see above).
Result<bool> isLockFileLive(const std::string& databasePath);

// InUse (0x80004005) when the database is held for writing by another open
// file or has a live lock file; otherwise success.
Status checkNotInUse(const std::string& databasePath);

// Creates the lock file for a writer, holds an exclusive fcntl lock on it,
// and removes it on destruction. Fails with InUse when a live lock file
// exists; a stale one is replaced.
class LockFileGuard {
public:
    static Result<std::unique_ptr<LockFileGuard>> acquire(const std::string& databasePath);
    ~LockFileGuard();
    LockFileGuard(const LockFileGuard&) = delete;
    LockFileGuard& operator=(const LockFileGuard&) = delete;
    const std::string& path() const { return path_; }

private:
    LockFileGuard(std::string path, std::unique_ptr<File> file) : path_(std::move(path)), file_(std::move(file)) {}
    std::string path_;
    std::unique_ptr<File> file_;
};

}  // namespace veltrano::access
