#include "to_access/date_change.h"

#include <cmath>
#include <cstdint>

#include "mysql/mysql_field.h"

namespace veltrano {

namespace {

// Reads one run of digits (at most `maxDigits`); false when there is none.
bool readNumber(std::string_view s, size_t& i, int64_t& out, size_t maxDigits = 9) {
    size_t start = i;
    int64_t n = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < maxDigits) n = n * 10 + (s[i++] - '0');
    out = n;
    return i > start;
}

bool expect(std::string_view s, size_t& i, char c) {
    if (i < s.size() && s[i] == c) {
        ++i;
        return true;
    }
    return false;
}

// ".ffffff" after the seconds, as milliseconds (rounded); absent gives 0.
bool readFraction(std::string_view s, size_t& i, int64_t& millis) {
    millis = 0;
    if (!expect(s, i, '.')) return true;
    double scale = 100, ms = 0;
    size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ms += (s[i++] - '0') * scale;
        scale /= 10;
    }
    millis = std::llround(ms);
    return i > start;
}

// "HH:MM:SS[.fff]" after a date: milliseconds since midnight.
bool readClock(std::string_view s, size_t& i, int64_t& millis) {
    int64_t h, m, sec, frac;
    if (!readNumber(s, i, h, 2) || !expect(s, i, ':') || !readNumber(s, i, m, 2) ||
        !expect(s, i, ':') || !readNumber(s, i, sec, 2) || !readFraction(s, i, frac))
        return false;
    if (h > 23 || m > 59 || sec > 59) return false;
    millis = ((h * 60 + m) * 60 + sec) * 1000 + frac;
    return true;
}

bool isLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int64_t y, int64_t m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// A whole day count and milliseconds into the day as an OLE date. Access keeps
// the time as a positive fraction on either side of day 0.
double oleFrom(int64_t day, int64_t millis) {
    double frac = static_cast<double>(millis) / 86400000.0;
    return day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
}

// A TIME of `millis` (before zero when `negative`), counted from 1899-12-30
// 00:00; spans over a day move the date on.
ParsedDate spanOf(bool negative, int64_t millis) {
    const int64_t total = negative ? -millis : millis;
    const int64_t day = total >= 0 ? total / 86400000 : -((-total + 86399999) / 86400000);
    ParsedDate r;
    r.isDate = true;
    r.oleDate = oleFrom(day, total - day * 86400000);
    return r;
}

// A calendar date and the milliseconds into it.
ParsedDate dateOf(int64_t y, int64_t mo, int64_t d, int64_t millis) {
    ParsedDate r;
    r.isDate = true;
    if (mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo)) {
        r.isNull = true;  // zero, incomplete or impossible date: nothing Access can hold
        return r;
    }
    CalendarTime c;
    c.year = static_cast<int>(y);
    c.month = static_cast<int>(mo);
    c.day = static_cast<int>(d);
    double dayNumber = calendarToOleDate(c);  // midnight of that day
    r.oleDate = oleFrom(static_cast<int64_t>(dayNumber), millis);
    return r;
}

FieldValue valueOf(const ParsedDate& p) {
    return p.isNull ? FieldValue::null() : FieldValue::dateTime(p.oleDate);
}

ParsedDate parseTime(std::string_view s) {
    ParsedDate r;
    size_t i = 0;
    bool negative = expect(s, i, '-');
    int64_t h, m, sec, frac;
    if (!readNumber(s, i, h, 4) || !expect(s, i, ':') || !readNumber(s, i, m, 2) ||
        !expect(s, i, ':') || !readNumber(s, i, sec, 2) || !readFraction(s, i, frac) ||
        i != s.size() || m > 59 || sec > 59)
        return r;
    return spanOf(negative, ((h * 60 + m) * 60 + sec) * 1000 + frac);
}

}  // namespace

ParsedDate parseMySqlDate(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    size_t dash = s.find('-', 1);
    if (dash == std::string_view::npos) return parseTime(s);
    if (s.find(':') < dash) return parseTime(s);  // "-10:00:00"

    ParsedDate r;
    size_t i = 0;
    int64_t y, mo, d, millis = 0;
    if (!readNumber(s, i, y, 4) || !expect(s, i, '-') || !readNumber(s, i, mo, 2) ||
        !expect(s, i, '-') || !readNumber(s, i, d, 2))
        return r;
    if (i < s.size()) {
        if (s[i] != ' ' && s[i] != 'T') return r;
        ++i;
        if (!readClock(s, i, millis) || i != s.size()) return r;
    }
    return dateOf(y, mo, d, millis);
}

FieldValue date_change(const FieldValue& value) {
    if (!value.isText()) return value.isEmpty() ? FieldValue::null() : value;
    ParsedDate p = parseMySqlDate(value.asText());
    if (!p.isDate) return value;
    return valueOf(p);
}

FieldValue date_change(const MySqlTimeParts& t) {
    // Microseconds to milliseconds rounded half up, as the text's fraction is.
    const int64_t fraction = (int64_t{t.microsecond} + 500) / 1000;
    const int64_t clock = ((int64_t{t.hour} * 60 + t.minute) * 60 + t.second) * 1000 + fraction;
    if (t.type == kMySqlTypeTime) return valueOf(spanOf(t.negative, clock));
    return valueOf(dateOf(t.year, t.month, t.day, clock));
}

}  // namespace veltrano
