// Value: one cell as the engine reads it, with the exact stored meaning kept
// (currency as scaled integer, decimals as exact text, GUID and binary as
// bytes), plus the decoders from stored bytes and the canonical text form
// the batch tool's export prints.
//
// Stored forms (all little-endian): Byte u8; Integer i16; Long i32;
// Currency i64 = value x 10000; Single/Double IEEE; DateTime double = days
// since 1899-12-30 with the time of day as the (always positive) fraction;
// GUID 16 bytes, Data1/2/3 little-endian; Decimal 17 bytes: sign byte (0x80
// negative) then four u32 words of the magnitude, most significant first.
#pragma once

#include <cstdint>
#include <string>

#include "access/base/coding.h"
#include "access/format/format.h"
#include "access/base/status.h"
#include "common/field_value.h"

namespace veltrano::access {

enum class ValueKind {
    Null, Boolean, Byte, Integer, Long, Currency, Single, Double, DateTime,
    Text,     // Text and Memo: UTF-8
    Binary,   // Binary and OLE: raw bytes
    Guid,     // 16 bytes as stored
    Decimal,  // exact text with `scale` digits after the point
    BigInt,   // Large Number: 64-bit integer
    DateTimeExt,  // Date/Time Extended: "YYYY-MM-DD HH:MM:SS[.fffffff]" (years 1..9999, 100 ns)
};

struct Value {
    ValueKind kind = ValueKind::Null;
    int64_t integer = 0;  // Boolean (0/1), Byte, Integer, Long, Currency (x 10000), BigInt
    double real = 0;      // Single (widened exactly), Double, DateTime (OLE date)
    std::string bytes;    // Text, Binary, Guid, Decimal, DateTimeExt
    int scale = 0;        // Decimal

    bool isNull() const { return kind == ValueKind::Null; }
    static Value null() { return {}; }
    static Value ofInteger(ValueKind k, int64_t v) {
        Value x;
        x.kind = k;
        x.integer = v;
        return x;
    }
    static Value ofReal(ValueKind k, double v) {
        Value x;
        x.kind = k;
        x.real = v;
        return x;
    }
    static Value ofBytes(ValueKind k, std::string b) {
        Value x;
        x.kind = k;
        x.bytes = std::move(b);
        return x;
    }
    bool operator==(const Value&) const = default;
};

// Decodes a fixed-size stored value (Byte .. DateTime, Guid, Numeric,
// BigInt, ExtDateTime).
// Corruption when `data` is shorter than the type needs.
Result<Value> decodeFixedValue(ColumnType type, Bytes data, int scale);
// The plain number types (Byte, Integer, Long, Currency, Single, Double,
// DateTime, BigInt) into `out`, reusing it; false for other types and for
// data shorter than the type.
bool decodePlainNumber(ColumnType type, Bytes data, Value& out);

// "-123.4500" style text of a 17-byte stored decimal at the given scale.
std::string decimalToText(Bytes stored17, int scale);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" of 16 stored GUID bytes.
std::string guidToText(Bytes stored16);
// Shortest text that reads back to the same double; positional for decimal
// exponents -7..20, otherwise "1e+21" style; "-0", "nan", "inf", "-inf".
std::string shortestDouble(double v);
// The same written at `w`, which has room for kShortestDoubleRoom chars;
// returns the end of what was written.
constexpr size_t kShortestDoubleRoom = 32;
char* writeShortestDouble(char* w, double v);
std::string shortestSingle(float v);
// Currency (value x 10000) with exactly four decimals.
std::string currencyToText(int64_t scaled);

// The canonical export text of a value (without CSV quoting): NULL "",
// integers as digits, Single/Double shortest, Currency 4 decimals, Decimal
// its scale, Boolean 1/0, dates "YYYY-MM-DD HH:MM:SS[.fff]", GUID braced
// upper case, Binary upper-case hex, Text as is.
std::string canonicalText(const Value& v);

// The value as the shared FieldValue: numbers (Currency too) as Number
// (a BigInt beyond 2^53 as its exact digits in Text),
// Decimal as its exact Text, DateTime as DateTime, Boolean as Boolean, Text
// as Text, Binary/OLE/GUID as Text holding the raw bytes, DateTimeExt as its
// text (a double would lose the 100 ns steps and the years before 100).
FieldValue toFieldValue(const Value& v);

}  // namespace veltrano::access
