// Small text helpers shared by the files of the MySQL layer (not installed
// for other subsystems).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/field_value.h"

namespace veltrano {

// Error text for a call that needs an open connection (the library's own
// wording for its number CR_SERVER_GONE_ERROR, 2006).
inline constexpr char kNotConnected[] = "Server has gone away";

std::string upperAscii(std::string_view s);
// s without leading and trailing blanks (spaces).
std::string_view trimmedBlanks(std::string_view s);
// A column number given as a number or as text that reads as one.
std::optional<int32_t> columnNumber(const FieldValue& key);
// The text a value is written as in a statement: Text as is, numbers with a
// "." point and no exponent, booleans 1 and 0, dates "YYYY-MM-DD HH:MM:SS".
std::string statementText(const FieldValue& value);

}  // namespace veltrano
