// MYSQL_FIELD: the one field view of a MYSQL_RS.
//
// MYSQL_RS::Fields re-binds this view to a column of the current row and
// returns it, so a view held from an earlier call shows the latest binding.
// The view borrows the result set's library structures and never frees them.
// A view that names no column (unknown name, column number out of range, no
// current row, closed result) answers "" / 0 / 254 / Empty and never fails.
//
// Values come back as Text (the column's bytes exactly, zero bytes included,
// UTF-8 for text columns because connections use utf8mb4), Null (SQL NULL)
// or Empty (no column / no current row), whatever the column's type.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "common/field_value.h"

struct st_mysql_res;

namespace veltrano {

class MYSQL_RS;

// Field type codes of the client library (enum_field_types) that the layer acts on.
inline constexpr int32_t kMySqlTypeDate = 10;
inline constexpr int32_t kMySqlTypeTime = 11;
inline constexpr int32_t kMySqlTypeDateTime = 12;
inline constexpr int32_t kMySqlTypeString = 254;
// Column flag bits (the library's flags member).
inline constexpr int32_t kMySqlNotNullFlag = 1;
inline constexpr int32_t kMySqlPriKeyFlag = 2;
inline constexpr int32_t kMySqlBinaryFlag = 128;
// Character set number of binary strings (BLOB, BINARY, VARBINARY).
inline constexpr int32_t kMySqlBinaryCharset = 63;

class MYSQL_FIELD {
public:
    explicit MYSQL_FIELD(MYSQL_RS* parent) : parent_(parent) {}
    MYSQL_FIELD(const MYSQL_FIELD&) = delete;
    MYSQL_FIELD& operator=(const MYSQL_FIELD&) = delete;

    std::string Name() const;     // column name (alias when given)
    std::string Table() const;    // table or alias the column comes from; "" for a computed column
    int32_t MySqlType() const;    // enum_field_types code; 254 when no column
    int64_t Length() const;       // declared length (bytes, as the server reports it)
    int64_t MaxLength() const;    // longest value present in the result
    int32_t Flags() const;        // flag bits, e.g. kMySqlPriKeyFlag
    int32_t Decimals() const;
    int32_t CharSetNr() const;    // character set number; kMySqlBinaryCharset for binary data; 0 when no column

    // The value in the current row, with saved edits of this row shown on top.
    FieldValue Value() const;
    // Stages a change of this column in the current row (see MYSQL_RS::Update).
    // Ignored when the view names no column or the column is computed.
    void Value(const FieldValue& vNewValue);

    // 0-based column the view is bound to, or -1.
    int32_t Index() const { return index_; }

private:
    friend class MYSQL_RS;
    void Bind(const FieldValue& key, int32_t count, st_mysql_res* result, char** row,
              unsigned long* lengths);
    void Reset();  // names no column; forgets the name index (new result)
    void BuildNameIndex();
    int32_t IndexOfName(const std::string& name);
    const void* FieldRecord() const;  // ::MYSQL_FIELD of the bound column, or null
    FieldValue RawValue() const;      // the row's value without the overlay

    MYSQL_RS* parent_;
    st_mysql_res* result_ = nullptr;
    char** row_ = nullptr;
    unsigned long* lengths_ = nullptr;
    int32_t count_ = 0;
    int32_t index_ = -1;
    std::map<std::string, int32_t> nameIndex_;  // upper-cased name -> 1-based column
};

}  // namespace veltrano
