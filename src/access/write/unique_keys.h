// The keys of one unique index, for the duplicate check every appended row
// goes through.
//
// Imported rows mostly arrive in key order (an auto-number, or the source's
// own primary key), so keys that sort after every key seen so far form a
// run: checking and adding one costs a single comparison. The run goes to
// the session's spill file in blocks of about 4 KB, and memory keeps only
// the first key of each block (a sparse index) and the block being filled,
// so millions of keys in order cost a few megabytes. A key below the run's
// highest is looked up in the one block that can hold it: one small read
// (the last block read is kept, for lookups close together).
//
// Keys that arrive out of order go to a hash set and stay in memory, about
// 60 bytes plus the key each: rows in random or descending key order still
// cost memory per row. Every key of that set is below the run's highest key
// (the run only grows), so keys above it skip the set too.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "access/base/status.h"
#include "access/write/spill_file.h"

namespace veltrano::access {

class UniqueKeySet {
public:
    explicit UniqueKeySet(SpillFile& spill) : spill_(&spill) {}

    Result<bool> contains(const std::string& key);
    // REQUIRES: !contains(key).
    Status insert(const std::string& key);
    void clear();

private:
    struct Block {
        std::string first;  // its lowest key
        uint64_t offset = 0;
        uint32_t size = 0;
    };
    Status writeBlock();
    Result<bool> blockHolds(size_t block, const std::string& key);

    SpillFile* spill_;
    std::vector<Block> blocks_;  // the run's written blocks, in key order
    std::string filling_;        // the run's keys after the last block, encoded as in a block
    std::string fillingFirst_;
    std::string highest_;  // the run's last key
    bool runEmpty_ = true;
    std::unordered_set<std::string> rest_;  // keys that arrived out of order
    size_t cachedBlock_ = SIZE_MAX;
    std::string cached_;
};

}  // namespace veltrano::access
