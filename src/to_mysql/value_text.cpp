#include "to_mysql/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "mysql/sql_text.h"

namespace veltrano::tomysql {

namespace {

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

void appendNumber(std::string& out, double d) {
    if (!std::isfinite(d)) {
        out += "NULL";  // MySQL has no infinity or NaN
        return;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    out.append(buf, r.ptr);
}

void appendDateTime(std::string& out, double oleDate) {
    CalendarTime t = oleDateToCalendar(oleDate);
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", t.year, t.month, t.day,
                          t.hour, t.minute, t.second);
    out.append(buf, static_cast<size_t>(n));
}

// Text that is not a plain number is quoted: the server turns it into the
// column's type or refuses the row, and nothing in it can change the statement.
void appendTextAsPlain(std::string& out, const std::string& text) {
    if (isPlainNumber(text))
        out += text;
    else
        appendSqlTextLiteral(out, text);
}

}  // namespace

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
    if (t == "BLOB") return ValueForm::Binary;
    if (t == "DATETIME") return ValueForm::DateTime;
    if (t == "TINYINT(1)") return ValueForm::Boolean;
    if (t.find("VARCHAR") != std::string::npos || t.find("TEXT") != std::string::npos)
        return ValueForm::Text;
    return ValueForm::Plain;
}

void appendValueText(std::string& out, const FieldValue& value, ValueForm form) {
    if (value.isNull() || value.isEmpty()) {
        out += "NULL";
        return;
    }
    switch (form) {
        case ValueForm::Binary:
            appendSqlBinaryLiteral(out, value.isText() ? value.asText() : value.toDisplayText());
            return;
        case ValueForm::Text:
            appendSqlTextLiteral(out, value.isText() ? value.asText() : value.toDisplayText());
            return;
        case ValueForm::DateTime:
            if (value.isDateTime())
                appendDateTime(out, value.asDateTime());
            else if (value.isNumber())
                appendDateTime(out, value.asNumber());
            else
                appendSqlTextLiteral(out, value.toDisplayText());
            return;
        case ValueForm::Boolean:
            if (value.isBoolean()) {
                out += value.asBoolean() ? '1' : '0';
                return;
            }
            if (value.isText()) {
                if (equalsNoCase(value.asText(), "TRUE")) {
                    out += '1';
                    return;
                }
                if (equalsNoCase(value.asText(), "FALSE")) {
                    out += '0';
                    return;
                }
                appendTextAsPlain(out, value.asText());
                return;
            }
            break;
        case ValueForm::Plain:
            break;
    }
    switch (value.kind()) {
        case FieldValue::Kind::Number: appendNumber(out, value.asNumber()); return;
        case FieldValue::Kind::Boolean: out += value.asBoolean() ? '1' : '0'; return;
        case FieldValue::Kind::DateTime: appendDateTime(out, value.asDateTime()); return;
        case FieldValue::Kind::Text: appendTextAsPlain(out, value.asText()); return;
        default: out += "NULL"; return;
    }
}

}  // namespace veltrano::tomysql
