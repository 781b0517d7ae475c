// A FileSystem for tests that makes one chosen file operation fail.
//
// It wraps another FileSystem and counts the operations made through it and
// the files it opened: open, read, write, sync (of a file or a folder),
// truncate and remove. failAt(n, count) makes the n-th counted operation
// from now and the count - 1 after it fail with the given status, without
// touching the file: count 1 is a passing fault, kForGood a disk that died.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "access/storage/file.h"

namespace storage_test {

enum FaultKinds : unsigned {
    kFaultOpen = 1,
    kFaultRead = 2,
    kFaultWrite = 4,
    kFaultSync = 8,
    kFaultTruncate = 16,
    kFaultRemove = 32,
    kFaultAny = 63,
};

class FaultyFileSystem final : public veltrano::access::FileSystem {
public:
    explicit FaultyFileSystem(veltrano::access::FileSystem& base) : base_(base) {}

    static constexpr uint64_t kForGood = UINT64_MAX;
    // Counts only operations of `kinds` when looking for the n-th (n >= 1);
    // the failures after it hit operations of any kind.
    void failAt(uint64_t n, uint64_t count, unsigned kinds = kFaultAny,
                veltrano::access::Status error = veltrano::access::Status::ioError("injected fault"));
    void disarm() {
        armed_ = false;
        failuresLeft_ = 0;
    }
    bool fired() const { return fired_; }
    uint64_t operations() const { return operations_; }  // counted since construction

    // Every operation passes through here; the error to give, or success.
    veltrano::access::Status next(unsigned kind);

    veltrano::access::Result<std::unique_ptr<veltrano::access::File>> open(const std::string& path,
                                                                           veltrano::access::OpenMode mode) override;
    veltrano::access::Status remove(const std::string& path) override;
    veltrano::access::Status syncDirectory(const std::string& path) override;
    bool sharedWithOtherPrograms() const override { return base_.sharedWithOtherPrograms(); }

private:
    veltrano::access::FileSystem& base_;
    uint64_t operations_ = 0;
    uint64_t countdown_ = 0;
    uint64_t count_ = 0;
    uint64_t failuresLeft_ = 0;  // after the first
    unsigned kinds_ = kFaultAny;
    bool armed_ = false, fired_ = false;
    veltrano::access::Status error_;
};

}  // namespace storage_test
