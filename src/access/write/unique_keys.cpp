#include "access/write/unique_keys.h"

#include <algorithm>

namespace veltrano::access {
namespace {

constexpr size_t kBlockBytes = 4096;

// Whether the records of `block` (ascending keys) hold `key`.
bool recordsHold(std::string_view block, const std::string& key) {
    std::string_view record;
    while (takeRecord(block, record)) {
        int c = record.compare(key);
        if (c == 0) return true;
        if (c > 0) return false;
    }
    return false;
}

}  // namespace

Result<bool> UniqueKeySet::contains(const std::string& key) {
    if (runEmpty_ || highest_ < key) return false;
    if (highest_ == key || (!rest_.empty() && rest_.count(key))) return true;
    if (!filling_.empty() && !(key < fillingFirst_)) return recordsHold(filling_, key);
    auto after = std::upper_bound(blocks_.begin(), blocks_.end(), key,
                                  [](const std::string& k, const Block& b) { return k < b.first; });
    if (after == blocks_.begin()) return false;
    return blockHolds(static_cast<size_t>(after - blocks_.begin()) - 1, key);
}

Result<bool> UniqueKeySet::blockHolds(size_t block, const std::string& key) {
    if (cachedBlock_ != block) {
        const Block& b = blocks_[block];
        cachedBlock_ = SIZE_MAX;
        cached_.resize(b.size);
        ACCESS_RETURN_IF_ERROR(spill_->read(b.offset, cached_.data(), b.size));
        cachedBlock_ = block;
    }
    return recordsHold(cached_, key);
}

Status UniqueKeySet::insert(const std::string& key) {
    if (!runEmpty_ && !(highest_ < key)) {
        rest_.insert(key);
        return Status::ok();
    }
    if (filling_.empty()) fillingFirst_ = key;
    appendRecord(filling_, key);
    highest_ = key;
    runEmpty_ = false;
    return filling_.size() >= kBlockBytes ? writeBlock() : Status::ok();
}

Status UniqueKeySet::writeBlock() {
    Block b;
    b.first = std::move(fillingFirst_);
    b.offset = spill_->end();
    b.size = static_cast<uint32_t>(filling_.size());
    ACCESS_RETURN_IF_ERROR(spill_->append(filling_));
    blocks_.push_back(std::move(b));
    filling_.clear();
    fillingFirst_.clear();
    return Status::ok();
}

void UniqueKeySet::clear() {
    std::vector<Block>().swap(blocks_);
    std::string().swap(filling_);
    std::string().swap(fillingFirst_);
    std::string().swap(highest_);
    runEmpty_ = true;
    std::unordered_set<std::string>().swap(rest_);
    cachedBlock_ = SIZE_MAX;
    std::string().swap(cached_);
}

}  // namespace veltrano::access
