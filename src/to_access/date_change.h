// Turning the date and time texts MySQL sends into Access date values.
//
// MySQL writes DATE as "YYYY-MM-DD", DATETIME and TIMESTAMP as
// "YYYY-MM-DD HH:MM:SS[.ffffff]" and TIME as "[-]H..H:MM:SS[.ffffff]" (up to
// 838 hours either way). The texts are read field by field, never through a
// locale, so 2003-01-05 is always the 5th of January.
#pragma once

#include <string_view>

#include "common/field_value.h"
#include "mysql/mysql_stream.h"

namespace veltrano {

// The date a MySQL date, date-time or time text stands for:
//   - a date-time keeps its time of day (to the millisecond);
//   - a TIME is that span from Access's zero date 1899-12-30, so 10:20:30
//     reads back in Access as the time 10:20:30;
//   - zero and incomplete dates ("0000-00-00", "2003-00-10") and impossible
//     ones ("2003-02-30") have no Access value: they give Null;
//   - SQL NULL stays Null.
// A text that is not a date at all is returned unchanged, so the caller can
// let the target decide (and report) what to do with it.
FieldValue date_change(const FieldValue& value);
// The same for a date or time a binary read gave as its parts.
FieldValue date_change(const MySqlTimeParts& parts);

// The reading behind date_change, for one text.
struct ParsedDate {
    bool isDate = false;  // a date or time text was recognised
    bool isNull = false;  // ... one with no Access value (zero or impossible date)
    double oleDate = 0;   // days since 1899-12-30, time as the fraction
};
ParsedDate parseMySqlDate(std::string_view text);

}  // namespace veltrano
