#include "access/write/value_writer.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "access/format/sort_order.h"
#include "access/format/text.h"

namespace veltrano::access {
namespace {

__extension__ typedef unsigned __int128 U128;  // decimal magnitudes (28 digits)

Status refuse(const ColumnModel& c, const std::string& why) {
    return Status::invalidArgument("Field '" + c.name + "': " + why);
}

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string le(uint64_t v, int n) {
    std::string s(static_cast<size_t>(n), '\0');
    for (int i = 0; i < n; ++i) s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// A decimal text as sign, digits and the count of digits after the point.
struct DecimalText {
    bool negative = false;
    std::string digits;  // without leading zeros issue handled by callers
    int scale = 0;
    int exponent = 0;
};

bool parseDecimal(const std::string& in, DecimalText& d) {
    std::string s = trim(in);
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) d.negative = s[i++] == '-';
    bool any = false, point = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            d.digits.push_back(c);
            if (point) ++d.scale;
            any = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool neg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
        if (i >= s.size()) return false;
        int e = 0;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) e = std::min(e * 10 + (s[i] - '0'), 9999);
        d.exponent = neg ? -e : e;
    }
    return i == s.size();
}

bool textToDouble(const std::string& s, double& out) {
    DecimalText d;
    if (!parseDecimal(s, d)) return false;
    std::string t = trim(s);
    char* end = nullptr;
    out = std::strtod(t.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

// A plain decimal number with nothing around it, which is what a server
// sends for its numeric columns: read without the copies the general path
// makes (the result is the same correctly rounded double).
bool plainNumber(const std::string& s, double& out) {
    if (s.empty()) return false;
    const char f = s.front();
    if (!(std::isdigit(static_cast<unsigned char>(f)) || f == '-' || f == '.')) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

bool numberOf(const FieldValue& v, double& out) {
    switch (v.kind()) {
        case FieldValue::Kind::Number: out = v.asNumber(); return std::isfinite(out);
        case FieldValue::Kind::DateTime: out = v.asDateTime(); return true;
        case FieldValue::Kind::Boolean: out = v.asBoolean() ? -1 : 0; return true;
        case FieldValue::Kind::Text: {
            if (plainNumber(v.asText(), out)) return true;
            std::string t = trim(v.asText());
            std::string l;
            for (char c : t) l.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
            if (l == "true" || l == "yes" || l == "on") { out = -1; return true; }
            if (l == "false" || l == "no" || l == "off") { out = 0; return true; }
            return textToDouble(t, out);
        }
        default: return false;
    }
}

// Round half to even, as the provider's integer conversions do.
double roundEven(double x) { return std::nearbyint(x); }

// The cell holds `bytes` (its buffer is reused from row to row).
Status stored(StoredCell& out, std::string_view bytes) {
    out.null = false;
    out.bytes.assign(bytes);
    return Status::ok();
}

Status integerCell(const ColumnModel& c, const FieldValue& v, double lo, double hi, int bytes, StoredCell& out) {
    double d;
    if (!numberOf(v, d)) return refuse(c, "the value is not a number");
    d = roundEven(d);
    if (d < lo || d > hi) return refuse(c, "the value is out of range for this field");
    return stored(out, le(static_cast<uint64_t>(static_cast<int64_t>(d)), bytes));
}

// Decimal text scaled to `scale` places (half to even) as a 128-bit magnitude.
bool scaledDecimal(const FieldValue& v, int scale, bool& negative, U128& mag, int& intDigits) {
    DecimalText d;
    std::string text;
    if (v.isText()) {
        text = v.asText();
    } else {
        double x;
        if (!numberOf(v, x)) return false;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.17g", x);
        text = buf;
    }
    if (!parseDecimal(text, d)) return false;
    negative = d.negative;
    int shift = scale - d.scale + d.exponent;  // how many places to move the digits left
    std::string digits = d.digits;
    bool roundUp = false;
    if (shift >= 0) {
        if (shift > 60) return false;
        digits.append(static_cast<size_t>(shift), '0');
    } else {
        size_t drop = static_cast<size_t>(-shift);
        std::string kept = drop >= digits.size() ? "" : digits.substr(0, digits.size() - drop);
        std::string gone = drop >= digits.size() ? std::string(drop - digits.size(), '0') + digits : digits.substr(digits.size() - drop);
        bool half = gone[0] > '5' || (gone[0] == '5' && gone.find_first_not_of('0', 1) != std::string::npos);
        bool exactHalf = gone[0] == '5' && gone.find_first_not_of('0', 1) == std::string::npos;
        int lastKept = kept.empty() ? 0 : kept.back() - '0';
        roundUp = half || (exactHalf && (lastKept % 2 == 1));
        digits = kept;
    }
    size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? "" : digits.substr(first);
    if (digits.size() > 38) return false;
    mag = 0;
    for (char ch : digits) mag = mag * 10 + static_cast<unsigned>(ch - '0');
    if (roundUp) mag += 1;
    intDigits = 0;
    for (U128 m = mag; m > 0; m /= 10) ++intDigits;
    intDigits -= scale;
    if (mag == 0) negative = false;
    return true;
}

bool hexValue(char c, int& v) {
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else return false;
    return true;
}

std::string textOf(const FieldValue& v) {
    if (v.isBoolean()) return v.asBoolean() ? "True" : "False";
    return v.toDisplayText();
}

}  // namespace

bool parseDateText(const std::string& in, double& oleDate) {
    std::string s = trim(in);
    CalendarTime t;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, n = 0;
    auto valid = [&]() {
        if (mo < 1 || mo > 12 || d < 1 || d > 31 || y < 100 || y > 9999 || h > 23 || mi > 59 || se > 59) return false;
        static const int dim[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (d > dim[mo - 1]) return false;
        bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        return !(mo == 2 && d == 29 && !leap);
    };
    if (std::sscanf(s.c_str(), "%d-%d-%d%n", &y, &mo, &d, &n) == 3 ||
        std::sscanf(s.c_str(), "%d/%d/%d%n", &d, &mo, &y, &n) == 3) {
        std::string rest = trim(s.substr(static_cast<size_t>(n)));
        if (!rest.empty() && (rest[0] == 'T' || rest[0] == 't')) rest = rest.substr(1);
        if (!rest.empty()) {
            int m = 0;
            if (std::sscanf(rest.c_str(), "%d:%d:%d%n", &h, &mi, &se, &m) != 3) {
                se = 0;
                if (std::sscanf(rest.c_str(), "%d:%d%n", &h, &mi, &m) != 2) return false;
            }
            std::string tail = rest.substr(static_cast<size_t>(m));
            if (!tail.empty() && tail[0] == '.') tail = tail.substr(tail.find_first_not_of("0123456789", 1) == std::string::npos ? tail.size() : tail.find_first_not_of("0123456789", 1));
            if (!trim(tail).empty()) return false;
        }
        if (!valid()) return false;
        t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = se;
        oleDate = calendarToOleDate(t);
        return true;
    }
    int m = 0;
    if (std::sscanf(s.c_str(), "%d:%d:%d%n", &h, &mi, &se, &m) == 3 || (se = 0, std::sscanf(s.c_str(), "%d:%d%n", &h, &mi, &m) == 2)) {
        if (static_cast<size_t>(m) != s.size() || h > 23 || mi > 59 || se > 59 || h < 0 || mi < 0 || se < 0) return false;
        oleDate = (h * 3600.0 + mi * 60.0 + se) / 86400.0;
        return true;
    }
    return false;
}

Result<StoredCell> convertField(const ColumnModel& c, const FieldValue& v) {
    StoredCell cell;
    ACCESS_RETURN_IF_ERROR(convertFieldInto(c, v, cell));
    return cell;
}

Status convertFieldInto(const ColumnModel& c, const FieldValue& v, StoredCell& out) {
    if (v.isNull() || v.isEmpty()) {
        if (c.type == ColumnType::Boolean) return stored(out, std::string_view("\0", 1));
        out.null = true;
        out.bytes.clear();
        return Status::ok();
    }
    switch (c.type) {
        case ColumnType::Boolean: {
            double d;
            if (!numberOf(v, d)) return refuse(c, "the value is not a Yes/No value");
            return stored(out, d != 0 ? std::string_view("\1", 1) : std::string_view("\0", 1));
        }
        case ColumnType::Byte: return integerCell(c, v, 0, 255, 1, out);
        case ColumnType::Integer: return integerCell(c, v, -32768, 32767, 2, out);
        case ColumnType::Long: return integerCell(c, v, -2147483648.0, 2147483647.0, 4, out);
        case ColumnType::Single: {
            double d;
            if (!numberOf(v, d)) return refuse(c, "the value is not a number");
            if (std::fabs(d) > std::numeric_limits<float>::max()) return refuse(c, "the value is out of range for this field");
            float f = static_cast<float>(d);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            return stored(out, le(bits, 4));
        }
        case ColumnType::Double:
        case ColumnType::DateTime: {
            double d;
            if (c.type == ColumnType::DateTime && v.isText()) {
                if (!parseDateText(v.asText(), d)) {
                    if (!textToDouble(trim(v.asText()), d)) return refuse(c, "the text is not a date");
                }
            } else if (!numberOf(v, d)) {
                return refuse(c, "the value is not a number");
            }
            if (c.type == ColumnType::DateTime && (d < -657434.0 || d >= 2958466.0))
                return refuse(c, "the date lies outside the years 100 to 9999");
            uint64_t bits;
            std::memcpy(&bits, &d, 8);
            return stored(out, le(bits, 8));
        }
        case ColumnType::Currency: {
            bool neg;
            U128 mag;
            int intDigits;
            if (!scaledDecimal(v, 4, neg, mag, intDigits)) return refuse(c, "the value is not a number");
            const U128 limit = static_cast<U128>(std::numeric_limits<int64_t>::max()) + (neg ? 1 : 0);
            if (mag > limit) return refuse(c, "the value is out of range for a currency field");
            uint64_t x = static_cast<uint64_t>(mag);
            return stored(out, le(neg ? ~x + 1 : x, 8));
        }
        case ColumnType::Numeric: {
            bool neg;
            U128 mag;
            int intDigits;
            if (!scaledDecimal(v, c.scale, neg, mag, intDigits)) return refuse(c, "the value is not a number");
            if (intDigits > c.precision - c.scale) return refuse(c, "the value has more digits than the field's precision allows");
            std::string b(1, neg ? '\x80' : '\0');
            for (int w = 3; w >= 0; --w) b += le(static_cast<uint32_t>(mag >> (32 * w)), 4);
            return stored(out, b);
        }
        case ColumnType::Guid: {
            std::string s = trim(textOf(v));
            if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
            if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
                return refuse(c, "the text is not a GUID");
            std::string hex;
            for (char ch : s)
                if (ch != '-') hex.push_back(ch);
            std::string raw;
            for (size_t i = 0; i < 32; i += 2) {
                int a, b;
                if (!hexValue(hex[i], a) || !hexValue(hex[i + 1], b)) return refuse(c, "the text is not a GUID");
                raw.push_back(static_cast<char>(a * 16 + b));
            }
            auto rev = [&](size_t from, size_t n) {
                std::string part = raw.substr(from, n);
                return std::string(part.rbegin(), part.rend());
            };
            return stored(out, rev(0, 4) + rev(4, 2) + rev(6, 2) + raw.substr(8));
        }
        case ColumnType::Text:
        case ColumnType::Memo: {
            if (v.isText()) utf8ToUtf16leInto(v.asText(), out.bytes);
            else utf8ToUtf16leInto(textOf(v), out.bytes);
            if (c.type == ColumnType::Text && out.bytes.size() > c.length) {
                out.bytes.clear();
                return refuse(c, "the field is too small to accept the amount of data you attempted to add");
            }
            out.null = false;
            return Status::ok();
        }
        case ColumnType::Binary: {
            std::string b = v.isText() ? v.asText() : textOf(v);
            if (b.size() > c.length) return refuse(c, "the field is too small to accept the amount of data you attempted to add");
            return stored(out, std::move(b));
        }
        case ColumnType::Ole:
            return stored(out, v.isText() ? v.asText() : textOf(v));
        default:
            return refuse(c, std::string("fields of type ") + columnTypeName(c.type) + " cannot be written");
    }
}

}  // namespace veltrano::access
