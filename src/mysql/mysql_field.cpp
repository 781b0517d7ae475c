#include "mysql/mysql_field.h"

#include <mysql.h>

#include <cmath>

#include "mysql/mysql_rs.h"
#include "mysql/mysql_internal.h"

namespace veltrano {

namespace {

const ::MYSQL_FIELD* asRecord(const void* p) { return static_cast<const ::MYSQL_FIELD*>(p); }

std::string readCString(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace

void MYSQL_FIELD::Reset() {
    result_ = nullptr;
    row_ = nullptr;
    lengths_ = nullptr;
    count_ = 0;
    index_ = -1;
    nameIndex_.clear();
}

void MYSQL_FIELD::Bind(const FieldValue& key, int32_t count, st_mysql_res* result, char** row,
                       unsigned long* lengths) {
    result_ = result;
    row_ = row;
    lengths_ = lengths;
    count_ = count;
    if (auto number = columnNumber(key))
        index_ = *number;
    else if (key.isText())
        index_ = IndexOfName(key.asText());
    else
        index_ = -1;
    if (index_ < 0 || count_ == 0 || index_ >= count_) {
        result_ = nullptr;
        row_ = nullptr;
        lengths_ = nullptr;
    }
}

void MYSQL_FIELD::BuildNameIndex() {
    if (!nameIndex_.empty() || count_ < 1 || !result_) return;
    for (int32_t number = 1; number <= count_; ++number) {
        const ::MYSQL_FIELD* f = mysql_fetch_field_direct(result_, static_cast<unsigned>(number - 1));
        std::string name = f ? readCString(f->name) : std::string();
        if (name.empty()) continue;
        nameIndex_.emplace(upperAscii(name), number);  // a name already present keeps its first column
    }
}

int32_t MYSQL_FIELD::IndexOfName(const std::string& name) {
    BuildNameIndex();
    auto it = nameIndex_.find(upperAscii(name));
    return it == nameIndex_.end() ? -1 : it->second - 1;
}

const void* MYSQL_FIELD::FieldRecord() const {
    if (!result_ || index_ < 0 || index_ >= count_) return nullptr;
    return mysql_fetch_field_direct(result_, static_cast<unsigned>(index_));
}

std::string MYSQL_FIELD::Name() const {
    auto* f = asRecord(FieldRecord());
    return f ? readCString(f->name) : std::string();
}

std::string MYSQL_FIELD::Table() const {
    auto* f = asRecord(FieldRecord());
    return f ? readCString(f->table) : std::string();
}

int32_t MYSQL_FIELD::MySqlType() const {
    auto* f = asRecord(FieldRecord());
    return f ? static_cast<int32_t>(f->type) : kMySqlTypeString;
}

int64_t MYSQL_FIELD::Length() const {
    auto* f = asRecord(FieldRecord());
    return f ? static_cast<int64_t>(f->length) : 0;
}

int64_t MYSQL_FIELD::MaxLength() const {
    auto* f = asRecord(FieldRecord());
    return f ? static_cast<int64_t>(f->max_length) : 0;
}

int32_t MYSQL_FIELD::Flags() const {
    auto* f = asRecord(FieldRecord());
    return f ? static_cast<int32_t>(f->flags) : 0;
}

int32_t MYSQL_FIELD::Decimals() const {
    auto* f = asRecord(FieldRecord());
    return f ? static_cast<int32_t>(f->decimals) : 0;
}

int32_t MYSQL_FIELD::CharSetNr() const {
    auto* f = asRecord(FieldRecord());
    return f ? static_cast<int32_t>(f->charsetnr) : 0;
}

FieldValue MYSQL_FIELD::RawValue() const {
    if (!row_ || !lengths_ || index_ < 0 || index_ >= count_) return FieldValue();
    const char* bytes = row_[index_];
    if (!bytes) return FieldValue::null();
    return FieldValue(std::string(bytes, lengths_[index_]));
}

FieldValue MYSQL_FIELD::Value() const {
    if (!row_ || !lengths_ || index_ < 0 || index_ >= count_) return FieldValue();
    if (parent_->edits_)  // the name is read only when some row has saved edits
        if (const FieldValue* saved = parent_->SavedEdit(Name())) return *saved;
    return RawValue();
}

void MYSQL_FIELD::Value(const FieldValue& vNewValue) {
    std::string name = Name();
    if (trimmedBlanks(name).empty() || trimmedBlanks(Table()).empty()) return;
    parent_->StageChange(name, vNewValue);
}

}  // namespace veltrano
