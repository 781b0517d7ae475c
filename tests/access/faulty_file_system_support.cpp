#include "faulty_file_system.h"

namespace storage_test {

using namespace veltrano::access;

namespace {

class FaultyFile final : public File {
public:
    FaultyFile(std::unique_ptr<File> base, FaultyFileSystem& fs) : base_(std::move(base)), fs_(fs) {}

    Status read(uint64_t offset, MutableBytes out) override {
        ACCESS_RETURN_IF_ERROR(fs_.next(kFaultRead));
        return base_->read(offset, out);
    }
    Status write(uint64_t offset, Bytes data) override {
        ACCESS_RETURN_IF_ERROR(fs_.next(kFaultWrite));
        return base_->write(offset, data);
    }
    Result<uint64_t> size() override { return base_->size(); }
    Status sync() override {
        ACCESS_RETURN_IF_ERROR(fs_.next(kFaultSync));
        return base_->sync();
    }
    Status truncate(uint64_t size) override {
        ACCESS_RETURN_IF_ERROR(fs_.next(kFaultTruncate));
        return base_->truncate(size);
    }
    Status tryLock(LockKind kind) override { return base_->tryLock(kind); }
    Status unlock() override { return base_->unlock(); }
    bool readOnly() const override { return base_->readOnly(); }
    const std::string& path() const override { return base_->path(); }

private:
    std::unique_ptr<File> base_;
    FaultyFileSystem& fs_;
};

}  // namespace

void FaultyFileSystem::failAt(uint64_t n, uint64_t count, unsigned kinds, Status error) {
    armed_ = n > 0 && count > 0;
    countdown_ = n;
    count_ = count;
    kinds_ = kinds;
    failuresLeft_ = 0;
    fired_ = false;
    error_ = std::move(error);
}

Status FaultyFileSystem::next(unsigned kind) {
    ++operations_;
    if (failuresLeft_ > 0) {
        if (failuresLeft_ != kForGood) --failuresLeft_;
        return error_;
    }
    if (!armed_ || !(kind & kinds_) || --countdown_ > 0) return Status::ok();
    armed_ = false;
    fired_ = true;
    failuresLeft_ = count_ == kForGood ? kForGood : count_ - 1;
    return error_;
}

Result<std::unique_ptr<File>> FaultyFileSystem::open(const std::string& path, OpenMode mode) {
    ACCESS_RETURN_IF_ERROR(next(kFaultOpen));
    ACCESS_ASSIGN_OR_RETURN(auto file, base_.open(path, mode));
    return std::unique_ptr<File>(new FaultyFile(std::move(file), *this));
}

Status FaultyFileSystem::remove(const std::string& path) {
    ACCESS_RETURN_IF_ERROR(next(kFaultRemove));
    return base_.remove(path);
}

Status FaultyFileSystem::syncDirectory(const std::string& path) {
    ACCESS_RETURN_IF_ERROR(next(kFaultSync));
    return base_.syncDirectory(path);
}

}  // namespace storage_test
