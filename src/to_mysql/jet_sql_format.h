// The literal and pattern pieces of the Jet SQL translation
// (jet_sql_translation.h): texts, #date# literals, Like patterns, and the
// patterns of Format and DatePart. Each sets `failure` (and returns "")
// when the piece has no MySQL form.
#pragma once

#include <string>
#include <string_view>

namespace veltrano::tomysql {

// A MySQL text literal: single quotes, with ' doubled and \ and NUL escaped.
std::string textLiteral(std::string_view value);

// "1/31/95", "1/31/1995 10:30:00 PM", "1995-01-31", "10:30" as MySQL date
// text. Jet date literals are month/day/year whatever the locale; years
// 00-29 are 2000-2029 and 30-99 are 1930-1999; a time alone is on
// 1899-12-30, Access's day zero.
std::string jetDateToMysql(std::string_view jet, std::string& failure);

// A Like pattern: * and ? become % and _, a literal % or _ is escaped, and
// [*] [?] [#] [[] match themselves. # (any digit) and other character
// classes have no LIKE form.
std::string jetPatternToMysql(std::string_view pattern, std::string& failure);

// Format(value, pattern) for the common date patterns (yyyy, mm, dd, hh, nn,
// ss, AM/PM, mmm, dddd, ...) and number patterns ("0", "0.00", "#,##0.00",
// "Fixed", "Standard", "Percent").
std::string jetFormatToMysql(const std::string& valueSql, const std::string& pattern, std::string& failure);

// DatePart(interval, value) for yyyy, q, m, y, d, w, h, n and s.
std::string jetDatePartToMysql(const std::string& interval, const std::string& valueSql, std::string& failure);

}  // namespace veltrano::tomysql
