#include "to_mysql/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "mysql/sql_text.h"

namespace veltrano::tomysql {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

namespace {

bool appendNumber(std::string& out, double d) {
    if (!std::isfinite(d)) return false;  // MySQL has no infinity or NaN: NULL
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    out.append(buf, r.ptr);
    return true;
}

bool isNotANumberText(const std::string& t) {
    std::string_view v(t);
    if (!v.empty() && (v[0] == '-' || v[0] == '+')) v.remove_prefix(1);
    return equalsNoCase(v, "nan") || equalsNoCase(v, "inf") || equalsNoCase(v, "infinity");
}

void appendDateTime(std::string& out, double oleDate) {
    appendCalendarText(out, roundedToSecond(oleDate), false);
}

}  // namespace

CalendarTime roundedToSecond(double oleDate) {
    CalendarTime t = oleDateToCalendar(oleDate);
    if (t.millisecond < 500) {
        t.millisecond = 0;
        return t;
    }
    t.millisecond = 0;
    if (++t.second < 60) return t;
    t.second = 0;
    if (++t.minute < 60) return t;
    t.minute = 0;
    if (++t.hour < 24) return t;
    // The next day: the whole part of an OLE date is the day on either side of zero.
    CalendarTime midnight = t;
    midnight.hour = 0;
    return oleDateToCalendar(calendarToOleDate(midnight) + 1.0);
}

std::string unsendableReason(const FieldValue& value, ValueForm form) {
    if (value.isNumber() && !std::isfinite(value.asNumber()))
        return "MySQL has no value for NaN or infinity";
    if ((form == ValueForm::Plain || form == ValueForm::Boolean) && value.isText() && isNotANumberText(value.asText()))
        return "MySQL has no value for " + value.asText();
    if (form == ValueForm::DateTime && (value.isDateTime() || value.isNumber())) {
        double d = value.isDateTime() ? value.asDateTime() : value.asNumber();
        CalendarTime t = roundedToSecond(d);
        if (!std::isfinite(d) || std::fabs(d) > 3e6 || t.year < 1000 || t.year > 9999)
            return "the date " + (std::isfinite(d) ? formatOleDate(d) : std::string("?")) +
                   " lies outside the years 1000 to 9999 that MySQL's DATETIME holds";
    }
    // Date/Time Extended text starts with a four-digit year (1 to 9999).
    if (form == ValueForm::PreciseDateTime && value.isText() && value.asText().size() >= 4 &&
        value.asText().compare(0, 4, "1000") < 0)
        return "the date " + value.asText() + " lies outside the years 1000 to 9999 that MySQL's DATETIME holds";
    return {};
}

bool hasSubMicrosecond(const FieldValue& value) {
    // "YYYY-MM-DD HH:MM:SS.fffffff": 27 characters, the last the seventh digit.
    return value.isText() && value.asText().size() == 27 && value.asText()[26] != '0';
}

bool isPlainNumber(std::string_view s) {
    size_t i = 0, n = s.size();
    if (i < n && (s[i] == '-' || s[i] == '+')) ++i;
    size_t digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '-' || s[i] == '+')) ++i;
        size_t exp = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++exp;
        if (exp == 0) return false;
    }
    return i == n;
}

ValueForm valueFormFor(const std::string& t) {
    if (t.find("BLOB") != std::string::npos) return ValueForm::Binary;
    if (t == "DATETIME") return ValueForm::DateTime;
    if (t == "DATETIME(6)") return ValueForm::PreciseDateTime;
    if (t == "TINYINT(1)") return ValueForm::Boolean;
    if (t.find("VARCHAR") != std::string::npos || t.find("TEXT") != std::string::npos)
        return ValueForm::Text;
    return ValueForm::Plain;
}

bool appendFieldText(std::string& out, const FieldValue& value, ValueForm form) {
    if (value.isNull() || value.isEmpty()) return false;
    switch (form) {
        case ValueForm::Binary:
        case ValueForm::Text:
            if (value.isText()) out += value.asText();
            else out += value.toDisplayText();
            return true;
        case ValueForm::DateTime:
            if (value.isDateTime()) appendDateTime(out, value.asDateTime());
            else if (value.isNumber()) appendDateTime(out, value.asNumber());
            else out += value.toDisplayText();
            return true;
        case ValueForm::PreciseDateTime:
            // Cut, not rounded: rounding 23:59:59.9999999 up would change the day.
            if (value.isText()) out += std::string_view(value.asText()).substr(0, 26);
            else out += value.toDisplayText();
            return true;
        case ValueForm::Boolean:
            if (value.isText()) {
                if (equalsNoCase(value.asText(), "TRUE")) out += '1';
                else if (equalsNoCase(value.asText(), "FALSE")) out += '0';
                else out += value.asText();
                return true;
            }
            break;
        case ValueForm::Plain:
            break;
    }
    switch (value.kind()) {
        case FieldValue::Kind::Number: return appendNumber(out, value.asNumber());
        case FieldValue::Kind::Boolean: out += value.asBoolean() ? '1' : '0'; return true;
        case FieldValue::Kind::DateTime: appendDateTime(out, value.asDateTime()); return true;
        case FieldValue::Kind::Text: out += value.asText(); return true;
        default: return false;
    }
}

void appendLiteralOfField(std::string& out, std::string_view text, ValueForm form) {
    switch (form) {
        case ValueForm::Binary: appendSqlBinaryLiteral(out, text); return;
        case ValueForm::Text:
        case ValueForm::DateTime:
        case ValueForm::PreciseDateTime: appendSqlTextLiteral(out, text); return;
        case ValueForm::Boolean:
        case ValueForm::Plain:
            // Text that is not a plain number is quoted: the server turns it
            // into the column's type or refuses the row, and nothing in it
            // can change the statement.
            if (isPlainNumber(text)) out += text;
            else appendSqlTextLiteral(out, text);
            return;
    }
}

void appendValueText(std::string& out, const FieldValue& value, ValueForm form) {
    thread_local std::string field;
    field.clear();
    if (!appendFieldText(field, value, form)) {
        out += "NULL";
        return;
    }
    appendLiteralOfField(out, field, form);
}

}  // namespace veltrano::tomysql
