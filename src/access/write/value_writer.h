// Converting a FieldValue into the stored bytes of a column, the way the
// provider converts what a caller assigns: text is parsed into numbers,
// dates, GUIDs and decimals; a value the column cannot hold is refused.
#pragma once

#include "access/write/row_writer.h"
#include "access/write/tdef_writer.h"
#include "common/field_value.h"

namespace veltrano::access {

// For memo and OLE columns the StoredCell holds the value's bytes (UCS-2 text or
// raw data), not yet placed on LVAL pages.
Result<StoredCell> convertField(const ColumnModel& column, const FieldValue& value);
// The same into `out`, whose buffer is reused; on a refusal `out` is left
// unspecified.
Status convertFieldInto(const ColumnModel& column, const FieldValue& value, StoredCell& out);

// Text of a date, "YYYY-MM-DD[ HH:MM[:SS]]", "HH:MM[:SS]" or "DD/MM/YYYY"
// (the wizard's own day-first reading) to an OLE date.
bool parseDateText(const std::string& text, double& oleDate);

}  // namespace veltrano::access
