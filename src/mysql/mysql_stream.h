// MYSQL_STREAM: reads a big result row by row without holding it in memory
// (mysql_use_result, or an unbuffered prepared statement), for copying whole
// tables.
//
// While a stream is open its connection can run no other statement (the
// library answers "Commands out of sync"). Closing the connection closes the
// stream first; a stream that outlives its connection is simply closed.
// Failures are left in the connection's Error, like every other call.
//
//   MYSQL_STREAM s(conn);
//   if (s.Open("SELECT * FROM `t`")) while (s.Next()) use(s.Row());
//   if (conn.Error().Number() != 0) ...  // the read broke off
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/field_value.h"

struct st_mysql_res;

namespace veltrano {

class MYSQL_CONNECTION;
struct ConnectionLink;

// Metadata of one result column.
struct MySqlColumnInfo {
    std::string name;
    std::string table;     // "" for a computed column
    int32_t type = 254;    // enum_field_types code
    int64_t length = 0;    // declared length in bytes
    int32_t flags = 0;     // kMySqlNotNullFlag, kMySqlPriKeyFlag, ...
    int32_t decimals = 0;
    int32_t charsetNr = 0; // kMySqlBinaryCharset for binary data
};

// A date or time value of a binary read, in the parts the server keeps.
struct MySqlTimeParts {
    int32_t type = 0;       // kMySqlTypeDate, kMySqlTypeDateTime, 7 (TIMESTAMP) or kMySqlTypeTime
    bool negative = false;  // a TIME before zero
    uint32_t year = 0, month = 0, day = 0;
    uint32_t hour = 0, minute = 0, second = 0;  // a TIME's hours may pass 24
    uint32_t microsecond = 0;
};

class MYSQL_STREAM {
public:
    explicit MYSQL_STREAM(MYSQL_CONNECTION& connection);
    ~MYSQL_STREAM();
    MYSQL_STREAM(const MYSQL_STREAM&) = delete;
    MYSQL_STREAM& operator=(const MYSQL_STREAM&) = delete;

    // Runs a statement that yields rows. False when the connection is closed
    // or gone, the statement fails (Error set) or yields no rows. Clears
    // Error first; closes an earlier result of this stream.
    bool Open(std::string_view sql);
    // The same read through the binary protocol, in which the server sends
    // numbers and dates as they are stored instead of formatting them: on a
    // big table that spares the server (and the reader) most of its work.
    // `wantNumber(i, column)` says which columns the caller would rather have
    // as a Number; integer and DOUBLE columns then give one wherever the
    // value converts exactly. Every other value arrives as the very text Open
    // would give. False, with nothing open, when the server refuses the
    // statement (Error set) or when a column's text could not be given
    // exactly (FLOAT, a DOUBLE not asked for as a Number, a type this reader
    // does not know; Error clear): Open then does the same read.
    using NumberWanted = std::function<bool(int32_t, const MySqlColumnInfo&)>;
    bool OpenBinary(std::string_view sql, const NumberWanted& wantNumber);
    // Steps to the next row; false at the end or when the read breaks off
    // (then Error is set).
    bool Next();
    // Ends the read; the remaining rows are skipped.
    void Close();

    bool IsOpen() const { return result_ != nullptr || binary_ != nullptr; }
    int32_t FieldCount() const { return static_cast<int32_t>(columns_.size()); }
    const std::vector<MySqlColumnInfo>& Columns() const { return columns_; }
    int64_t RowNumber() const { return rowNumber_; }  // 1-based number of the current row

    // REQUIRES: Next() returned true, 0 <= i < FieldCount(). The views stay
    // valid until the next Next() or Close().
    bool IsNull(int32_t i) const;
    std::string_view Bytes(int32_t i) const;  // "" for NULL
    FieldValue Value(int32_t i) const;        // Null or Text (or Number, see OpenBinary)
    void ValueInto(int32_t i, FieldValue& out) const;  // the same, reusing out's memory
    std::vector<FieldValue> Row() const;
    // The parts of a date or time value of a binary read, sparing the text
    // in between; false for NULL and for every other value.
    bool TimeParts(int32_t i, MySqlTimeParts& out) const;

private:
    friend class MYSQL_CONNECTION;
    void Detach();  // the connection is closing its handle

    MYSQL_CONNECTION* connection() const;
    bool Started(MYSQL_CONNECTION* conn, std::string_view sql);
    bool NextBinary(MYSQL_CONNECTION* conn);
    bool Broken(MYSQL_CONNECTION* conn);

    struct BinaryRead;  // the prepared statement and its result buffers
    std::unique_ptr<BinaryRead> binary_;

    std::weak_ptr<ConnectionLink> link_;
    st_mysql_res* result_ = nullptr;
    char** row_ = nullptr;
    unsigned long* lengths_ = nullptr;
    std::vector<MySqlColumnInfo> columns_;
    int64_t rowNumber_ = 0;
};

}  // namespace veltrano
