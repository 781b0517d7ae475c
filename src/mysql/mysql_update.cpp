#include "mysql/mysql_update.h"

#include <algorithm>

#include "common/names.h"

namespace veltrano {

MYSQL_UPDATE_FIELD& MYSQL_UPDATE_FIELDS::Add(const std::string& Name, const FieldValue& Value) {
    std::erase_if(items_, [&](const auto& item) { return namesEqual(item->Name(), Name); });
    auto item = std::make_unique<MYSQL_UPDATE_FIELD>();
    item->Name(Name);
    item->Value(Value);
    items_.push_back(std::move(item));
    return *items_.back();
}

MYSQL_UPDATE_FIELD* MYSQL_UPDATE_FIELDS::Item(const FieldValue& vntIndexKey) {
    if (vntIndexKey.isNumber()) {
        double n = vntIndexKey.asNumber();
        if (!(n >= 1 && n <= static_cast<double>(items_.size()))) return nullptr;
        return items_[static_cast<std::size_t>(n) - 1].get();
    }
    if (!vntIndexKey.isText()) return nullptr;
    for (auto& item : items_)
        if (namesEqual(item->Name(), vntIndexKey.asText())) return item.get();
    return nullptr;
}

std::size_t MYSQL_UPDATE::find(int64_t lIndexKey, bool bIsRowNum) const {
    if (!bIsRowNum) {
        if (lIndexKey < 1 || lIndexKey > static_cast<int64_t>(entries_.size())) return entries_.size();
        return static_cast<std::size_t>(lIndexKey - 1);
    }
    if (lIndexKey == 0) return entries_.size();  // unkeyed entries are reached by position only
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].row == lIndexKey) return i;
    return entries_.size();
}

MYSQL_UPDATE_FIELDS& MYSQL_UPDATE::Add(int64_t lRow) {
    std::size_t at = find(lRow, true);
    if (at < entries_.size()) return *entries_[at].fields;
    entries_.push_back({lRow, std::make_unique<MYSQL_UPDATE_FIELDS>()});
    return *entries_.back().fields;
}

void MYSQL_UPDATE::Remove(int64_t lIndexKey, bool bIsRowNum) {
    std::size_t at = find(lIndexKey, bIsRowNum);
    if (at < entries_.size()) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
}

MYSQL_UPDATE_FIELDS* MYSQL_UPDATE::Item(int64_t lIndexKey, bool bIsRowNum) {
    std::size_t at = find(lIndexKey, bIsRowNum);
    return at < entries_.size() ? entries_[at].fields.get() : nullptr;
}

}  // namespace veltrano
