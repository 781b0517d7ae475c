// MYSQL_RS: running a statement into the result set, the cursor, field
// views, finds and the HTML dump. Row editing is in mysql_rs_edit.cpp.
#include "mysql/mysql_rs.h"

#include <mysql.h>

#include <vector>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_internal.h"

namespace veltrano {

MYSQL_RS::MYSQL_RS() : field_(std::make_unique<MYSQL_FIELD>(this)) {}

MYSQL_RS::~MYSQL_RS() { FreeResult(); }

void MYSQL_RS::SetConnection(const std::shared_ptr<ConnectionLink>& link) { link_ = link; }

MYSQL_CONNECTION* MYSQL_RS::connection() const {
    auto link = link_.lock();
    return link ? link->connection : nullptr;
}

bool MYSQL_RS::RunQuery(std::string_view statement, st_mysql* handle) {
    CloseRecordset();
    affected_ = 0;
    queryString_ = std::string(statement);
    if (mysql_real_query(handle, statement.data(), statement.size()) != 0) return false;
    MYSQL_RES* result = mysql_store_result(handle);
    if (result) {
        result_ = result;
        affected_ = static_cast<int64_t>(mysql_affected_rows(handle));
        recordCount_ = static_cast<int64_t>(mysql_num_rows(result));
        fieldCount_ = static_cast<int32_t>(mysql_num_fields(result));
        state_ = 0;
        position_ = 1;
        LoadRow(true);
        return true;
    }
    if (mysql_field_count(handle) != 0) return false;  // rows that could not be taken in
    affected_ = static_cast<int64_t>(mysql_affected_rows(handle));
    return true;
}

void MYSQL_RS::LoadRow(bool skipFinishing) {
    if (!skipFinishing) FinishEdit();
    if (!result_ || position_ < 1 || position_ > recordCount_) {
        row_ = nullptr;
        lengths_ = nullptr;
        loadedRow_ = 0;
        return;
    }
    mysql_data_seek(result_, static_cast<my_ulonglong>(position_ - 1));
    row_ = mysql_fetch_row(result_);
    lengths_ = row_ ? mysql_fetch_lengths(result_) : nullptr;
    loadedRow_ = row_ ? position_ : 0;
}

void MYSQL_RS::SetPosition(int64_t position, bool skipFinishing) {
    position_ = position;
    LoadRow(skipFinishing);
}

void MYSQL_RS::FreeResult() {
    if (result_) mysql_free_result(result_);
    result_ = nullptr;
    row_ = nullptr;
    lengths_ = nullptr;
    loadedRow_ = 0;
    position_ = 0;
    recordCount_ = 0;
    fieldCount_ = 0;
    affected_ = 0;
    queryString_.clear();
    // The same view object lives on, unbound, so a view kept by a caller
    // can never point into freed memory.
    field_->Reset();
    newRows_.reset();
    edits_.reset();
    deleted_.reset();
    editRow_ = 0;
    editMode_ = 0;
    state_ = 1;
}

void MYSQL_RS::CloseRecordset() {
    if (state_ != 0) return;
    FinishEdit();
    FreeResult();
}

MYSQL_FIELD& MYSQL_RS::Fields(const FieldValue& vIndexKey) {
    if (BOF() || Eof())
        field_->Bind(FieldValue(-1), 0, nullptr, nullptr, nullptr);
    else
        field_->Bind(vIndexKey, fieldCount_, result_, row_, lengths_);
    return *field_;
}

MYSQL_FIELD& MYSQL_RS::Fields(int32_t index) { return Fields(FieldValue(index)); }

bool MYSQL_RS::BOF() const { return state_ == 1 || recordCount_ == 0 || position_ == 0; }

bool MYSQL_RS::Eof() const { return position_ > recordCount_ || state_ == 1 || recordCount_ == 0; }

int64_t MYSQL_RS::AbsolutePosition() const {
    if (recordCount_ == 0 || state_ == 1) return -1;
    if (BOF()) return -3;
    if (Eof()) return -2;
    return position_;
}

void MYSQL_RS::AbsolutePosition(int64_t lPosition) {
    if (state_ != 0 || recordCount_ == 0 || lPosition < 1 || lPosition > recordCount_) return;
    SetPosition(lPosition, false);
}

void MYSQL_RS::MoveFirst() {
    if (state_ == 0) SetPosition(1, false);
}

void MYSQL_RS::MoveLast() {
    if (state_ == 0) SetPosition(recordCount_, false);
}

void MYSQL_RS::MovePrevious() {
    if (state_ == 0 && position_ >= 1) SetPosition(position_ - 1, false);
}

void MYSQL_RS::MoveNext() {
    if (state_ == 0 && position_ <= recordCount_) SetPosition(position_ + 1, false);
}

namespace {

std::vector<std::string> tableNames(st_mysql_res* result, int32_t count) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < count; ++i) {
        const ::MYSQL_FIELD* f = mysql_fetch_field_direct(result, static_cast<unsigned>(i));
        std::string name(trimmedBlanks(f && f->table ? f->table : ""));
        if (name.empty()) continue;
        bool known = false;
        for (const auto& n : names) known = known || n == name;
        if (!known) names.push_back(std::move(name));
    }
    return names;
}

}  // namespace

int32_t MYSQL_RS::TableCount() {
    if (BOF() || Eof()) return 0;  // no current row: no column is named
    return static_cast<int32_t>(tableNames(result_, fieldCount_).size());
}

std::string MYSQL_RS::Table() {
    if (BOF() || Eof()) return {};
    std::string joined;
    for (const auto& name : tableNames(result_, fieldCount_)) {
        if (!joined.empty()) joined += ',';
        joined += name;
    }
    return joined;
}

int32_t MYSQL_RS::ColumnOf(const std::string& name) {
    std::string wanted = upperAscii(trimmedBlanks(name));
    for (int32_t i = 0; i < fieldCount_; ++i) {
        const ::MYSQL_FIELD* f = mysql_fetch_field_direct(result_, static_cast<unsigned>(i));
        if (f && f->name && upperAscii(trimmedBlanks(f->name)) == wanted) return i;
    }
    return -1;
}

int32_t MYSQL_RS::AcceptsColumn(const FieldValue& vField) {
    if (auto number = columnNumber(vField)) return *number >= 0 && *number < fieldCount_ ? *number : -1;
    return vField.isText() ? ColumnOf(vField.asText()) : -1;
}

namespace {

// Value equality of the finds: texts equal when identical; Null equals
// nothing; an Empty search value equals the empty text.
bool findEquals(const FieldValue& value, const FieldValue& wanted) {
    if (!value.isText()) return false;
    if (wanted.isEmpty()) return value.asText().empty();
    return wanted.isText() && wanted.asText() == value.asText();
}

}  // namespace

int64_t MYSQL_RS::Find(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod,
                       int64_t from, int64_t to) {
    if (recordCount_ == 0 || state_ == 1) return -1;
    // The column is resolved once, trimmed and in any letter case.
    const int32_t column = AcceptsColumn(vField);
    if (column < 0) return -1;
    // A find that may leave the cursor elsewhere finishes a pending edit
    // first, as every move does; otherwise a later Update would write the
    // edited row's changes with the found row's key.
    if (FindMethod == kFindFinishEdit || (FindMethod != kFindKeepPosition && editMode_ != kEditNone))
        FinishEdit();
    const int64_t remembered = position_;
    const int64_t step = from <= to ? 1 : -1;
    if (from >= 1 && from <= recordCount_ && to >= 1 && to <= recordCount_) {
        for (int64_t p = from;; p += step) {
            SetPosition(p, true);
            if (findEquals(Fields(column).Value(), vData)) {
                if (FindMethod == kFindKeepPosition) SetPosition(remembered, true);
                return p;
            }
            if (p == to) break;
        }
    }
    SetPosition(remembered, true);
    return -1;
}

int64_t MYSQL_RS::FindFirst(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod) {
    return Find(vField, vData, FindMethod, 1, recordCount_);
}

int64_t MYSQL_RS::FindLast(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod) {
    return Find(vField, vData, FindMethod, recordCount_, 1);
}

int64_t MYSQL_RS::FindNext(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod) {
    return Find(vField, vData, FindMethod, position_ + 1, recordCount_);
}

int64_t MYSQL_RS::FindPrevious(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod) {
    return Find(vField, vData, FindMethod, position_ - 1, 1);
}

std::string MYSQL_RS::RsToHtmlTable() {
    if (recordCount_ == 0 || state_ == 1) return {};
    const int64_t remembered = position_;
    std::string rows;
    for (int64_t p = 1; p <= recordCount_; ++p) {
        SetPosition(p, true);
        rows += "<tr>";
        for (int32_t c = 0; c < fieldCount_; ++c) {
            FieldValue v = Fields(c).Value();
            std::string text = v.isText() ? v.asText() : std::string();
            if (v.isNull() || trimmedBlanks(text).empty()) text = "&nbsp;";
            rows += "<td>" + text + "</td>";
        }
        rows += "</tr>\r\n";
    }
    SetPosition(remembered, true);
    return "<table border=1>" + rows + "</table>\r\n";
}

void MYSQL_RS::Requery() {
    MYSQL_CONNECTION* conn = connection();
    if (!conn) return;
    std::string statement = queryString_;  // closing the result empties it
    int64_t ignored = 0;
    conn->RunStatement(*this, statement, ignored);
}

}  // namespace veltrano

