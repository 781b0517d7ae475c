#include "common/field_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace veltrano {

namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (Howard Hinnant's
// civil-from-days algorithm, public domain).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const long long kOleEpochDays = daysFromCivil(1899, 12, 30);

// Splits an OLE date into days from 1899-12-30 and milliseconds into that
// day. False (and nothing set) for NaN, infinities and dates too far out.
bool splitOleDate(double oleDate, long long& day, long long& ms) {
    if (!std::isfinite(oleDate) || std::fabs(oleDate) > 3e6) return false;
    // Access keeps the day as the signed whole part and the time as the
    // unsigned fraction: -1.25 is 1899-12-29 06:00.
    double whole = std::trunc(oleDate);
    double frac = std::fabs(oleDate - whole);
    // llround of a non-negative value below 2^53, without the call: the
    // fraction a truncation leaves is exact, and a half rounds up.
    const double scaled = frac * 86400000.0;
    ms = static_cast<long long>(scaled);
    if (scaled - static_cast<double>(ms) >= 0.5) ++ms;
    day = static_cast<long long>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        day += 1;  // a full day of time moves the calendar forward either side of zero
    }
    return true;
}

// "00".."99", two characters a number.
constexpr char kTwoDigits[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* writeTwoDigits(char* w, unsigned v) {
    w[0] = kTwoDigits[2 * v];
    w[1] = kTwoDigits[2 * v + 1];
    return w + 2;
}

}  // namespace

char* writeDecimal(char* w, uint64_t v) {
    // The digits end at 20; twenty bytes from the first are copied, so
    // the copy has a fixed size and is a few moves, not a call.
    constexpr size_t kMost = 20;
    char digits[2 * kMost];
    char* at = digits + kMost;
    while (v >= 100) {
        at -= 2;
        writeTwoDigits(at, static_cast<unsigned>(v % 100));
        v /= 100;
    }
    if (v >= 10) {
        at -= 2;
        writeTwoDigits(at, static_cast<unsigned>(v));
    } else {
        *--at = static_cast<char>('0' + v);
    }
    std::memcpy(w, at, kMost);
    return w + (digits + kMost - at);
}

char* writeDecimal(char* w, int64_t v) {
    if (v >= 0) return writeDecimal(w, static_cast<uint64_t>(v));
    *w++ = '-';
    return writeDecimal(w, static_cast<uint64_t>(0) - static_cast<uint64_t>(v));  // INT64_MIN too
}

CalendarTime oleDateToCalendar(double oleDate) {
    CalendarTime t;
    long long day = 0, ms = 0;
    if (!splitOleDate(oleDate, day, ms)) return t;
    civilFromDays(kOleEpochDays + day, t.year, t.month, t.day);
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

double calendarToOleDate(const CalendarTime& t) {
    long long day = daysFromCivil(t.year, static_cast<unsigned>(t.month),
                                  static_cast<unsigned>(t.day)) -
                    kOleEpochDays;
    double frac = (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.millisecond) /
                  86400000.0;
    return day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
}

std::string formatOleDate(double oleDate) {
    std::string out;
    appendCalendarText(out, oleDateToCalendar(oleDate));
    return out;
}

void appendCalendarText(std::string& out, const CalendarTime& t, bool milliseconds) {
    const bool millis = milliseconds && t.millisecond != 0;
    if (t.year < 0 || t.year > 9999) {
        char buf[48];
        int n = millis ? std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                                       t.hour, t.minute, t.second, t.millisecond)
                       : std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                                       t.hour, t.minute, t.second);
        out.append(buf, static_cast<size_t>(n));
        return;
    }
    // By hand: readers and writers format a date for every row.
    char buf[23];
    auto two = [](char* at, int v) { return writeTwoDigits(at, static_cast<unsigned>(v)); };
    char* w = two(two(buf, t.year / 100), t.year % 100);
    *w++ = '-';
    w = two(w, t.month);
    *w++ = '-';
    w = two(w, t.day);
    *w++ = ' ';
    w = two(w, t.hour);
    *w++ = ':';
    w = two(w, t.minute);
    *w++ = ':';
    w = two(w, t.second);
    if (millis) {
        *w++ = '.';
        *w++ = static_cast<char>('0' + t.millisecond / 100);
        w = two(w, t.millisecond % 100);
    }
    out.append(buf, static_cast<size_t>(w - buf));
}

char* OleDateWriter::write(char* w, double oleDate) {
    long long day = 0, ms = 0;
    if (!splitOleDate(oleDate, day, ms)) return writeInFull(w, oleDate);
    if (!haveDay_ || day != day_) {
        int y = 0, m = 0, d = 0;
        civilFromDays(kOleEpochDays + day, y, m, d);
        if (y < 0 || y > 9999) return writeInFull(w, oleDate);
        char* at = writeTwoDigits(date_, static_cast<unsigned>(y / 100));
        at = writeTwoDigits(at, static_cast<unsigned>(y % 100));
        *at++ = '-';
        at = writeTwoDigits(at, static_cast<unsigned>(m));
        *at++ = '-';
        at = writeTwoDigits(at, static_cast<unsigned>(d));
        *at = ' ';
        day_ = day;
        haveDay_ = true;
    }
    w = std::copy_n(date_, sizeof date_, w);
    const auto time = static_cast<unsigned>(ms);
    w = writeTwoDigits(w, time / 3600000);
    *w++ = ':';
    w = writeTwoDigits(w, time / 60000 % 60);
    *w++ = ':';
    w = writeTwoDigits(w, time / 1000 % 60);
    if (const unsigned millis = time % 1000; millis != 0) {
        *w++ = '.';
        *w++ = static_cast<char>('0' + millis / 100);
        w = writeTwoDigits(w, millis % 100);
    }
    return w;
}

char* OleDateWriter::writeInFull(char* w, double oleDate) {
    std::string text;
    appendCalendarText(text, oleDateToCalendar(oleDate));
    return std::copy(text.begin(), text.end(), w);
}

std::string FieldValue::toDisplayText() const {
    switch (kind()) {
        case Kind::Empty:
        case Kind::Null:
            return {};
        case Kind::Text:
            return asText();
        case Kind::Number: {
            char buf[64];
            auto r = std::to_chars(buf, buf + sizeof buf, asNumber());
            return std::string(buf, r.ptr);
        }
        case Kind::DateTime:
            return formatOleDate(asDateTime());
        case Kind::Boolean:
            return asBoolean() ? "True" : "False";
    }
    return {};
}

}  // namespace veltrano
