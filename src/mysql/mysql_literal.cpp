// MYSQL_RS::SqlLiteral and the small text helpers of the layer.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "mysql/mysql_internal.h"
#include "mysql/mysql_rs.h"
#include "mysql/sql_text.h"

namespace veltrano {

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

std::string_view trimmedBlanks(std::string_view s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::optional<int32_t> columnNumber(const FieldValue& key) {
    double n = 0;
    if (key.isNumber()) {
        n = key.asNumber();
    } else if (key.isText()) {
        std::string_view t = trimmedBlanks(key.asText());
        if (t.empty()) return std::nullopt;
        if (t.front() == '+') t.remove_prefix(1);
        auto r = std::from_chars(t.data(), t.data() + t.size(), n);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(n) || n < -2147483648.0 || n > 2147483647.0) return -1;
    return static_cast<int32_t>(std::llround(n));
}

std::string statementText(const FieldValue& value) {
    switch (value.kind()) {
        case FieldValue::Kind::Text: return value.asText();
        case FieldValue::Kind::Boolean: return value.asBoolean() ? "1" : "0";
        case FieldValue::Kind::DateTime: return formatOleDate(value.asDateTime());
        case FieldValue::Kind::Number: {
            double d = value.asNumber();
            char buf[1200];
            // Integers as plain digits; never an exponent, which a string
            // converted to an integer column would cut short.
            std::to_chars_result r = std::abs(d) < 9.0e18 && d == std::trunc(d)
                                         ? std::to_chars(buf, buf + sizeof buf, static_cast<long long>(d))
                                         : std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
            return std::string(buf, r.ptr);
        }
        default: return {};
    }
}

namespace {

struct Moment {
    bool hasDate = false, hasTime = false;
    int year = 0, month = 0, day = 0;
    long hour = 0;
    int minute = 0, second = 0;
    bool negative = false;  // a TIME value below zero
    std::string fraction;   // digits after the seconds' point, if any
};

bool validDate(int y, int m, int d) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    int last = kDays[m - 1] + (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0));
    return d <= last;
}

// Reads "Y-M-D", "Y/M/D", either followed by " H:M[:S[.f]]" or "T..", or a
// time alone "[-]H:M[:S[.f]]" (hours may pass 23, as TIME values do).
std::optional<Moment> readMoment(std::string_view t) {
    t = trimmedBlanks(t);
    Moment m;
    std::size_t i = 0;
    auto number = [&](long& out, std::size_t maxDigits) {
        std::size_t start = i;
        out = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && i - start < maxDigits) out = out * 10 + (t[i++] - '0');
        return i > start;
    };
    auto readTime = [&]() {
        long h, mi, s = 0;
        if (!number(h, 4) || i >= t.size() || t[i] != ':') return false;
        ++i;
        if (!number(mi, 2) || mi > 59) return false;
        if (i < t.size() && t[i] == ':') {
            ++i;
            if (!number(s, 2) || s > 59) return false;
            if (i < t.size() && t[i] == '.') {
                ++i;
                while (i < t.size() && t[i] >= '0' && t[i] <= '9' && m.fraction.size() < 6) m.fraction += t[i++];
                if (m.fraction.empty()) return false;
            }
        }
        m.hour = h;
        m.minute = static_cast<int>(mi);
        m.second = static_cast<int>(s);
        m.hasTime = true;
        return true;
    };
    std::size_t sep = t.find_first_of("-/");
    if (sep != std::string_view::npos && sep > 0) {
        long y, mo, d;
        if (!number(y, 4) || i >= t.size() || (t[i] != '-' && t[i] != '/')) return std::nullopt;
        char s = t[i++];
        if (!number(mo, 2) || i >= t.size() || t[i] != s) return std::nullopt;
        ++i;
        if (!number(d, 2)) return std::nullopt;
        if (!validDate(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d))) return std::nullopt;
        m.hasDate = true;
        m.year = static_cast<int>(y);
        m.month = static_cast<int>(mo);
        m.day = static_cast<int>(d);
        if (i < t.size()) {
            if (t[i] != ' ' && t[i] != 'T') return std::nullopt;
            ++i;
            if (!readTime() || m.hour > 23) return std::nullopt;
        }
    } else {
        if (i < t.size() && t[i] == '-') {
            m.negative = true;
            ++i;
        }
        if (!readTime()) return std::nullopt;
    }
    if (i != t.size()) return std::nullopt;
    return m;
}

std::optional<Moment> momentOf(const FieldValue& value) {
    if (value.isText()) return readMoment(value.asText());
    if (value.isDateTime() || value.isNumber()) {
        double ole = value.isDateTime() ? value.asDateTime() : value.asNumber();
        if (!std::isfinite(ole) || std::fabs(ole) > 3e6) return std::nullopt;
        CalendarTime c = oleDateToCalendar(ole);
        if (!validDate(c.year, c.month, c.day)) return std::nullopt;
        Moment m;
        m.hasDate = m.hasTime = true;
        m.year = c.year;
        m.month = c.month;
        m.day = c.day;
        m.hour = c.hour;
        m.minute = c.minute;
        m.second = c.second;
        if (c.millisecond) {
            char ms[8];
            std::snprintf(ms, sizeof ms, "%03d", c.millisecond);
            m.fraction = ms;
        }
        return m;
    }
    return std::nullopt;
}

}  // namespace

std::string MYSQL_RS::SqlLiteral(const FieldValue& value, int32_t typeCode, bool binary) {
    if (value.isNull()) return "NULL";
    if (typeCode == kMySqlTypeDate || typeCode == kMySqlTypeTime || typeCode == kMySqlTypeDateTime) {
        std::optional<Moment> m = momentOf(value);
        char buf[64];
        if (typeCode == kMySqlTypeDate) {
            if (!m || !m->hasDate) return "'0000-00-00'";
            std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d'", m->year, m->month, m->day);
            return buf;
        }
        std::string fraction = m && !m->fraction.empty() ? "." + m->fraction : std::string();
        if (typeCode == kMySqlTypeTime) {
            if (!m || !m->hasTime) return "'00:00:00'";
            std::snprintf(buf, sizeof buf, "'%s%02ld:%02d:%02d%s'", m->negative ? "-" : "", m->hour,
                          m->minute, m->second, fraction.c_str());
            return buf;
        }
        if (!m || !m->hasDate) return "'0000-00-00 00:00:00'";
        std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02ld:%02d:%02d%s'", m->year, m->month, m->day,
                      m->hour, m->minute, m->second, fraction.c_str());
        return buf;
    }
    std::string text = statementText(value);
    return binary ? sqlBinaryLiteral(text) : sqlTextLiteral(text);
}

}  // namespace veltrano
