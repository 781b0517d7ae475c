// Literal and pattern pieces of the Jet SQL translation; see jet_sql_format.h.
#include "to_mysql/jet_sql_format.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace veltrano::tomysql {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == sep) out.emplace_back();
        else out.back() += c;
    }
    return out;
}

// "10:30", "10:30:15", with an optional AM/PM after a blank.
bool parseTime(std::string text, int& h, int& m, int& s) {
    std::string t = lower(text);
    bool pm = false, am = false;
    if (t.size() > 2 && (t.ends_with("pm") || t.ends_with("am"))) {
        pm = t.ends_with("pm");
        am = !pm;
        t = t.substr(0, t.size() - 2);
        while (!t.empty() && t.back() == ' ') t.pop_back();
    }
    auto parts = split(t, ':');
    if (parts.size() < 2 || parts.size() > 3) return false;
    for (const auto& p : parts)
        if (!allDigits(p) || p.size() > 2) return false;
    h = std::stoi(parts[0]);
    m = std::stoi(parts[1]);
    s = parts.size() == 3 ? std::stoi(parts[2]) : 0;
    if ((am || pm) && (h < 1 || h > 12)) return false;
    if (pm && h != 12) h += 12;
    if (am && h == 12) h = 0;
    return h < 24 && m < 60 && s < 60;
}

bool validDay(int y, int mo, int d) {
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1]) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return mo != 2 || d < 29 || leap;
}

}  // namespace

std::string textLiteral(std::string_view value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') out += "''";
        else if (c == '\\') out += "\\\\";
        else if (c == '\0') out += "\\0";
        else out += c;
    }
    return out + "'";
}

std::string jetDateToMysql(std::string_view jet, std::string& failure) {
    std::string text(jet);
    while (!text.empty() && text.front() == ' ') text.erase(0, 1);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::string datePart = text, timePart;
    const bool hasDate = text.find('/') != std::string::npos || text.find('-') != std::string::npos;
    if (hasDate) {
        if (size_t blank = text.find(' '); blank != std::string::npos) {
            datePart = text.substr(0, blank);
            timePart = text.substr(blank + 1);
        }
    } else {
        datePart.clear();
        timePart = text;
    }
    int y = 1899, mo = 12, d = 30;
    if (!datePart.empty()) {
        const bool us = datePart.find('/') != std::string::npos;
        auto parts = split(datePart, us ? '/' : '-');
        bool ok = parts.size() == 3 && allDigits(parts[0]) && allDigits(parts[1]) && allDigits(parts[2]);
        if (ok) {
            const std::string& yearText = us ? parts[2] : parts[0];
            y = std::stoi(yearText.substr(0, 5));
            mo = std::stoi((us ? parts[0] : parts[1]).substr(0, 3));
            d = std::stoi((us ? parts[1] : parts[2]).substr(0, 3));
            if (yearText.size() <= 2) y += y < 30 ? 2000 : 1900;
            ok = validDay(y, mo, d);
        }
        if (!ok) {
            failure = "the date #" + std::string(jet) + "# is not a month/day/year date";
            return {};
        }
    }
    int h = 0, mi = 0, s = 0;
    if (!timePart.empty() && !parseTime(timePart, h, mi, s)) {
        failure = "the date #" + std::string(jet) + "# has a time that is not understood";
        return {};
    }
    char buf[40];
    if (timePart.empty()) std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, d);
    else std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

std::string jetPatternToMysql(std::string_view pattern, std::string& failure) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c == '*') out += '%';
        else if (c == '?') out += '_';
        else if (c == '%' || c == '_') out += std::string("\\") + c;
        else if (c == '#') {
            failure = "the Like pattern '" + std::string(pattern) + "' uses # (any digit), which LIKE lacks";
            return {};
        } else if (c == '[') {
            if (i + 2 < pattern.size() && pattern[i + 2] == ']' &&
                std::string_view("*?#[").find(pattern[i + 1]) != std::string_view::npos) {
                out += pattern[i + 1];
                i += 2;
            } else {
                failure = "the Like pattern '" + std::string(pattern) + "' uses a character class, which LIKE lacks";
                return {};
            }
        } else out += c;
    }
    return out;
}

namespace {

std::string numberFormat(const std::string& value, const std::string& pattern, std::string& failure) {
    const std::string p = lower(pattern);
    if (p == "fixed") return "CAST(CAST(" + value + " AS DECIMAL(65,2)) AS CHAR)";
    if (p == "standard") return "FORMAT(" + value + ", 2)";
    if (p == "percent") return "CONCAT(CAST(CAST((" + value + ") * 100 AS DECIMAL(65,2)) AS CHAR), '%')";
    // 0, 0.00, #,##0, #,##0.00 and the like.
    bool grouped = false;
    size_t i = 0;
    if (p.rfind("#,##", 0) == 0) {
        grouped = true;
        i = 4;
    }
    if (i >= p.size() || p[i] != '0') {
        failure = "the Format pattern \"" + pattern + "\" has no MySQL form";
        return {};
    }
    ++i;
    int decimals = 0;
    if (i < p.size() && p[i] == '.') {
        ++i;
        while (i < p.size() && p[i] == '0') ++i, ++decimals;
    }
    if (i != p.size() || decimals > 30) {
        failure = "the Format pattern \"" + pattern + "\" has no MySQL form";
        return {};
    }
    const std::string n = std::to_string(decimals);
    if (grouped) return "FORMAT(" + value + ", " + n + ")";
    return "CAST(CAST(" + value + " AS DECIMAL(65," + n + ")) AS CHAR)";
}

}  // namespace

std::string jetFormatToMysql(const std::string& value, const std::string& pattern, std::string& failure) {
    const std::string p = lower(pattern);
    if (p.find('0') != std::string::npos || p.find('#') != std::string::npos || p == "fixed" || p == "standard" ||
        p == "percent")
        return numberFormat(value, pattern, failure);
    if (p == "q") return "CAST(QUARTER(" + value + ") AS CHAR)";
    if (p == "short date") return "DATE_FORMAT(" + value + ", '%Y-%m-%d')";
    if (p == "short time") return "DATE_FORMAT(" + value + ", '%H:%i')";
    if (p == "long time") return "DATE_FORMAT(" + value + ", '%H:%i:%s')";

    const bool twelveHour = p.find("am/pm") != std::string::npos;
    std::string out;
    bool afterHour = false;
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        size_t run = 1;
        while (i + run < p.size() && p[i + run] == c) ++run;
        if (p.compare(i, 5, "am/pm") == 0) {
            if (pattern.compare(i, 5, "AM/PM") != 0) break;
            out += "%p";
            i += 5;
            continue;
        }
        std::string piece;
        if (c == 'y') piece = run == 4 ? "%Y" : run == 2 ? "%y" : run == 1 ? "%j" : "";
        else if (c == 'm' && afterHour && run <= 2) piece = "%i";
        else if (c == 'm') piece = run == 4 ? "%M" : run == 3 ? "%b" : run == 2 ? "%m" : "%c";
        else if (c == 'd') piece = run == 4 ? "%W" : run == 3 ? "%a" : run == 2 ? "%d" : run == 1 ? "%e" : "";
        else if (c == 'h') piece = run == 2 ? (twelveHour ? "%h" : "%H") : run == 1 ? (twelveHour ? "%l" : "%k") : "";
        else if (c == 'n' && run == 2) piece = "%i";
        else if (c == 's' && run == 2) piece = "%s";
        else if (std::string_view(" /-:,.").find(c) != std::string_view::npos) piece = std::string(run, c);
        if (piece.empty() || (c == 'm' && run > 4)) {
            failure = "the Format pattern \"" + pattern + "\" has no MySQL form";
            return {};
        }
        if (std::isalpha(static_cast<unsigned char>(c))) afterHour = c == 'h';
        out += piece;
        i += run;
    }
    if (out.empty() || (twelveHour && out.find("%p") == std::string::npos)) {
        failure = "the Format pattern \"" + pattern + "\" has no MySQL form";
        return {};
    }
    return "DATE_FORMAT(" + value + ", " + textLiteral(out) + ")";
}

std::string jetDatePartToMysql(const std::string& interval, const std::string& value, std::string& failure) {
    const std::string i = lower(interval);
    const char* fn = i == "yyyy" ? "YEAR" : i == "q" ? "QUARTER" : i == "m" ? "MONTH" : i == "y" ? "DAYOFYEAR"
                   : i == "d"    ? "DAY"  : i == "w" ? "DAYOFWEEK" : i == "h" ? "HOUR" : i == "n" ? "MINUTE"
                   : i == "s"    ? "SECOND" : nullptr;
    if (!fn) {
        failure = "DatePart(\"" + interval + "\", ...) has no MySQL form";
        return {};
    }
    return std::string(fn) + "(" + value + ")";
}

}  // namespace veltrano::tomysql
