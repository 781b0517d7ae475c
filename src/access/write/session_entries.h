// The new leaf entries of an append session, per real index of the table,
// until close() merges them into the index trees.
//
// They stay in memory up to a budget (all indexes together, the vectors'
// own growth included). Past it, each index's entries are sorted and
// written to the spill file as a run, and memory starts over. A run whose
// first entry sorts after the last of the index's previous run (rows
// arriving in key order) continues that run, so an index fed in order has
// a single run however long the session. merge() reads the existing tree,
// the runs and what is still in memory together, in order, holding one
// chunk of each run at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "access/base/status.h"
#include "access/write/index_writer.h"
#include "access/write/spill_file.h"

namespace veltrano::access {

class SessionEntries {
public:
    SessionEntries() = default;
    SessionEntries(SpillFile& spill, size_t indexes, size_t budgetBytes);

    // May spill: a failed write fails the session.
    Status add(size_t index, std::string entry);
    // Gives `take` the entries of `index` together with those `tree` (a
    // started cursor over the index's tree) has left, in ascending order,
    // then forgets the index's entries.
    Status merge(size_t index, IndexCursor& tree, const std::function<Status(const std::string&)>& take);

private:
    struct Run {
        std::vector<SpillExtent> segments;  // read one after the other
        std::string last;               // its highest entry
    };
    Status spill();
    Status writeRun(size_t index);

    SpillFile* spill_ = nullptr;
    size_t budget_ = 0;
    size_t bytes_ = 0;  // what memory_ takes
    std::vector<std::vector<std::string>> memory_;
    std::vector<std::vector<Run>> runs_;
};

}  // namespace veltrano::access
