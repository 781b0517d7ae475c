// Complex columns of Access 2007 and later: attachments, multi-value fields
// and the version history of append-only memos.
//
// A complex column stores a 32-bit id in its row. The values live in a
// hidden "flat" table: one row per value, its template's columns plus a key
// and a foreign key that holds the owner row's id. MSysComplexColumns maps
// the column's complex id (column block) to the flat table, the template
// (MSysComplexType_*) and the owning table. The kind follows the template's
// shape, not its name: one plain column is a multi-value field; a memo, two
// texts, an OLE object, a date and a long are an attachment; a memo and a
// date are the history of the memo of the same name.
//
// Attachment data (FileData) is stored as: u32 0 (raw) or 1 (zlib stream),
// u32 decoded length D, then the content: u32 header length H, u32 (1),
// u32 extension length in characters, the extension (UTF-16LE, NUL), and
// from H to D the file's bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "access/read/catalog.h"
#include "access/format/tdef.h"
#include "access/format/value.h"

namespace veltrano::access {

enum class ComplexKind { Attachment, MultiValue, VersionHistory };

struct ComplexColumnInfo {
    ComplexKind kind = ComplexKind::MultiValue;
    std::shared_ptr<const TableDef> flat;  // the hidden table of values
    size_t foreignKey = 0;                 // its column holding the owner row's id
    std::vector<size_t> valueColumns;      // its template columns, in template order
    std::string versionedMemo;             // VersionHistory: the memo it records
};

// The values of one complex column by the id their owner row stores, in
// flat-table order. Each item holds the template's columns (`fields`);
// attachment FileData comes decoded (the file's own bytes).
struct ComplexValues {
    ComplexKind kind = ComplexKind::MultiValue;
    std::vector<std::string> fields;
    std::vector<ColumnDef> fieldColumns;  // the definitions of fields, for their types
    std::map<int32_t, std::vector<std::vector<Value>>> items;

    // What the cell of row `id` shows: the values (multi-value) or file names
    // (attachment) separated by "; "; "" when the row has none.
    std::string cellText(int32_t id) const;
};

// Resolves complex column `c` of the table whose definition starts at
// `ownerPage`. NotSupported (with the reason) for a template of another shape.
Result<ComplexColumnInfo> resolveComplexColumn(Pager& pager, const std::vector<CatalogEntry>& catalog,
                                               uint32_t ownerPage, const ColumnDef& c);
Result<ComplexValues> readComplexValues(Pager& pager, const ComplexColumnInfo& info);

// An attachment's stored FileData to the file's bytes.
Result<std::string> decodeAttachmentData(Bytes stored);

}  // namespace veltrano::access
