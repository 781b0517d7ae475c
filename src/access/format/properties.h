// Object properties (the LvProp blob of a catalog row): default values,
// "Required", descriptions and the like, for the table and each column.
//
// Blob: "MR2\0" (Jet4) or "KKD\0" (Jet3), then chunks {u32 length (with
// this 6-byte head), u16 type}:
//   type 0x80  name list: {u16 byte length, name}... (Jet4 UCS-2, Jet3 code page)
//   type 0..2  property block: u32 length, u16 name length + object name
//              ("" or the table's name for the table, else a column name),
//              then {u16 length, u8 flags, u8 data type, u16 name index,
//              u16 value length, value}...
// Malformed parts end the parse of that chunk quietly; properties are an
// extra, never a reason to refuse a table.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "access/base/coding.h"
#include "access/format/format.h"
#include "access/format/value.h"

namespace veltrano::access {

struct PropertySet {
    std::string objectName;  // "" or the table name for the table itself
    std::vector<std::pair<std::string, Value>> values;
    std::vector<uint8_t> flags;  // the stored flag byte of each value
    const Value* find(std::string_view name) const;  // case-insensitive
};

std::vector<PropertySet> parseProperties(Bytes blob, const Format& format, uint16_t codePage);

}  // namespace veltrano::access
