// Names of the column types as Access shows them.
#include "access/format/format.h"

namespace veltrano::access {

const char* columnTypeName(ColumnType t) {
    switch (t) {
        case ColumnType::Boolean: return "Yes/No";
        case ColumnType::Byte: return "Byte";
        case ColumnType::Integer: return "Integer";
        case ColumnType::Long: return "Long Integer";
        case ColumnType::Currency: return "Currency";
        case ColumnType::Single: return "Single";
        case ColumnType::Double: return "Double";
        case ColumnType::DateTime: return "Date/Time";
        case ColumnType::Binary: return "Binary";
        case ColumnType::Text: return "Text";
        case ColumnType::Ole: return "OLE Object";
        case ColumnType::Memo: return "Memo";
        case ColumnType::Guid: return "Replication ID";
        case ColumnType::Numeric: return "Decimal";
        case ColumnType::Complex: return "Complex";
        case ColumnType::BigInt: return "Large Number";
        case ColumnType::ExtDateTime: return "Date/Time Extended";
        default: return "Unknown";
    }
}

uint8_t decodeColumnFlags(uint8_t stored, ColumnType type, const Format& format) {
    if (format.isJet4()) return stored;
    uint8_t flags = stored;
    if (type != ColumnType::Long) flags &= static_cast<uint8_t>(~column_flag::kAutoLong);
    if (type != ColumnType::Guid) flags &= static_cast<uint8_t>(~column_flag::kAutoGuid);
    if (type != ColumnType::Memo) flags &= static_cast<uint8_t>(~column_flag::kHyperlink);
    return flags;
}

}  // namespace veltrano::access
