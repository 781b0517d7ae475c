// Property blobs and their long values in MSysObjects; see properties_writer.h.
#include "access/write/properties_writer.h"

#include <algorithm>
#include <cstring>

#include "access/write/database_writer.h"
#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {
namespace {

constexpr uint16_t kNameListChunk = 0x80;
constexpr uint16_t kTableChunk = 0x00;
constexpr uint16_t kColumnChunk = 0x01;
constexpr size_t kMaxTextProperty = 255;  // characters; longer text is stored as memo
constexpr size_t kMaxPropertyData = 0xFFFF - 8;
constexpr int kMaxChainRows = 1 << 18;  // 1 GB of chunks; only a guard against loops

void putLe(std::string& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void patchU32(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

template <typename T>
std::string bitsOf(T v) {
    std::string s(sizeof(T), '\0');
    std::memcpy(s.data(), &v, sizeof(T));
    return s;  // the hosts we build for are little-endian, as the file is
}

// Type code and stored bytes of a value; false for kinds properties do not hold.
bool encodeValue(const Value& v, uint8_t& type, std::string& data) {
    data.clear();
    switch (v.kind) {
        case ValueKind::Boolean:
            type = static_cast<uint8_t>(ColumnType::Boolean);
            data.push_back(v.integer ? 1 : 0);
            return true;
        case ValueKind::Byte:
            type = static_cast<uint8_t>(ColumnType::Byte);
            putLe(data, static_cast<uint64_t>(v.integer), 1);
            return true;
        case ValueKind::Integer:
            type = static_cast<uint8_t>(ColumnType::Integer);
            putLe(data, static_cast<uint64_t>(v.integer), 2);
            return true;
        case ValueKind::Long:
            type = static_cast<uint8_t>(ColumnType::Long);
            putLe(data, static_cast<uint64_t>(v.integer), 4);
            return true;
        case ValueKind::Currency:
            type = static_cast<uint8_t>(ColumnType::Currency);
            putLe(data, static_cast<uint64_t>(v.integer), 8);
            return true;
        case ValueKind::Single:
            type = static_cast<uint8_t>(ColumnType::Single);
            data = bitsOf(static_cast<float>(v.real));
            return true;
        case ValueKind::Double:
        case ValueKind::DateTime:
            type = static_cast<uint8_t>(v.kind == ValueKind::Double ? ColumnType::Double : ColumnType::DateTime);
            data = bitsOf(v.real);
            return true;
        case ValueKind::Text:
            data = utf8ToUtf16le(v.bytes);
            type = static_cast<uint8_t>(data.size() / 2 <= kMaxTextProperty ? ColumnType::Text : ColumnType::Memo);
            return data.size() <= kMaxPropertyData;
        case ValueKind::Binary:
        case ValueKind::Guid:
            data = v.bytes;
            type = static_cast<uint8_t>(data.size() <= 255 ? ColumnType::Binary : ColumnType::Ole);
            return data.size() <= kMaxPropertyData;
        default:
            return false;
    }
}

void putName(std::string& out, const std::string& utf8) {
    std::string u = utf8ToUtf16le(utf8);
    putLe(out, u.size(), 2);
    out += u;
}

}  // namespace

std::string encodeProperties(const std::vector<ObjectProperties>& objects) {
    struct Record {
        size_t name;
        uint8_t flags, type;
        std::string data;
    };
    std::vector<std::string> names;
    auto nameIndex = [&](const std::string& n) {
        for (size_t i = 0; i < names.size(); ++i)
            if (namesEqual(names[i], n)) return i;
        names.push_back(n);
        return names.size() - 1;
    };
    std::vector<std::pair<const ObjectProperties*, std::vector<Record>>> blocks;
    for (const auto& o : objects) {
        std::vector<Record> records;
        for (const auto& p : o.values) {
            Record r{0, p.flags, 0, {}};
            if (p.name.empty() || !encodeValue(p.value, r.type, r.data)) continue;
            r.name = nameIndex(p.name);
            // A later value of the same property replaces the earlier one.
            auto same = std::find_if(records.begin(), records.end(), [&](const Record& x) { return x.name == r.name; });
            if (same != records.end()) *same = std::move(r);
            else records.push_back(std::move(r));
        }
        if (!records.empty()) blocks.emplace_back(&o, std::move(records));
    }
    if (blocks.empty()) return {};
    std::string out("MR2\0", 4);
    size_t start = out.size();
    putLe(out, 0, 4);
    putLe(out, kNameListChunk, 2);
    for (const auto& n : names) putName(out, n);
    patchU32(out, start, static_cast<uint32_t>(out.size() - start));
    // The table's own block first, as Access writes it.
    std::stable_sort(blocks.begin(), blocks.end(), [](const auto& a, const auto& b) {
        return a.first->object.empty() && !b.first->object.empty();
    });
    for (const auto& [o, records] : blocks) {
        start = out.size();
        putLe(out, 0, 4);
        putLe(out, o->object.empty() ? kTableChunk : kColumnChunk, 2);
        size_t nameStart = out.size();
        putLe(out, 0, 4);
        putName(out, o->object);
        patchU32(out, nameStart, static_cast<uint32_t>(out.size() - nameStart));
        for (const auto& r : records) {
            putLe(out, 8 + r.data.size(), 2);
            out.push_back(static_cast<char>(r.flags));
            out.push_back(static_cast<char>(r.type));
            putLe(out, r.name, 2);
            putLe(out, r.data.size(), 2);
            out += r.data;
        }
        patchU32(out, start, static_cast<uint32_t>(out.size() - start));
    }
    return out;
}

// ------------------------------------------------------------ long values

namespace {

const LvMapModel* lvMapOf(const TableModel& t, uint16_t column) {
    for (const auto& m : t.lvMaps)
        if (m.column == column) return &m;
    return nullptr;
}

std::string reference(uint32_t lengthAndFlags, uint32_t pageRow) {
    std::string r;
    putLe(r, lengthAndFlags, 4);
    putLe(r, pageRow, 4);
    putLe(r, 0, 4);
    return r;
}

bool isLvalPage(Bytes pg) { return pg.size() > 8 && pg[0] == page_type::kData && dataPageOwner(pg) == data_page_const::kLongValueOwner; }

}  // namespace

Result<std::string> storeCatalogLongValue(WriteDatabase& db, const TableModel& objects, uint16_t column,
                                          const std::string& blob) {
    const uint32_t len = static_cast<uint32_t>(blob.size());
    if (blob.size() <= kMaxInlineLongValue) return reference(len | 0x80000000u, 0) + blob;
    const LvMapModel* map = lvMapOf(objects, column);
    if (!map) return Status::corruption("the catalog has no long-value map for its properties", objects.page);
    PageStore& store = db.store();
    ACCESS_ASSIGN_OR_RETURN(PageSet owned, readMapPages(store, map->ownedMap));
    std::string cell;
    if (blob.size() <= kMaxSingleLvalRow) {
        std::vector<uint8_t> pg;
        uint32_t number = 0;
        for (auto it = owned.rbegin(); it != owned.rend() && number == 0; ++it) {
            if (*it >= store.pageCount()) continue;
            ACCESS_RETURN_IF_ERROR(store.read(*it, pg));
            if (isLvalPage(pg) && rowFits(pg, blob.size())) number = *it;
            break;  // only the newest page is tried, as for table rows
        }
        if (number == 0) {
            ACCESS_ASSIGN_OR_RETURN(number, db.allocatePage());
            pg = newDataPage(data_page_const::kLongValueOwner);
        }
        int row = addRowToPage(pg, Bytes(reinterpret_cast<const uint8_t*>(blob.data()), blob.size()));
        ACCESS_RETURN_IF_ERROR(store.write(number, pg));
        owned.insert(number);
        cell = reference(len | 0x40000000u, (number << 8) | static_cast<uint32_t>(row));
    } else {
        LongValueWriter w(store, db.allocator());
        ACCESS_ASSIGN_OR_RETURN(cell, w.store(blob, false));
        ACCESS_RETURN_IF_ERROR(w.flush());
        owned.insert(w.pages().begin(), w.pages().end());
    }
    ACCESS_RETURN_IF_ERROR(writeMapPages(store, map->ownedMap, owned, db.allocator()));
    return cell;
}

Status releaseCatalogLongValue(WriteDatabase& db, const TableModel& objects, uint16_t column, const std::string& cell) {
    if (cell.size() < 12) return Status::ok();
    ByteReader r(Bytes(reinterpret_cast<const uint8_t*>(cell.data()), cell.size()));
    const uint32_t head = r.u32(0);
    if (head & 0x80000000u) return Status::ok();
    PageStore& store = db.store();
    const bool single = (head & 0x40000000u) != 0;
    std::vector<uint32_t> emptied;
    std::vector<uint8_t> pg;
    uint32_t next = r.u32(4);
    for (int hop = 0; next != 0 && hop < kMaxChainRows; ++hop) {
        const uint32_t page = next >> 8;
        const int row = static_cast<int>(next & 0xFF);
        if (page < 2 || page >= store.pageCount()) break;  // a broken reference frees nothing more
        ACCESS_RETURN_IF_ERROR(store.read(page, pg));
        if (!isLvalPage(pg) || row >= rowCountOnPage(pg)) break;
        bool deleted = false;
        Bytes data = rowOnPage(pg, row, &deleted, nullptr);
        if (deleted) break;
        next = !single && data.size() >= 4 ? ByteReader(data).u32(0) : 0;
        markRowDeleted(pg, row);
        bool anyLive = false;
        for (int i = 0; i < rowCountOnPage(pg) && !anyLive; ++i) {
            rowOnPage(pg, i, &deleted, nullptr);
            anyLive = !deleted;
        }
        ACCESS_RETURN_IF_ERROR(store.write(page, pg));
        if (!anyLive) emptied.push_back(page);
    }
    if (emptied.empty()) return Status::ok();
    if (const LvMapModel* map = lvMapOf(objects, column)) {
        ACCESS_ASSIGN_OR_RETURN(PageSet owned, readMapPages(store, map->ownedMap));
        for (uint32_t p : emptied) owned.erase(p);
        ACCESS_RETURN_IF_ERROR(writeMapPages(store, map->ownedMap, owned, db.allocator()));
    }
    db.releasePages(emptied);
    return Status::ok();
}

Result<std::string> readCatalogLongValue(WriteDatabase& db, const std::string& cell) {
    if (cell.size() < 12) return std::string();
    ByteReader r(Bytes(reinterpret_cast<const uint8_t*>(cell.data()), cell.size()));
    const uint32_t head = r.u32(0);
    const size_t len = head & 0x3FFFFFFFu;
    if (head & 0x80000000u) return cell.substr(12, len);
    PageStore& store = db.store();
    std::string out;
    std::vector<uint8_t> pg;
    const bool single = (head & 0x40000000u) != 0;
    uint32_t next = r.u32(4);
    for (int hop = 0; next != 0 && out.size() < len; ++hop) {
        const uint32_t page = next >> 8;
        if (hop >= kMaxChainRows || page < 2 || page >= store.pageCount())
            return Status::corruption("a long value of the catalog points outside the file", page);
        ACCESS_RETURN_IF_ERROR(store.read(page, pg));
        bool deleted = false;
        Bytes data = rowOnPage(pg, static_cast<int>(next & 0xFF), &deleted, nullptr);
        if (deleted || !isLvalPage(pg)) return Status::corruption("a long value of the catalog is missing", page);
        if (single) {
            out.assign(data.begin(), data.end());
            break;
        }
        if (data.size() < 4) return Status::corruption("a long value of the catalog is cut short", page);
        next = ByteReader(data).u32(0);
        out.append(data.begin() + 4, data.end());
    }
    if (out.size() > len) out.resize(len);
    return out;
}

}  // namespace veltrano::access
