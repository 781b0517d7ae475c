// Staged row changes of a MYSQL_RS.
//
// MYSQL_UPDATE is a keyed list of rows (key "R" + row number; rows added for
// row number 0 have no key and are reached by 1-based position only). Each
// row is a MYSQL_UPDATE_FIELDS: a list of MYSQL_UPDATE_FIELD keyed by column
// name, letter case ignored; a column staged again moves to the end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/field_value.h"

namespace veltrano {

class MYSQL_UPDATE_FIELD {
public:
    const std::string& Name() const { return name_; }
    void Name(std::string vNewValue) { name_ = std::move(vNewValue); }
    const FieldValue& Value() const { return value_; }
    void Value(FieldValue vNewValue) { value_ = std::move(vNewValue); }
    // True once the change has been written to the server by an UPDATE.
    bool Updated() const { return updated_; }
    void Updated(bool vNewValue) { updated_ = vNewValue; }

private:
    std::string name_;
    FieldValue value_;
    bool updated_ = false;
};

class MYSQL_UPDATE_FIELDS {
public:
    // New item (Updated false) keyed by Name; an item of the same name is
    // removed first, so the new one goes to the end.
    MYSQL_UPDATE_FIELD& Add(const std::string& Name, const FieldValue& Value);
    // By column name (any letter case) when the key is text, by 1-based
    // position when it is a number. Null when there is none.
    MYSQL_UPDATE_FIELD* Item(const FieldValue& vntIndexKey);
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }

private:
    std::vector<std::unique_ptr<MYSQL_UPDATE_FIELD>> items_;
};

class MYSQL_UPDATE {
public:
    // Adds an empty entry for row lRow (no key when lRow is 0) and returns it;
    // an existing entry with that key is returned instead.
    MYSQL_UPDATE_FIELDS& Add(int64_t lRow);
    // Removes the entry keyed R<lIndexKey> when bIsRowNum, else the one at
    // 1-based position lIndexKey. Nothing when there is none.
    void Remove(int64_t lIndexKey, bool bIsRowNum);
    MYSQL_UPDATE_FIELDS* Item(int64_t lIndexKey, bool bIsRowNum);
    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }

private:
    struct Entry {
        int64_t row;  // 0 = no key
        std::unique_ptr<MYSQL_UPDATE_FIELDS> fields;
    };
    std::vector<Entry> entries_;
    std::size_t find(int64_t lIndexKey, bool bIsRowNum) const;  // entries_.size() when absent
};

}  // namespace veltrano
