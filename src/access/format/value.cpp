// Value decoding and canonical text; stored forms in value.h.
#include "access/format/value.h"

#include "access/format/ace_value.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace veltrano::access {

namespace {

size_t fixedSize(ColumnType t) {
    switch (t) {
        case ColumnType::Byte: return 1;
        case ColumnType::Integer: return 2;
        case ColumnType::Long:
        case ColumnType::Single: return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime: return 8;
        case ColumnType::Guid: return 16;
        case ColumnType::Numeric: return 17;
        case ColumnType::BigInt: return 8;
        case ColumnType::ExtDateTime: return 42;
        default: return 0;
    }
}

const char kHex[] = "0123456789ABCDEF";

// Shortest digits, positional for decimal exponents -7..20, else "1.5e-8"
// style; "-0", "nan", "inf" and "-inf" for the special values.
template <class T>
std::string shortestText(T v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    if (v == 0) return std::signbit(v) ? "-0" : "0";
    char sci[64];
    const char* end = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific).ptr;
    // sci = [-]d[.ddd]e[+-]xx
    const bool neg = sci[0] == '-';
    const char* e = std::find(static_cast<const char*>(sci), end, 'e');
    int exp = 0;
    std::from_chars(e + 1 + (e[1] == '+'), end, exp);
    char digits[32];
    size_t n = 0;
    for (const char* c = sci + (neg ? 1 : 0); c < e; ++c)
        if (*c != '.') digits[n++] = *c;
    std::string out;
    out.reserve(n + 32);
    if (neg) out += '-';
    if (exp >= 21 || exp < -7) {
        out += digits[0];
        if (n > 1) {
            out += '.';
            out.append(digits + 1, n - 1);
        }
        out += exp < 0 ? "e-" : "e+";
        out += std::to_string(std::abs(exp));
        return out;
    }
    if (exp < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exp - 1), '0');
        out.append(digits, n);
    } else if (static_cast<size_t>(exp) + 1 >= n) {
        out.append(digits, n);
        out.append(static_cast<size_t>(exp) + 1 - n, '0');
    } else {
        out.append(digits, static_cast<size_t>(exp) + 1);
        out += '.';
        out.append(digits + exp + 1, n - static_cast<size_t>(exp) - 1);
    }
    return out;
}

}  // namespace

namespace {

// A little-endian value of the file at p, read whole where the machine is
// little-endian too.
template <class T>
T littleEndian(const uint8_t* p) {
    T v;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, p, sizeof v);
    } else {
        ByteReader r(Bytes(p, sizeof v));
        if constexpr (sizeof v == 2) v = static_cast<T>(r.u16(0));
        else if constexpr (std::is_same_v<T, float>) v = r.f32(0);
        else if constexpr (std::is_same_v<T, double>) v = r.f64(0);
        else if constexpr (sizeof v == 4) v = static_cast<T>(r.u32(0));
        else v = static_cast<T>(r.u64(0));
    }
    return v;
}

}  // namespace

bool decodePlainNumber(ColumnType type, Bytes data, Value& out) {
    const size_t size = data.size();
    const uint8_t* p = data.data();
    ValueKind kind;
    int64_t integer = 0;
    double real = 0;
    switch (type) {
        case ColumnType::Byte:
            if (size < 1) return false;
            kind = ValueKind::Byte, integer = p[0];
            break;
        case ColumnType::Integer:
            if (size < 2) return false;
            kind = ValueKind::Integer, integer = littleEndian<int16_t>(p);
            break;
        case ColumnType::Long:
            if (size < 4) return false;
            kind = ValueKind::Long, integer = littleEndian<int32_t>(p);
            break;
        case ColumnType::Currency:
        case ColumnType::BigInt:
            if (size < 8) return false;
            kind = type == ColumnType::Currency ? ValueKind::Currency : ValueKind::BigInt;
            integer = littleEndian<int64_t>(p);
            break;
        case ColumnType::Single:
            if (size < 4) return false;
            kind = ValueKind::Single, real = static_cast<double>(littleEndian<float>(p));
            break;
        case ColumnType::Double:
        case ColumnType::DateTime:
            if (size < 8) return false;
            kind = type == ColumnType::Double ? ValueKind::Double : ValueKind::DateTime;
            real = littleEndian<double>(p);
            break;
        default:
            return false;
    }
    out.kind = kind;
    out.integer = integer;
    out.real = real;
    out.bytes.clear();
    out.scale = 0;
    return true;
}

Result<Value> decodeFixedValue(ColumnType type, Bytes data, int scale) {
    size_t need = fixedSize(type);
    if (need == 0) return Status::internal("not a fixed-size type");
    if (data.size() < need) return Status::corruption("value shorter than its type");
    if (Value v; decodePlainNumber(type, data, v)) return v;
    switch (type) {
        case ColumnType::Guid:
            return Value::ofBytes(ValueKind::Guid, std::string(data.begin(), data.begin() + 16));
        case ColumnType::Numeric: {
            Value v = Value::ofBytes(ValueKind::Decimal, decimalToText(data.first(17), scale));
            v.scale = scale;
            return v;
        }
        case ColumnType::ExtDateTime: return decodeExtDateTime(data.first(42));
        default: return Status::internal("not a fixed-size type");
    }
}

std::string decimalToText(Bytes s, int scale) {
    if (s.size() < 17) return {};
    // Magnitude: four u32 LE words, most significant word first.
    uint32_t words[4];
    for (int w = 0; w < 4; ++w) {
        size_t o = 1 + 4 * static_cast<size_t>(w);
        words[w] = static_cast<uint32_t>(s[o] | (s[o + 1] << 8) | (s[o + 2] << 16)) |
                   (static_cast<uint32_t>(s[o + 3]) << 24);
    }
    // Repeated division by 10 over the 128-bit number.
    std::string digits;
    bool zero = false;
    while (!zero) {
        uint64_t rem = 0;
        zero = true;
        for (auto& w : words) {
            uint64_t cur = (rem << 32) | w;
            w = static_cast<uint32_t>(cur / 10);
            rem = cur % 10;
            if (w != 0) zero = false;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + rem));
    }
    if (scale < 0) scale = 0;
    if (scale > 38) scale = 38;
    auto sc = static_cast<size_t>(scale);
    if (digits.size() <= sc) digits.insert(0, sc + 1 - digits.size(), '0');
    std::string out = digits;
    if (sc > 0) out.insert(out.size() - sc, ".");
    bool allZero = digits.find_first_not_of('0') == std::string::npos;
    if ((s[0] & 0x80) && !allZero) out.insert(0, "-");
    return out;
}

std::string guidToText(Bytes g) {
    if (g.size() < 16) return {};
    // Data1, Data2, Data3 little-endian; the last 8 bytes as stored.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        uint8_t b = g[static_cast<size_t>(order[i])];
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out + "}";
}

namespace {

// Doubles that are short decimals (money, quantities, measures: at most six
// places) skip the general shortest-digits search. n / 10^k is correctly
// rounded, so it equals |v| exactly when the decimal n.10^-k reads back as
// |v|; the first k that does gives the fewest digits, and below 2^50 no other
// decimal of k places reads back as |v|, so these are the digits the search
// would find. Writes the text at w and returns its end; nullptr when v is
// not such a decimal.
char* shortDecimalText(double v, char* w) {
    static constexpr double kPow10[] = {1, 10, 100, 1000, 1e4, 1e5, 1e6};
    const double a = std::fabs(v);
    for (int k = 0; k <= 6; ++k) {
        const double scaled = a * kPow10[k];
        if (!(scaled < 1125899906842624.0)) return nullptr;  // 2^50; also NaN
        const double n = std::nearbyint(scaled);
        if (n == 0 || n / kPow10[k] != a) continue;
        char digits[24];
        const char* end = writeDecimal(digits, static_cast<uint64_t>(n));
        const size_t count = static_cast<size_t>(end - digits);
        if (std::signbit(v)) *w++ = '-';
        const size_t places = static_cast<size_t>(k);
        if (count <= places) {
            *w++ = '0';
            *w++ = '.';
            w = std::fill_n(w, places - count, '0');
            w = std::copy_n(digits, count, w);
        } else {
            w = std::copy_n(digits, count - places, w);
            if (places > 0) {
                *w++ = '.';
                w = std::copy_n(digits + count - places, places, w);
            }
        }
        return w;
    }
    return nullptr;
}

}  // namespace

char* writeShortestDouble(char* w, double v) {
    if (v != 0)
        if (char* end = shortDecimalText(v, w)) return end;
    const std::string text = shortestText(v);
    return std::copy(text.begin(), text.end(), w);
}

std::string shortestDouble(double v) {
    char buf[kShortestDoubleRoom];
    return std::string(buf, writeShortestDouble(buf, v));
}
std::string shortestSingle(float v) { return shortestText(v); }

std::string currencyToText(int64_t scaled) {
    bool neg = scaled < 0;
    // Magnitude without overflow for INT64_MIN.
    uint64_t m = neg ? static_cast<uint64_t>(0) - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", neg ? "-" : "", static_cast<unsigned long long>(m / 10000),
                  static_cast<unsigned long long>(m % 10000));
    return buf;
}

std::string canonicalText(const Value& v) {
    switch (v.kind) {
        case ValueKind::Null: return {};
        case ValueKind::Boolean: return v.integer ? "1" : "0";
        case ValueKind::Byte:
        case ValueKind::Integer:
        case ValueKind::Long:
        case ValueKind::BigInt: return std::to_string(v.integer);
        case ValueKind::Currency: return currencyToText(v.integer);
        case ValueKind::Single: return shortestSingle(static_cast<float>(v.real));
        case ValueKind::Double: return shortestDouble(v.real);
        case ValueKind::DateTime: return formatOleDate(v.real);
        case ValueKind::Text:
        case ValueKind::Decimal:
        case ValueKind::DateTimeExt: return v.bytes;
        case ValueKind::Guid: return guidToText(Bytes(reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size()));
        case ValueKind::Binary: {
            std::string out;
            out.reserve(v.bytes.size() * 2);
            for (unsigned char b : v.bytes) {
                out += kHex[b >> 4];
                out += kHex[b & 15];
            }
            return out;
        }
    }
    return {};
}

FieldValue toFieldValue(const Value& v) {
    switch (v.kind) {
        case ValueKind::Null: return FieldValue::null();
        case ValueKind::Boolean: return FieldValue::boolean(v.integer != 0);
        case ValueKind::Byte:
        case ValueKind::Integer:
        case ValueKind::Long: return FieldValue::number(static_cast<double>(v.integer));
        case ValueKind::Currency: return FieldValue::number(static_cast<double>(v.integer) / 10000.0);
        case ValueKind::Single:
            // Through the float's shortest text, so 0.1f reads as 0.1 and not 0.10000000149011612.
        {
            std::string t = shortestSingle(static_cast<float>(v.real));
            double d = v.real;
            std::from_chars(t.data(), t.data() + t.size(), d);  // locale-free; NaN/Inf keep the widened value
            return FieldValue::number(d);
        }
        case ValueKind::Double: return FieldValue::number(v.real);
        case ValueKind::DateTime: return FieldValue::dateTime(v.real);
        case ValueKind::BigInt: {
            constexpr int64_t kExact = int64_t{1} << 53;  // doubles hold every integer up to here
            if (v.integer >= -kExact && v.integer <= kExact) return FieldValue::number(static_cast<double>(v.integer));
            return FieldValue::text(std::to_string(v.integer));
        }
        case ValueKind::DateTimeExt:
        case ValueKind::Text:
        case ValueKind::Decimal:
        case ValueKind::Binary:
        case ValueKind::Guid: return FieldValue::text(v.bytes);
    }
    return FieldValue::null();
}

}  // namespace veltrano::access
