// Lock-file liveness and the writer's lock-file guard; see lock_file.h.
#include "access/storage/lock_file.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {

namespace {

constexpr size_t kNameField = 32;
constexpr char kOwnerTag[] = "VLT:";

std::string hostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return "localhost";
    return buf;
}

bool processAlive(long pid) {
    if (pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Reads the first entry; true when it is ours, names this host and a live pid.
bool ownerRecordAlive(const std::string& ldbPath) {
    FILE* f = std::fopen(ldbPath.c_str(), "rb");
    if (!f) return false;
    char entry[2 * kNameField] = {};
    size_t n = std::fread(entry, 1, sizeof entry, f);
    std::fclose(f);
    if (n < sizeof entry) return false;
    std::string computer(entry, strnlen(entry, kNameField));
    const char* account = entry + kNameField;
    size_t nameLen = strnlen(account, kNameField);
    if (nameLen + 1 + sizeof kOwnerTag > kNameField) return false;
    const char* tag = account + nameLen + 1;
    if (std::memcmp(tag, kOwnerTag, sizeof kOwnerTag - 1) != 0) return false;
    std::string digits(tag + sizeof kOwnerTag - 1, strnlen(tag + sizeof kOwnerTag - 1,
                                                           kNameField - nameLen - sizeof kOwnerTag));
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    return computer == hostName().substr(0, kNameField) && processAlive(std::stol(digits));
}

}  // namespace

std::string lockFilePath(const std::string& databasePath) {
    size_t slash = databasePath.find_last_of('/');
    size_t dot = databasePath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return databasePath + ".ldb";
    // Access 2007 and later name the lock file of an .accdb ".laccdb".
    const bool ace = namesEqual(std::string_view(databasePath).substr(dot), ".accdb");
    return databasePath.substr(0, dot) + (ace ? ".laccdb" : ".ldb");
}

Result<bool> isLockFileLive(const std::string& databasePath) {
    std::string ldb = lockFilePath(databasePath);
    if (::access(ldb.c_str(), F_OK) != 0) return false;
    auto locked = isLockedByOther(ldb, LockKind::Exclusive);
    if (!locked.isOk()) return locked.status();
    if (*locked) return true;
    return ownerRecordAlive(ldb);
}

Status checkNotInUse(const std::string& databasePath) {
    auto writeLocked = isLockedByOther(databasePath, LockKind::Shared);
    if (!writeLocked.isOk()) return writeLocked.status();
    if (*writeLocked) return Status::inUse("File already in use by another program (it is being written)");
    auto live = isLockFileLive(databasePath);
    if (!live.isOk()) return live.status();
    if (*live)
        return Status::inUse("File already in use by another program (its lock file " +
                             lockFilePath(databasePath) + " is held)");
    return {};
}

Result<std::unique_ptr<LockFileGuard>> LockFileGuard::acquire(const std::string& databasePath) {
    auto live = isLockFileLive(databasePath);
    if (!live.isOk()) return live.status();
    std::string ldb = lockFilePath(databasePath);
    if (*live) return Status::inUse("File already in use by another program (lock file " + ldb + ")");
    ACCESS_ASSIGN_OR_RETURN(auto file, openPosixFile(ldb, OpenMode::CreateTruncate));
    ACCESS_RETURN_IF_ERROR(file->tryLock(LockKind::Exclusive));
    std::vector<uint8_t> entry(2 * kNameField, 0);
    std::string host = hostName().substr(0, kNameField - 1);
    std::memcpy(entry.data(), host.data(), host.size());
    std::string account = "Admin";
    std::memcpy(entry.data() + kNameField, account.data(), account.size());
    std::string owner = std::string(kOwnerTag) + std::to_string(::getpid());
    std::memcpy(entry.data() + kNameField + account.size() + 1, owner.data(),
                std::min(owner.size(), kNameField - account.size() - 2));
    ACCESS_RETURN_IF_ERROR(file->write(0, entry));
    return std::unique_ptr<LockFileGuard>(new LockFileGuard(ldb, std::move(file)));
}

LockFileGuard::~LockFileGuard() {
    ::unlink(path_.c_str());  // before closing, so no one sees an unlocked record of ours
    file_.reset();
}

}  // namespace veltrano::access
