// POSIX and in-memory files and file systems; see file.h.
#include "access/storage/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

namespace veltrano::access {

namespace {

std::string errnoText(const std::string& what, const std::string& path, int err) {
    return what + " '" + path + "': " + std::strerror(err);
}

// A failed write, sync or truncation, in the words callers show.
Status writeError(const std::string& what, const std::string& path, int err) {
    // EFBIG: the OS or the file system lets this file grow no further,
    // which to the user is a full destination like any other.
    if (err == ENOSPC || err == EDQUOT || err == EFBIG) return Status::diskFull();
    if (err == EROFS) return Status::readOnly();
    return Status::ioError(errnoText(what, path, err));
}

class PosixFile final : public File {
public:
    PosixFile(int fd, std::string path, bool readOnly)
        : fd_(fd), path_(std::move(path)), readOnly_(readOnly) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);  // closing the description drops its locks
    }

    Status read(uint64_t offset, MutableBytes out) override {
        size_t done = 0;
        while (done < out.size()) {
            ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return Status::ioError(errnoText("cannot read", path_, errno));
            }
            if (n == 0) return Status::corruption("unexpected end of file in '" + path_ + "'");
            done += static_cast<size_t>(n);
        }
        return {};
    }

    Status write(uint64_t offset, Bytes data) override {
        if (readOnly_) return Status::ioError("'" + path_ + "' is open read-only");
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                 static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return writeError("cannot write", path_, errno);
            }
            done += static_cast<size_t>(n);
        }
        return {};
    }

    Result<uint64_t> size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) return Status::ioError(errnoText("cannot stat", path_, errno));
        return static_cast<uint64_t>(st.st_size);
    }

    Status sync() override {
        if (readOnly_) return {};
        if (::fsync(fd_) != 0) return writeError("cannot sync", path_, errno);
        return {};
    }

    void startWriteback(uint64_t offset) override {
#ifdef __linux__
        if (!readOnly_) (void)::sync_file_range(fd_, static_cast<off_t>(offset), 0, SYNC_FILE_RANGE_WRITE);
#else
        (void)offset;
#endif
    }

    Status truncate(uint64_t size) override {
        if (readOnly_) return Status::ioError("'" + path_ + "' is open read-only");
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            return writeError("cannot truncate", path_, errno);
        return {};
    }

    Status tryLock(LockKind kind) override {
        struct flock fl;
        std::memset(&fl, 0, sizeof fl);
        fl.l_type = kind == LockKind::Shared ? F_RDLCK : F_WRLCK;
        fl.l_whence = SEEK_SET;  // start 0, length 0: the whole file, however long
        if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return {};
        if (errno == EACCES || errno == EAGAIN)
            return Status::inUse("File already in use by another program: '" + path_ + "'");
        // File systems without lock support (some network mounts) cannot
        // coordinate anyone; refusing every file there would help no one.
        if (errno == ENOLCK || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return {};
        if (errno == EBADF && kind == LockKind::Exclusive)
            return Status::ioError("'" + path_ + "' is open read-only and cannot be locked for writing");
        return Status::ioError(errnoText("cannot lock", path_, errno));
    }

    Status unlock() override {
        struct flock fl;
        std::memset(&fl, 0, sizeof fl);
        fl.l_type = F_UNLCK;
        fl.l_whence = SEEK_SET;
        if (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) return Status::ioError(errnoText("cannot unlock", path_, errno));
        return {};
    }

    bool readOnly() const override { return readOnly_; }
    const std::string& path() const override { return path_; }

private:
    int fd_;
    std::string path_;
    bool readOnly_;
};

class MemoryFile final : public File {
public:
    // `data` may be shared with other MemoryFiles of the same path.
    MemoryFile(std::shared_ptr<std::vector<uint8_t>> data, bool readOnly, std::string path)
        : data_(std::move(data)), readOnly_(readOnly), path_(std::move(path)) {}

    Status read(uint64_t offset, MutableBytes out) override {
        const std::vector<uint8_t>& data = *data_;
        if (offset > data.size() || out.size() > data.size() - offset)
            return Status::corruption("unexpected end of file");
        if (!out.empty()) std::memcpy(out.data(), data.data() + offset, out.size());
        return {};
    }
    Status write(uint64_t offset, Bytes bytes) override {
        if (readOnly_) return Status::ioError("file is open read-only");
        constexpr uint64_t kMax = uint64_t{1} << 32;  // memory files are for tests and small builds
        if (offset > kMax || bytes.size() > kMax - offset) return Status::ioError("memory file too large");
        std::vector<uint8_t>& data = *data_;
        if (offset + bytes.size() > data.size()) data.resize(offset + bytes.size());
        if (!bytes.empty()) std::memcpy(data.data() + offset, bytes.data(), bytes.size());
        return {};
    }
    Result<uint64_t> size() override { return static_cast<uint64_t>(data_->size()); }
    Status sync() override { return {}; }
    Status truncate(uint64_t size) override {
        if (readOnly_) return Status::ioError("file is open read-only");
        data_->resize(size);
        return {};
    }
    Status tryLock(LockKind) override { return {}; }
    Status unlock() override { return {}; }
    bool readOnly() const override { return readOnly_; }
    const std::string& path() const override { return path_; }

private:
    std::shared_ptr<std::vector<uint8_t>> data_;
    bool readOnly_;
    std::string path_;
};

class PosixFileSystem final : public FileSystem {
public:
    Result<std::unique_ptr<File>> open(const std::string& path, OpenMode mode) override {
        return openPosixFile(path, mode);
    }
    Status remove(const std::string& path) override {
        if (::unlink(path.c_str()) == 0) return {};
        if (errno == ENOENT) return Status::notFound("file not found: '" + path + "'");
        if (errno == EACCES || errno == EPERM || errno == EROFS) return Status::readOnly();
        return Status::ioError(errnoText("cannot remove", path, errno));
    }
    Status syncDirectory(const std::string& path) override {
        size_t slash = path.rfind('/');
        std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        // A directory we may not open for reading cannot be synced by us;
        // its entries become durable with the file system's own flush.
        int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return {};
        int rc = ::fsync(fd);
        int err = errno;
        ::close(fd);
        // Some file systems cannot sync a directory at all (EINVAL).
        if (rc != 0 && err != EINVAL && err != EROFS) return writeError("cannot sync the folder", dir, err);
        return {};
    }
    bool sharedWithOtherPrograms() const override { return true; }
};

}  // namespace

Result<std::unique_ptr<File>> openPosixFile(const std::string& path, OpenMode mode) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::ReadOnly: flags |= O_RDONLY; break;
        case OpenMode::ReadWrite: flags |= O_RDWR; break;
        case OpenMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
        case OpenMode::CreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        int err = errno;
        if (err == ENOENT) return Status::notFound("file not found: '" + path + "'");
        if (err == EEXIST) return Status::invalidArgument("the file '" + path + "' already exists");
        if (mode != OpenMode::ReadOnly && (err == EACCES || err == EPERM || err == EROFS)) return Status::readOnly();
        if (err == EACCES || err == EPERM) return Status::ioError(errnoText("no permission to open", path, err));
        return Status::ioError(errnoText("cannot open", path, err));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::invalidArgument("'" + path + "' is not a regular file");
    }
    return std::unique_ptr<File>(new PosixFile(fd, path, mode == OpenMode::ReadOnly));
}

std::unique_ptr<File> newMemoryFile(std::vector<uint8_t> contents, bool readOnly) {
    return std::make_unique<MemoryFile>(std::make_shared<std::vector<uint8_t>>(std::move(contents)), readOnly,
                                        std::string());
}

FileSystem& posixFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

struct MemoryFileSystem::Files {
    std::map<std::string, std::shared_ptr<std::vector<uint8_t>>> byPath;
};

MemoryFileSystem::MemoryFileSystem() : files_(std::make_unique<Files>()) {}
MemoryFileSystem::~MemoryFileSystem() = default;

Result<std::unique_ptr<File>> MemoryFileSystem::open(const std::string& path, OpenMode mode) {
    auto& byPath = files_->byPath;
    auto it = byPath.find(path);
    if (it == byPath.end()) {
        if (mode == OpenMode::ReadOnly || mode == OpenMode::ReadWrite)
            return Status::notFound("file not found: '" + path + "'");
        it = byPath.emplace(path, std::make_shared<std::vector<uint8_t>>()).first;
    } else if (mode == OpenMode::CreateNew) {
        return Status::invalidArgument("the file '" + path + "' already exists");
    } else if (mode == OpenMode::CreateTruncate) {
        it->second->clear();
    }
    return std::unique_ptr<File>(new MemoryFile(it->second, mode == OpenMode::ReadOnly, path));
}

Status MemoryFileSystem::remove(const std::string& path) {
    // Files still open keep their bytes, as after unlink().
    if (files_->byPath.erase(path) == 0) return Status::notFound("file not found: '" + path + "'");
    return {};
}

bool MemoryFileSystem::exists(const std::string& path) const { return files_->byPath.count(path) != 0; }

std::vector<uint8_t> MemoryFileSystem::contents(const std::string& path) const {
    auto it = files_->byPath.find(path);
    return it == files_->byPath.end() ? std::vector<uint8_t>() : *it->second;
}

void MemoryFileSystem::setContents(const std::string& path, std::vector<uint8_t> bytes) {
    files_->byPath[path] = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
}

Result<bool> isLockedByOther(const std::string& path, LockKind kind) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return false;
        return Status::ioError(errnoText("cannot open", path, errno));
    }
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    // Asking about a write lock reports any lock; asking about a read lock
    // reports only write locks.
    fl.l_type = kind == LockKind::Shared ? F_RDLCK : F_WRLCK;
    fl.l_whence = SEEK_SET;
    int rc = ::fcntl(fd, F_OFD_GETLK, &fl);
    int err = errno;
    ::close(fd);
    if (rc != 0) {
        if (err == ENOLCK || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) return false;  // no lock support
        return Status::ioError(errnoText("cannot query locks on", path, err));
    }
    return fl.l_type != F_UNLCK;
}

}  // namespace veltrano::access
