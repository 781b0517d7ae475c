// Property blob parsing; layout in properties.h.
#include "access/format/properties.h"

#include <cstring>

#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {

namespace {

std::string decodeName(Bytes b, const Format& f, uint16_t codePage) {
    return f.isJet4() ? decodeJet4Text(b) : decodeCodePage(b, codePage);
}

Value decodePropertyValue(uint8_t type, Bytes data, const Format& f, uint16_t codePage) {
    auto t = static_cast<ColumnType>(type);
    switch (t) {
        case ColumnType::Boolean:
            return Value::ofInteger(ValueKind::Boolean, !data.empty() && data[0] != 0 ? 1 : 0);
        case ColumnType::Text:
        case ColumnType::Memo:
            return Value::ofBytes(ValueKind::Text, decodeName(data, f, codePage));
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::Guid:
        case ColumnType::Numeric: {
            auto v = decodeFixedValue(t, data, 0);
            if (v.isOk()) return *v;
            return Value::ofBytes(ValueKind::Binary, std::string(data.begin(), data.end()));
        }
        default:
            return Value::ofBytes(ValueKind::Binary, std::string(data.begin(), data.end()));
    }
}

void parseBlock(const ByteReader& r, const std::vector<std::string>& names, const Format& f, uint16_t codePage,
                std::vector<PropertySet>& out) {
    PropertySet set;
    size_t nameLen = r.u16(4);
    Bytes objName = r.slice(6, nameLen);
    if (!r.ok()) return;
    set.objectName = decodeName(objName, f, codePage);
    size_t pos = 6 + nameLen;
    while (r.has(pos, 8)) {
        size_t recLen = r.u16(pos);
        uint8_t type = r.u8(pos + 3);
        size_t nameIndex = r.u16(pos + 4);
        size_t valueLen = r.u16(pos + 6);
        if (recLen < 8 || nameIndex >= names.size() || !r.has(pos + 8, valueLen)) break;
        set.values.emplace_back(names[nameIndex], decodePropertyValue(type, r.slice(pos + 8, valueLen), f, codePage));
        set.flags.push_back(r.u8(pos + 2));
        pos += recLen;
    }
    out.push_back(std::move(set));
}

}  // namespace

const Value* PropertySet::find(std::string_view name) const {
    for (const auto& [n, v] : values)
        if (namesEqual(n, name)) return &v;
    return nullptr;
}

std::vector<PropertySet> parseProperties(Bytes blob, const Format& f, uint16_t codePage) {
    std::vector<PropertySet> out;
    if (blob.size() < 4 || (std::memcmp(blob.data(), "MR2", 4) != 0 && std::memcmp(blob.data(), "KKD", 4) != 0))
        return out;
    ByteReader r(blob);
    std::vector<std::string> names;
    size_t pos = 4;
    for (int guard = 0; guard < 10000 && r.has(pos, 6); ++guard) {
        size_t len = r.u32(pos);
        uint16_t type = r.u16(pos + 4);
        if (len < 6 || !r.has(pos, len)) break;
        ByteReader chunk(blob.subspan(pos + 6, len - 6));
        if (type == 0x80) {
            names.clear();
            size_t p = 0;
            while (chunk.has(p, 2)) {
                size_t n = chunk.u16(p);
                if (!chunk.has(p + 2, n)) break;
                names.push_back(decodeName(chunk.slice(p + 2, n), f, codePage));
                p += 2 + n;
            }
        } else if (type <= 2) {
            parseBlock(chunk, names, f, codePage, out);
        }
        pos += len;
    }
    return out;
}

}  // namespace veltrano::access
