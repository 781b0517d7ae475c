// The SQL text of one Access value in an INSERT statement, judged by the
// MySQL type text its column was given (ColumnDefinition::typeName after
// createTableStatement).
//
// Every form reads the same whatever the server's sql_mode: text goes as a
// single-quoted literal without backslash escapes or as hexadecimal bytes
// with a character-set introducer; bytes of binary columns go as X'..'.
//
// GUID columns become BLOB columns; a GUID is sent as its text form
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" as Access shows it, which keeps it
// readable and free of any byte-order question.
#pragma once

#include <string>

#include "common/field_value.h"

namespace veltrano::tomysql {

// How a column's values are written, decided once per column.
enum class ValueForm {
    Plain,     // numbers and anything else: the value's plain text
    Text,      // VARCHAR / TEXT columns
    DateTime,  // 'YYYY-MM-DD HH:MM:SS'
    // DATETIME(6), from Date/Time Extended text 'YYYY-MM-DD HH:MM:SS[.fffffff]':
    // cut to the microsecond
    PreciseDateTime,
    Boolean,   // TINYINT(1): 0 or 1
    Binary,    // BLOB: the bytes
};

ValueForm valueFormFor(const std::string& mysqlTypeName);

// Appends the value's SQL text to out.
void appendValueText(std::string& out, const FieldValue& value, ValueForm form);

// The two halves of appendValueText, shared with the LOAD DATA path so that
// both send the same text for a value: the value's plain text (false for
// NULL), and the SQL literal of such a text.
bool appendFieldText(std::string& out, const FieldValue& value, ValueForm form);
void appendLiteralOfField(std::string& out, std::string_view text, ValueForm form);

// Why MySQL cannot hold the value in a column of this form ("" when it
// can): NaN and infinities, dates outside the years 1000 to 9999.
std::string unsendableReason(const FieldValue& value, ValueForm form);

// A Date/Time Extended text whose seventh fractional digit is not 0: what
// DATETIME(6) cuts off.
bool hasSubMicrosecond(const FieldValue& value);

// The date-time as MySQL takes it, rounded to the second as Access shows it.
CalendarTime roundedToSecond(double oleDate);

// True when text is a plain decimal number ("-12", "3.25", "1e-5") that can
// go into a statement unquoted.
bool isPlainNumber(std::string_view text);

// ASCII case-insensitive equality, for keywords in values and defaults
// ("TRUE", "nan", "Now()"); names compare with namesEqual.
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace veltrano::tomysql
