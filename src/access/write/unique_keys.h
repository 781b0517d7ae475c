// The keys of one unique index, for the duplicate check every appended row
// goes through.
//
// Imported rows mostly arrive in key order (an auto-number, or the source's
// own primary key), so keys that sort after every key seen so far are kept
// in a sorted run: checking and adding one costs a single comparison and no
// allocation beyond the key itself. Keys that arrive out of order go to a
// hash set; a lookup consults both.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace veltrano::access {

class UniqueKeySet {
public:
    bool contains(const std::string& key) const;
    void insert(std::string key);
    void clear();

private:
    std::vector<std::string> run_;  // strictly increasing
    std::unordered_set<std::string> rest_;
};

}  // namespace veltrano::access
