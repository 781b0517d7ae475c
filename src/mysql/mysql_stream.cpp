#include "mysql/mysql_stream.h"

#include <mysql.h>
#include <errmsg.h>

#include <algorithm>
#include <charconv>
#include <cstring>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_internal.h"

namespace veltrano {

namespace {

std::vector<MySqlColumnInfo> columnsOf(MYSQL_RES* result) {
    std::vector<MySqlColumnInfo> columns;
    unsigned count = mysql_num_fields(result);
    columns.reserve(count);
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
        columns.push_back(std::move(c));
    }
    return columns;
}

// How a column of a binary read is received.
enum class Form { Bytes, Integer, Double, Time };

// The form a column arrives in, or false for a type whose text this reader
// could not give exactly as the text protocol would.
bool formOf(const MySqlColumnInfo& c, bool wantNumber, Form& form) {
    switch (c.type) {
        case MYSQL_TYPE_TINY: case MYSQL_TYPE_SHORT: case MYSQL_TYPE_INT24: case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_LONGLONG: case MYSQL_TYPE_YEAR:
            form = Form::Integer;
            return true;
        case MYSQL_TYPE_DOUBLE:
            // Its text is the server's own formatting, which the value alone
            // does not settle (a declared number of places rounds it).
            form = Form::Double;
            return wantNumber;
        case MYSQL_TYPE_DATE: case MYSQL_TYPE_DATETIME: case MYSQL_TYPE_TIMESTAMP: case MYSQL_TYPE_TIME:
            form = Form::Time;
            return true;
        case MYSQL_TYPE_DECIMAL: case MYSQL_TYPE_NEWDECIMAL: case MYSQL_TYPE_VARCHAR: case MYSQL_TYPE_VAR_STRING:
        case MYSQL_TYPE_STRING: case MYSQL_TYPE_TINY_BLOB: case MYSQL_TYPE_MEDIUM_BLOB: case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB: case MYSQL_TYPE_ENUM: case MYSQL_TYPE_SET: case MYSQL_TYPE_BIT:
        case MYSQL_TYPE_GEOMETRY: case MYSQL_TYPE_JSON:
            // Sent as the same bytes in both protocols.
            form = Form::Bytes;
            return true;
        default:
            return false;  // FLOAT (its text is rounded to the float's digits), NULL, types yet unknown
    }
}

void appendDigits(std::string& out, uint64_t value, size_t width) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    size_t n = static_cast<size_t>(r.ptr - buf);
    if (n < width) out.append(width - n, '0');
    out.append(buf, n);
}

// The date and time types as the text protocol writes them: "YYYY-MM-DD",
// "YYYY-MM-DD HH:MM:SS" and "[-]HH:MM:SS" (hours past 24 for a long TIME),
// with as many places of the second as the column declares.
void appendTimeText(std::string& out, const MYSQL_TIME& t, int32_t type, int32_t decimals) {
    if (type != MYSQL_TYPE_TIME) {
        appendDigits(out, t.year, 4);
        out += '-';
        appendDigits(out, t.month, 2);
        out += '-';
        appendDigits(out, t.day, 2);
        if (type == MYSQL_TYPE_DATE) return;
        out += ' ';
        appendDigits(out, t.hour, 2);
    } else {
        if (t.neg) out += '-';
        appendDigits(out, uint64_t{t.day} * 24 + t.hour, 2);
    }
    out += ':';
    appendDigits(out, t.minute, 2);
    out += ':';
    appendDigits(out, t.second, 2);
    if (decimals > 0 && decimals <= 6) {
        std::string fraction;
        appendDigits(fraction, t.second_part, 6);
        out += '.';
        out.append(fraction, 0, static_cast<size_t>(decimals));
    }
}

// Integers as the text protocol writes them: ZEROFILL columns (YEAR among
// them) padded with zeros to their display width.
void appendIntegerText(std::string& out, int64_t value, const MySqlColumnInfo& c) {
    const size_t width = (c.flags & ZEROFILL_FLAG) ? static_cast<size_t>(std::max<int64_t>(c.length, 0)) : 0;
    if ((c.flags & UNSIGNED_FLAG) || value >= 0) {
        appendDigits(out, static_cast<uint64_t>(value), width);
    } else {
        out += '-';
        appendDigits(out, uint64_t{0} - static_cast<uint64_t>(value), 0);
    }
}

// A DOUBLE read as a Number, should its text be asked for after all.
void appendShortestDouble(std::string& out, double value) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

// Bytes a text column's buffer starts with; it grows to the longest value met.
constexpr size_t kFirstBufferBytes = 256;

}  // namespace

struct MYSQL_STREAM::BinaryRead {
    struct Column {
        Form form = Form::Bytes;
        int32_t type = 0;
        bool isUnsigned = false;
        bool number = false;  // give a Number where exact
        std::vector<char> bytes;
        int64_t integer = 0;
        double real = 0;
        MYSQL_TIME time{};
        unsigned long length = 0;
        my_bool null = 0;
        my_bool truncated = 0;
        std::string text;  // an Integer or Time value's text, made when asked for
        bool textMade = false;
    };
    MYSQL_STMT* stmt = nullptr;
    std::vector<Column> columns;  // sized once: the binds point into it
    std::vector<MYSQL_BIND> binds;

    ~BinaryRead() {
        if (stmt) mysql_stmt_close(stmt);  // skips the rows not read yet
    }
    void bind(size_t i) {
        Column& c = columns[i];
        MYSQL_BIND& b = binds[i];
        std::memset(&b, 0, sizeof b);
        b.length = &c.length;
        b.is_null = &c.null;
        b.error = &c.truncated;
        switch (c.form) {
            case Form::Bytes:
                b.buffer_type = MYSQL_TYPE_BLOB;
                b.buffer = c.bytes.data();
                b.buffer_length = c.bytes.size();
                break;
            case Form::Integer:
                b.buffer_type = MYSQL_TYPE_LONGLONG;
                b.buffer = &c.integer;
                b.is_unsigned = c.isUnsigned;
                break;
            case Form::Double:
                b.buffer_type = MYSQL_TYPE_DOUBLE;
                b.buffer = &c.real;
                break;
            case Form::Time:
                b.buffer_type = static_cast<enum_field_types>(c.type);
                b.buffer = &c.time;
                break;
        }
    }
};

MYSQL_STREAM::MYSQL_STREAM(MYSQL_CONNECTION& connection) : link_(connection.link_) {}

MYSQL_STREAM::~MYSQL_STREAM() { Close(); }

MYSQL_CONNECTION* MYSQL_STREAM::connection() const {
    auto link = link_.lock();
    return link ? link->connection : nullptr;
}

// What both kinds of read do first: nothing of an earlier read stays open,
// and the connection must be usable.
bool MYSQL_STREAM::Started(MYSQL_CONNECTION* conn, std::string_view sql) {
    Close();
    columns_.clear();
    rowNumber_ = 0;
    if (!conn) return false;
    conn->error_.Clear();
    conn->queryString_ = std::string(sql);
    if (conn->state_ != 0 || !conn->handle_) {
        conn->error_.SetError(CR_SERVER_GONE_ERROR, kNotConnected);
        return false;
    }
    return true;
}

bool MYSQL_STREAM::Open(std::string_view sql) {
    MYSQL_CONNECTION* conn = connection();
    if (!Started(conn, sql)) return false;
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
    columns_ = columnsOf(result);
    return true;
}

bool MYSQL_STREAM::OpenBinary(std::string_view sql, const NumberWanted& wantNumber) {
    MYSQL_CONNECTION* conn = connection();
    if (!Started(conn, sql)) return false;
    auto read = std::make_unique<BinaryRead>();
    read->stmt = mysql_stmt_init(conn->handle_);
    if (!read->stmt) return false;
    auto refused = [&] {
        conn->error_.SetError(static_cast<int32_t>(mysql_stmt_errno(read->stmt)), mysql_stmt_error(read->stmt));
        return false;
    };
    if (mysql_stmt_prepare(read->stmt, sql.data(), sql.size()) != 0) return refused();
    MYSQL_RES* meta = mysql_stmt_result_metadata(read->stmt);
    if (!meta) return false;  // a statement without rows
    std::vector<MySqlColumnInfo> columns = columnsOf(meta);
    mysql_free_result(meta);

    read->columns.resize(columns.size());
    read->binds.resize(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        BinaryRead::Column& c = read->columns[i];
        const MySqlColumnInfo& info = columns[i];
        const bool wanted = wantNumber && wantNumber(static_cast<int32_t>(i), info);
        if (!formOf(info, wanted, c.form)) return false;
        c.type = info.type;
        c.isUnsigned = (info.flags & UNSIGNED_FLAG) != 0;
        c.number = wanted;
        if (c.form == Form::Bytes)
            c.bytes.resize(static_cast<size_t>(std::clamp<int64_t>(info.length, 1, kFirstBufferBytes)));
        read->bind(i);
    }
    if (mysql_stmt_bind_result(read->stmt, read->binds.data()) != 0) return refused();
    if (mysql_stmt_execute(read->stmt) != 0) return refused();
    columns_ = std::move(columns);
    binary_ = std::move(read);
    conn->stream_ = this;
    return true;
}

// Ends a read the library could not go on with, keeping its reason.
// The library leaves a broken connection's number on the connection, not
// always on the statement; a read never ends silently short.
bool MYSQL_STREAM::Broken(MYSQL_CONNECTION* conn) {
    if (conn) {
        if (unsigned number = mysql_stmt_errno(binary_->stmt))
            conn->error_.SetError(static_cast<int32_t>(number), mysql_stmt_error(binary_->stmt));
        else if (conn->handle_ && mysql_errno(conn->handle_))
            conn->CaptureError();
        else
            conn->error_.SetError(CR_UNKNOWN_ERROR, "the server's rows could not be read");
    }
    Close();
    return false;
}

// Steps the prepared statement. A value longer than its buffer is fetched
// again whole, and the buffer stays that long for the rows after it.
bool MYSQL_STREAM::NextBinary(MYSQL_CONNECTION* conn) {
    BinaryRead& read = *binary_;
    int rc = mysql_stmt_fetch(read.stmt);
    if (rc == 1) return Broken(conn);
    if (rc == MYSQL_NO_DATA) {
        Close();
        return false;
    }
    bool grown = false;
    for (size_t i = 0; i < read.columns.size(); ++i) {
        BinaryRead::Column& c = read.columns[i];
        c.textMade = false;
        if (rc != MYSQL_DATA_TRUNCATED || !c.truncated || c.form != Form::Bytes) continue;
        c.bytes.resize(c.length);
        read.bind(i);
        grown = true;
        if (mysql_stmt_fetch_column(read.stmt, &read.binds[i], static_cast<unsigned>(i), 0) != 0) return Broken(conn);
    }
    // Binding again forgets where the row's values lie, so only after all
    // the long ones were fetched.
    if (grown && mysql_stmt_bind_result(read.stmt, read.binds.data()) != 0) return Broken(conn);
    ++rowNumber_;
    return true;
}

bool MYSQL_STREAM::Next() {
    if (binary_) return NextBinary(connection());
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
    if (binary_) {
        binary_.reset();
        if (MYSQL_CONNECTION* conn = connection(); conn && conn->stream_ == this) conn->stream_ = nullptr;
    }
    if (result_) {
        mysql_free_result(result_);  // skips the rows not read yet
        result_ = nullptr;
        if (MYSQL_CONNECTION* conn = connection(); conn && conn->stream_ == this) conn->stream_ = nullptr;
    }
    row_ = nullptr;
    lengths_ = nullptr;
}

void MYSQL_STREAM::Detach() { Close(); }

bool MYSQL_STREAM::IsNull(int32_t i) const {
    if (binary_) return binary_->columns[static_cast<size_t>(i)].null != 0;
    return !row_ || !row_[i];
}

std::string_view MYSQL_STREAM::Bytes(int32_t i) const {
    if (binary_) {
        BinaryRead::Column& c = binary_->columns[static_cast<size_t>(i)];
        if (c.null) return {};
        if (c.form == Form::Bytes) return std::string_view(c.bytes.data(), c.length);
        if (!c.textMade) {
            c.text.clear();
            if (c.form == Form::Integer) appendIntegerText(c.text, c.integer, columns_[static_cast<size_t>(i)]);
            else if (c.form == Form::Time) appendTimeText(c.text, c.time, c.type, columns_[static_cast<size_t>(i)].decimals);
            else appendShortestDouble(c.text, c.real);
            c.textMade = true;
        }
        return c.text;
    }
    if (!row_ || !row_[i]) return {};
    return std::string_view(row_[i], lengths_[i]);
}

FieldValue MYSQL_STREAM::Value(int32_t i) const {
    FieldValue v;
    ValueInto(i, v);
    return v;
}

// Integers whose double is exact.
constexpr int64_t kExactIntegerLimit = int64_t{1} << 53;

void MYSQL_STREAM::ValueInto(int32_t i, FieldValue& out) const {
    if (binary_) {
        const BinaryRead::Column& c = binary_->columns[static_cast<size_t>(i)];
        if (c.null) {
            out = FieldValue::null();
            return;
        }
        if (c.number && c.form == Form::Double) {
            out = FieldValue::number(c.real);
            return;
        }
        if (c.number && c.form == Form::Integer &&
            (c.isUnsigned ? static_cast<uint64_t>(c.integer) <= static_cast<uint64_t>(kExactIntegerLimit)
                          : c.integer >= -kExactIntegerLimit && c.integer <= kExactIntegerLimit)) {
            out = FieldValue::number(static_cast<double>(c.integer));
            return;
        }
        out.assignText(Bytes(i));
        return;
    }
    if (!row_ || !row_[i]) out = FieldValue::null();
    else out.assignText(std::string_view(row_[i], lengths_[i]));
}

bool MYSQL_STREAM::TimeParts(int32_t i, MySqlTimeParts& out) const {
    if (!binary_) return false;
    const BinaryRead::Column& c = binary_->columns[static_cast<size_t>(i)];
    if (c.null || c.form != Form::Time) return false;
    const MYSQL_TIME& t = c.time;
    out.type = c.type;
    out.negative = t.neg != 0;
    out.year = t.year;
    out.month = t.month;
    out.day = c.type == MYSQL_TYPE_TIME ? 0 : t.day;
    out.hour = c.type == MYSQL_TYPE_TIME ? t.day * 24 + t.hour : t.hour;
    out.minute = t.minute;
    out.second = t.second;
    out.microsecond = static_cast<uint32_t>(t.second_part);
    return true;
}

std::vector<FieldValue> MYSQL_STREAM::Row() const {
    std::vector<FieldValue> values;
    values.reserve(columns_.size());
    for (int32_t i = 0; i < FieldCount(); ++i) values.push_back(Value(i));
    return values;
}

}  // namespace veltrano
