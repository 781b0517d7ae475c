#include "access/storage/journal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veltrano::access {
namespace {

constexpr char kMagic[8] = {'V', 'L', 'T', 'J', 'R', 'N', 'L', '1'};
constexpr size_t kHeaderSize = 24;
void (*gCrashHook)(const char*) = nullptr;

void crashPoint(const char* step) {
    if (gCrashHook) gCrashHook(step);
}

uint32_t crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

Status osError(const std::string& what, const std::string& path, int err) {
    if (err == ENOSPC || err == EDQUOT || err == EFBIG)
        return Status::ioError("the disk is full (or the file may grow no further) while writing " + path +
                               "; the file was left as it was before this change");
    return Status::ioError(what + " " + path + ": " + std::strerror(err));
}

Status writeAll(int fd, const void* data, size_t n, uint64_t offset, const std::string& path) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(offset));
        if (w < 0) {
            if (errno == EINTR) continue;
            return osError("cannot write", path, errno);
        }
        p += w;
        n -= static_cast<size_t>(w);
        offset += static_cast<uint64_t>(w);
    }
    return Status::ok();
}

Status readAll(int fd, void* data, size_t n, uint64_t offset, const std::string& path) {
    auto* p = static_cast<uint8_t*>(data);
    while (n > 0) {
        ssize_t r = ::pread(fd, p, n, static_cast<off_t>(offset));
        if (r < 0) {
            if (errno == EINTR) continue;
            return osError("cannot read", path, errno);
        }
        if (r == 0) return Status::corruption("unexpected end of file in " + path);
        p += r;
        n -= static_cast<size_t>(r);
        offset += static_cast<uint64_t>(r);
    }
    return Status::ok();
}

Status syncDirOf(const std::string& path) {
    std::string dir = ".";
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Status::ok();  // best effort
    ::fsync(fd);
    ::close(fd);
    return Status::ok();
}

}  // namespace

std::string journalPath(const std::string& databasePath) { return databasePath + "-journal"; }

void PageStore::setCrashHookForTests(void (*hook)(const char*)) { gCrashHook = hook; }

Status rollbackHotJournal(const std::string& databasePath) {
    const std::string jpath = journalPath(databasePath);
    int jfd = ::open(jpath.c_str(), O_RDONLY | O_CLOEXEC);
    if (jfd < 0) return errno == ENOENT ? Status::ok() : osError("cannot open", jpath, errno);
    struct stat st {};
    ::fstat(jfd, &st);
    uint8_t header[kHeaderSize];
    bool valid = st.st_size >= static_cast<off_t>(kHeaderSize) &&
                 readAll(jfd, header, kHeaderSize, 0, jpath).isOk() && std::memcmp(header, kMagic, 8) == 0;
    ByteReader h(Bytes(header, kHeaderSize));
    valid = valid && h.u32(20) == crc32(header, 20);
    if (!valid) {
        // The header is written and synced before the database is touched, so
        // a journal without a valid header means nothing needs undoing.
        ::close(jfd);
        ::unlink(jpath.c_str());
        return syncDirOf(jpath);
    }
    const uint32_t pageSize = h.u32(8);
    const uint32_t originalCount = h.u32(12);
    if (pageSize != kJet4PageSize) {
        ::close(jfd);
        return Status::corruption("the journal " + jpath + " has an unknown page size");
    }
    int dfd = ::open(databasePath.c_str(), O_RDWR | O_CLOEXEC);
    if (dfd < 0) {
        ::close(jfd);
        return osError("cannot open", databasePath, errno);
    }
    std::vector<uint8_t> rec(pageSize + 8);
    Status s;
    for (uint64_t off = kHeaderSize; off + rec.size() <= static_cast<uint64_t>(st.st_size); off += rec.size()) {
        if (!readAll(jfd, rec.data(), rec.size(), off, jpath).isOk()) break;
        ByteReader r(rec);
        uint32_t page = r.u32(0);
        if (r.u32(4 + pageSize) != crc32(rec.data(), 4 + pageSize)) break;
        if (page >= originalCount) continue;
        s = writeAll(dfd, rec.data() + 4, pageSize, uint64_t(page) * pageSize, databasePath);
        if (!s.isOk()) break;
    }
    if (s.isOk() && ::ftruncate(dfd, static_cast<off_t>(uint64_t(originalCount) * pageSize)) != 0)
        s = osError("cannot truncate", databasePath, errno);
    if (s.isOk() && ::fsync(dfd) != 0) s = osError("cannot sync", databasePath, errno);
    ::close(dfd);
    ::close(jfd);
    if (!s.isOk()) return s;
    ::unlink(jpath.c_str());
    return syncDirOf(jpath);
}

Result<std::unique_ptr<PageStore>> PageStore::open(const std::string& path, bool createNew) {
    int flags = O_RDWR | O_CLOEXEC | (createNew ? (O_CREAT | O_EXCL) : 0);
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        if (errno == EEXIST) return Status::invalidArgument("the file " + path + " already exists");
        if (errno == ENOENT) return Status::notFound("no file " + path);
        return osError("cannot open", path, errno);
    }
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        ::close(fd);
        return Status::inUse("Could not use '" + path + "'; file already in use.");
    }
    if (!createNew) {
        // Only after taking the lock: a live writer's journal is not hot.
        Status s = rollbackHotJournal(path);
        if (!s.isOk()) {
            ::close(fd);
            return s;
        }
    }
    struct stat st {};
    ::fstat(fd, &st);
    if (st.st_size % kJet4PageSize != 0) {
        ::close(fd);
        return Status::corruption("the file size of " + path + " is not a whole number of pages");
    }
    return std::unique_ptr<PageStore>(
        new PageStore(path, fd, static_cast<uint32_t>(st.st_size / kJet4PageSize), createNew));
}

PageStore::~PageStore() {
    if (inChange_) (void)rollback();
    if (journalFd_ >= 0) ::close(journalFd_);
    if (fd_ >= 0) ::close(fd_);
}

Status PageStore::read(uint32_t n, std::vector<uint8_t>& out) {
    if (n >= pageCount_) return Status::corruption("page " + std::to_string(n) + " lies past the end of the file", n);
    auto it = dirty_.find(n);
    if (it != dirty_.end()) {
        out = it->second;
        return Status::ok();
    }
    if (n >= filePages_) {  // allocated, never written yet
        out.assign(kJet4PageSize, 0);
        return Status::ok();
    }
    out.resize(kJet4PageSize);
    return readAll(fd_, out.data(), kJet4PageSize, uint64_t(n) * kJet4PageSize, path_);
}

Status PageStore::writeThrough(uint32_t n, Bytes image) {
    Status s = writeAll(fd_, image.data(), image.size(), uint64_t(n) * kJet4PageSize, path_);
    if (s.isOk() && n >= filePages_) filePages_ = n + 1;
    return s;
}

Status PageStore::growFileToPageCount() {
    if (filePages_ >= pageCount_) return Status::ok();
    if (::ftruncate(fd_, static_cast<off_t>(uint64_t(pageCount_) * kJet4PageSize)) != 0)
        return osError("cannot grow", path_, errno);
    filePages_ = pageCount_;
    return Status::ok();
}

Status PageStore::write(uint32_t n, Bytes image) {
    if (image.size() != kJet4PageSize || n > pageCount_) return Status::internal("bad page write");
    if (n == pageCount_) {
        if (pageCount_ >= kMaxJet4Pages)
            return Status::ioError("the database would grow past the 2 GB limit of the Access format");
        ++pageCount_;
    }
    if (!fresh_ && inChange_ && n < originalCount_) {
        dirty_[n].assign(image.begin(), image.end());
        return Status::ok();
    }
    if (!fresh_ && !inChange_) return Status::internal("page write outside a change");
    return writeThrough(n, image);
}

Result<uint32_t> PageStore::extend() {
    if (pageCount_ >= kMaxJet4Pages)
        return Status::ioError("the database would grow past the 2 GB limit of the Access format");
    if (!fresh_ && !inChange_) return Status::internal("page allocation outside a change");
    return pageCount_++;
}

Status PageStore::begin() {
    if (inChange_) return Status::internal("a change is already under way");
    inChange_ = true;
    originalCount_ = pageCount_;
    dirty_.clear();
    if (fresh_) return Status::ok();
    const std::string jpath = journalPath(path_);
    journalFd_ = ::open(jpath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (journalFd_ < 0) {
        inChange_ = false;
        return osError("cannot create the journal", jpath, errno);
    }
    uint8_t header[kHeaderSize] = {};
    std::memcpy(header, kMagic, 8);
    put::u32(MutableBytes(header, kHeaderSize), 8, kJet4PageSize);
    put::u32(MutableBytes(header, kHeaderSize), 12, originalCount_);
    put::u32(MutableBytes(header, kHeaderSize), 20, crc32(header, 20));
    Status s = writeAll(journalFd_, header, kHeaderSize, 0, jpath);
    if (s.isOk() && ::fsync(journalFd_) != 0) s = osError("cannot sync", jpath, errno);
    if (s.isOk()) s = syncDirOf(jpath);
    if (!s.isOk()) {
        ::close(journalFd_);
        journalFd_ = -1;
        ::unlink(jpath.c_str());
        inChange_ = false;
    }
    crashPoint("begun");
    return s;
}

Status PageStore::commit() {
    if (!inChange_) return Status::internal("commit without a change");
    if (fresh_) {
        Status s = growFileToPageCount();
        if (s.isOk() && ::fsync(fd_) != 0) s = osError("cannot sync", path_, errno);
        if (s.isOk()) {
            fresh_ = false;
            inChange_ = false;
        }
        return s;
    }
    const std::string jpath = journalPath(path_);
    Status s;
    uint64_t off = kHeaderSize;
    std::vector<uint8_t> rec(kJet4PageSize + 8);
    for (auto& [n, image] : dirty_) {
        put::u32(rec, 0, n);
        s = readAll(fd_, rec.data() + 4, kJet4PageSize, uint64_t(n) * kJet4PageSize, path_);
        if (!s.isOk()) break;
        put::u32(rec, 4 + kJet4PageSize, crc32(rec.data(), 4 + kJet4PageSize));
        s = writeAll(journalFd_, rec.data(), rec.size(), off, jpath);
        if (!s.isOk()) break;
        off += rec.size();
    }
    if (s.isOk() && ::fsync(journalFd_) != 0) s = osError("cannot sync", jpath, errno);
    crashPoint("journaled");
    if (s.isOk())
        for (auto& [n, image] : dirty_) {
            s = writeThrough(n, image);
            if (!s.isOk()) break;
            crashPoint("page-written");
        }
    if (s.isOk()) s = growFileToPageCount();
    if (s.isOk() && ::fsync(fd_) != 0) s = osError("cannot sync", path_, errno);
    if (!s.isOk()) {
        (void)rollback();
        return s;
    }
    crashPoint("synced");
    ::close(journalFd_);
    journalFd_ = -1;
    ::unlink(jpath.c_str());
    (void)syncDirOf(jpath);
    dirty_.clear();
    inChange_ = false;
    return Status::ok();
}

Status PageStore::rollback() {
    if (!inChange_) return Status::ok();
    dirty_.clear();
    inChange_ = false;
    pageCount_ = originalCount_;
    if (fresh_) return Status::ok();
    filePages_ = std::min(filePages_, originalCount_);  // the recovery truncates the file to its old size
    if (journalFd_ >= 0) {
        ::close(journalFd_);
        journalFd_ = -1;
    }
    // Our own lock keeps other writers out, so the generic recovery can run
    // on a second descriptor.
    return rollbackHotJournal(path_);
}

}  // namespace veltrano::access
