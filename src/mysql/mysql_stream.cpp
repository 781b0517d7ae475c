#include "mysql/mysql_stream.h"

#include <mysql.h>
#include <errmsg.h>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_internal.h"

namespace veltrano {

MYSQL_STREAM::MYSQL_STREAM(MYSQL_CONNECTION& connection) : link_(connection.link_) {}

MYSQL_STREAM::~MYSQL_STREAM() { Close(); }

MYSQL_CONNECTION* MYSQL_STREAM::connection() const {
    auto link = link_.lock();
    return link ? link->connection : nullptr;
}

bool MYSQL_STREAM::Open(std::string_view sql) {
    Close();
    columns_.clear();
    rowNumber_ = 0;
    MYSQL_CONNECTION* conn = connection();
    if (!conn) return false;
    conn->error_.Clear();
    conn->queryString_ = std::string(sql);
    if (conn->state_ != 0 || !conn->handle_) {
        conn->error_.SetError(CR_SERVER_GONE_ERROR, kNotConnected);
        return false;
    }
    MYSQL* h = conn->handle_;
    if (mysql_real_query(h, sql.data(), sql.size()) != 0) {
        conn->CaptureError();
        return false;
    }
    MYSQL_RES* result = mysql_use_result(h);
    if (!result) {
        conn->CaptureError();  // nothing when the statement simply had no rows
        return false;
    }
    result_ = result;
    conn->stream_ = this;
    unsigned count = mysql_num_fields(result);
    columns_.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        const ::MYSQL_FIELD* f = mysql_fetch_field_direct(result, i);
        MySqlColumnInfo c;
        if (f) {
            c.name = f->name ? f->name : "";
            c.table = f->table ? f->table : "";
            c.type = static_cast<int32_t>(f->type);
            c.length = static_cast<int64_t>(f->length);
            c.flags = static_cast<int32_t>(f->flags);
            c.decimals = static_cast<int32_t>(f->decimals);
            c.charsetNr = static_cast<int32_t>(f->charsetnr);
        }
        columns_.push_back(std::move(c));
    }
    return true;
}

bool MYSQL_STREAM::Next() {
    if (!result_) return false;
    MYSQL_CONNECTION* conn = connection();
    // The library keeps the number of the last failed call (for instance a
    // statement refused while this read was open), so only a number that
    // appears with the end of the rows means the read broke off.
    unsigned before = conn && conn->handle_ ? mysql_errno(conn->handle_) : 0;
    row_ = mysql_fetch_row(result_);
    if (!row_) {
        if (conn && conn->handle_ && mysql_errno(conn->handle_) != before) conn->CaptureError();
        Close();
        return false;
    }
    lengths_ = mysql_fetch_lengths(result_);
    ++rowNumber_;
    return true;
}

void MYSQL_STREAM::Close() {
    if (result_) {
        mysql_free_result(result_);  // skips the rows not read yet
        result_ = nullptr;
        if (MYSQL_CONNECTION* conn = connection(); conn && conn->stream_ == this) conn->stream_ = nullptr;
    }
    row_ = nullptr;
    lengths_ = nullptr;
}

void MYSQL_STREAM::Detach() { Close(); }

bool MYSQL_STREAM::IsNull(int32_t i) const { return !row_ || !row_[i]; }

std::string_view MYSQL_STREAM::Bytes(int32_t i) const {
    if (!row_ || !row_[i]) return {};
    return std::string_view(row_[i], lengths_[i]);
}

FieldValue MYSQL_STREAM::Value(int32_t i) const {
    FieldValue v;
    ValueInto(i, v);
    return v;
}

void MYSQL_STREAM::ValueInto(int32_t i, FieldValue& out) const {
    if (!row_ || !row_[i]) out = FieldValue::null();
    else out.assignText(std::string_view(row_[i], lengths_[i]));
}

std::vector<FieldValue> MYSQL_STREAM::Row() const {
    std::vector<FieldValue> values;
    values.reserve(columns_.size());
    for (int32_t i = 0; i < FieldCount(); ++i) values.push_back(Value(i));
    return values;
}

}  // namespace veltrano
