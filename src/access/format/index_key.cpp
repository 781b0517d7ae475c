#include "access/format/index_key.h"

#include <algorithm>

#include "access/format/sort_order.h"
#include "access/format/text.h"

namespace veltrano::access {
namespace {

constexpr uint8_t kAscValue = 0x7F, kDescValue = 0x80, kAscNull = 0x00, kDescNull = 0xFF;

void invert(std::string& s, size_t from) {
    for (size_t i = from; i < s.size(); ++i) s[i] = static_cast<char>(~static_cast<uint8_t>(s[i]));
}

// Little-endian stored bytes to big-endian.
std::string reversed(const std::string& b) { return std::string(b.rbegin(), b.rend()); }

void generalBinary(std::string& key, const std::string& data, bool ascending) {
    size_t pos = 0;
    size_t remaining = data.size();
    while (remaining > 8) {
        std::string seg = data.substr(pos, 8);
        if (!ascending) invert(seg, 0);
        key += seg;
        key.push_back(0x09);  // more follows; never inverted
        pos += 8;
        remaining -= 8;
    }
    std::string seg = data.substr(pos);
    seg.resize(8, '\0');
    seg.push_back(static_cast<char>(remaining));
    if (!ascending) invert(seg, 0);
    key += seg;
}

}  // namespace

bool isIndexableType(ColumnType t) {
    switch (t) {
        case ColumnType::Memo:
        case ColumnType::Ole:
        case ColumnType::Complex:
        case ColumnType::Unknown0D:
        case ColumnType::Unknown11:
            return false;
        default:
            return true;
    }
}

Status appendKeyColumn(std::string& key, const ColumnModel& column, bool asc, const StoredCell& cell) {
    if (column.type == ColumnType::Boolean) {
        bool v = !cell.bytes.empty() && cell.bytes[0];
        key.push_back(static_cast<char>(asc ? kAscValue : kDescValue));
        key.push_back(static_cast<char>((v == asc) ? 0x00 : 0xFF));
        return Status::ok();
    }
    if (cell.null) {
        key.push_back(static_cast<char>(asc ? kAscNull : kDescNull));
        return Status::ok();
    }
    key.push_back(static_cast<char>(asc ? kAscValue : kDescValue));
    const size_t start = key.size();
    const std::string& b = cell.bytes;
    switch (column.type) {
        case ColumnType::Byte:
            key += b;
            if (!asc) invert(key, start);
            break;
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Currency:
        case ColumnType::BigInt: {
            std::string be = reversed(b);
            if (!be.empty()) be[0] = static_cast<char>(be[0] ^ 0x80);
            key += be;
            if (!asc) invert(key, start);
            break;
        }
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime: {
            std::string be = reversed(b);
            bool negative = !be.empty() && (static_cast<uint8_t>(be[0]) & 0x80);
            if (negative) {
                if (asc) invert(be, 0);
            } else {
                be[0] = static_cast<char>(be[0] ^ 0x80);
                if (!asc) invert(be, 0);
            }
            key += be;
            break;
        }
        case ColumnType::Numeric: {
            if (b.size() != 17) return Status::internal("decimal value of wrong size");
            bool negative = (static_cast<uint8_t>(b[0]) & 0x80) != 0;
            std::string be(1, b[0]);
            for (int w = 0; w < 4; ++w) be += reversed(b.substr(1 + 4 * w, 4));
            if (negative == asc) invert(be, 0);
            be[0] = static_cast<char>(negative ? 0x00 : 0xFF);
            key += be;
            break;
        }
        case ColumnType::Guid: {
            if (b.size() != 16) return Status::internal("GUID of wrong size");
            std::string text = reversed(b.substr(0, 4)) + reversed(b.substr(4, 2)) + reversed(b.substr(6, 2)) + b.substr(8);
            generalBinary(key, text, asc);
            break;
        }
        case ColumnType::Binary:
            generalBinary(key, b, asc);
            break;
        case ColumnType::Text: {
            std::string utf8 = decodeJet4Text(Bytes(reinterpret_cast<const uint8_t*>(b.data()), b.size()));
            ACCESS_RETURN_IF_ERROR(appendGeneralTextKey(utf8, asc, key));
            break;
        }
        default:
            return Status::notSupported(std::string("columns of type ") + columnTypeName(column.type) +
                                        " cannot be indexed");
    }
    return Status::ok();
}

Result<std::string> indexKey(const TableModel& t, size_t r, const std::vector<StoredCell>& cells, bool* allNull,
                             bool* anyNull) {
    std::string key;
    bool all = true, any = false;
    static const StoredCell kNull;
    for (const auto& ic : t.realIndexes[r].columns) {
        const ColumnModel* c = t.column(ic.column);
        if (!c) return Status::corruption("index names a missing column", t.page);
        const StoredCell& cell = ic.column < cells.size() ? cells[ic.column] : kNull;
        bool isNull = cell.null && c->type != ColumnType::Boolean;
        all = all && isNull;
        any = any || isNull;
        ACCESS_RETURN_IF_ERROR(appendKeyColumn(key, *c, ic.ascending, cell));
    }
    if (allNull) *allNull = all;
    if (anyNull) *anyNull = any;
    return key;
}

}  // namespace veltrano::access
