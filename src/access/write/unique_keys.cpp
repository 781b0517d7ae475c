#include "access/write/unique_keys.h"

#include <algorithm>

namespace veltrano::access {

bool UniqueKeySet::contains(const std::string& key) const {
    if (!rest_.empty() && rest_.count(key)) return true;
    if (run_.empty() || run_.back() < key) return false;
    return std::binary_search(run_.begin(), run_.end(), key);
}

void UniqueKeySet::insert(std::string key) {
    if (run_.empty() || run_.back() < key) {
        run_.push_back(std::move(key));
    } else {
        rest_.insert(std::move(key));
    }
}

void UniqueKeySet::clear() {
    std::vector<std::string>().swap(run_);
    std::unordered_set<std::string>().swap(rest_);
}

}  // namespace veltrano::access
