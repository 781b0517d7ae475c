// Complex columns; see complex.h.
#include "access/read/complex.h"

#include <zlib.h>

#include <algorithm>

#include "access/format/text.h"
#include "access/read/table.h"
#include "common/names.h"

namespace veltrano::access {

namespace {

constexpr size_t kMaxAttachment = size_t{1} << 31;  // Access files end at 2 GB

struct ComplexEntry {
    uint32_t templatePage = 0, flatPage = 0, ownerPage = 0;
};

uint32_t pageOf(const Value& id) { return static_cast<uint32_t>(id.integer) & 0x00FFFFFFu; }

Result<ComplexEntry> findComplexEntry(Pager& pager, const std::vector<CatalogEntry>& catalog, uint32_t complexId) {
    const CatalogEntry* table = nullptr;
    for (const auto& e : catalog)
        if (e.kind() == catalog_const::kTypeTable && e.name == "MSysComplexColumns") table = &e;
    if (!table) return Status::corruption("the database has complex columns but no MSysComplexColumns table");
    ACCESS_ASSIGN_OR_RETURN(TableDef def, loadTableDef(pager, table->tdefPage()));
    auto shared = std::make_shared<const TableDef>(std::move(def));
    const char* names[] = {"ComplexID", "ComplexTypeObjectID", "FlatTableID", "ConceptualTableID"};
    size_t at[4];
    for (size_t i = 0; i < 4; ++i) {
        const ColumnDef* c = shared->columnByName(names[i]);
        if (!c) return Status::corruption(std::string("MSysComplexColumns has no ") + names[i] + " column");
        at[i] = static_cast<size_t>(c - shared->columns.data());
    }
    TableCursor cursor(pager, shared);
    while (cursor.next()) {
        if (cursor.value(at[0]).integer != complexId) continue;
        return ComplexEntry{pageOf(cursor.value(at[1])), pageOf(cursor.value(at[2])), pageOf(cursor.value(at[3]))};
    }
    if (!cursor.status().isOk()) return cursor.status();
    return Status::corruption("MSysComplexColumns has no entry " + std::to_string(complexId));
}

bool isPlainType(ColumnType t) {
    switch (t) {
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::Guid:
        case ColumnType::Numeric:
        case ColumnType::Text:
        case ColumnType::BigInt: return true;
        default: return false;
    }
}

}  // namespace

std::string ComplexValues::cellText(int32_t id) const {
    auto it = items.find(id);
    if (it == items.end()) return {};
    size_t shown = 0;  // the value, or the file name
    if (kind == ComplexKind::Attachment)
        for (size_t i = 0; i < fields.size(); ++i)
            if (namesEqual(fields[i], "FileName")) shown = i;
    std::string out;
    for (const auto& item : it->second) {
        if (!out.empty()) out += "; ";
        if (shown < item.size()) out += canonicalText(item[shown]);
    }
    return out;
}

Result<ComplexColumnInfo> resolveComplexColumn(Pager& pager, const std::vector<CatalogEntry>& catalog,
                                               uint32_t ownerPage, const ColumnDef& c) {
    auto where = [&](const Status& s) {
        return Status::make(s.category(), "complex column '" + c.name + "': " + s.description(), s.page());
    };
    auto entry = findComplexEntry(pager, catalog, c.complexId);
    if (!entry.isOk()) return where(entry.status());
    if (entry->ownerPage != ownerPage) return where(Status::corruption("its entry belongs to another table"));
    auto templ = loadTableDef(pager, entry->templatePage);
    if (!templ.isOk()) return where(templ.status());
    auto flat = loadTableDef(pager, entry->flatPage);
    if (!flat.isOk()) return where(flat.status());

    ComplexColumnInfo info;
    int memos = 0, texts = 0, oles = 0, dates = 0, longs = 0;
    for (const auto& t : templ->columns) {
        const ColumnDef* f = flat->columnByName(t.name);
        if (!f) return where(Status::corruption("its value table lacks the column '" + t.name + "'"));
        info.valueColumns.push_back(static_cast<size_t>(f - flat->columns.data()));
        memos += t.type == ColumnType::Memo;
        texts += t.type == ColumnType::Text;
        oles += t.type == ColumnType::Ole;
        dates += t.type == ColumnType::DateTime;
        longs += t.type == ColumnType::Long;
        if (t.type == ColumnType::Memo && info.versionedMemo.empty()) info.versionedMemo = t.name;
    }
    const size_t n = templ->columns.size();
    if (n == 1 && isPlainType(templ->columns[0].type))
        info.kind = ComplexKind::MultiValue;
    else if (n >= 6 && memos >= 1 && texts >= 2 && oles >= 1 && dates >= 1 && longs >= 1)
        info.kind = ComplexKind::Attachment;
    else if (memos >= 1 && dates >= 1)
        info.kind = ComplexKind::VersionHistory;
    else
        return Status::notSupported("complex column '" + c.name + "' is of a kind this engine does not read");

    // Of the two columns the template lacks, the auto-number is the value's
    // own key and the other long holds the owner row's id.
    bool found = false;
    for (size_t i = 0; i < flat->columns.size(); ++i) {
        const ColumnDef& f = flat->columns[i];
        if (std::find(info.valueColumns.begin(), info.valueColumns.end(), i) != info.valueColumns.end()) continue;
        if (f.type == ColumnType::Long && !f.isAutoLong()) {
            info.foreignKey = i;
            found = true;
        }
    }
    if (!found) return where(Status::corruption("its value table has no owner column"));
    flat->firstPage = entry->flatPage;
    info.flat = std::make_shared<const TableDef>(std::move(*flat));
    return info;
}

Result<ComplexValues> readComplexValues(Pager& pager, const ComplexColumnInfo& info) {
    ComplexValues out;
    out.kind = info.kind;
    for (size_t i : info.valueColumns) {
        out.fields.push_back(info.flat->columns[i].name);
        out.fieldColumns.push_back(info.flat->columns[i]);
    }
    TableCursor cursor(pager, info.flat);
    while (cursor.next()) {
        std::vector<Value> item;
        for (size_t i : info.valueColumns) {
            Value v = cursor.value(i);
            if (info.kind == ComplexKind::Attachment && namesEqual(info.flat->columns[i].name, "FileData") && !v.isNull()) {
                auto data = decodeAttachmentData(Bytes(reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size()));
                if (!data.isOk()) return Status::make(data.status().category(), data.status().description(), cursor.page());
                v.bytes = std::move(*data);
            }
            item.push_back(std::move(v));
        }
        out.items[static_cast<int32_t>(cursor.value(info.foreignKey).integer)].push_back(std::move(item));
    }
    if (!cursor.status().isOk()) return cursor.status();
    return out;
}

Result<std::string> decodeAttachmentData(Bytes stored) {
    auto bad = [](const std::string& what) { return Status::corruption("damaged attachment (" + what + ")"); };
    ByteReader r(stored);
    uint32_t type = r.u32(0);
    size_t length = r.u32(4);
    if (!r.ok() || type > 1) return bad("unknown encoding");
    if (length > kMaxAttachment) return bad("impossible length");
    std::string content;
    if (type == 0) {
        Bytes raw = r.slice(8, length);
        if (!r.ok()) return bad("shorter than its length");
        content.assign(raw.begin(), raw.end());
    } else {
        // Deflate shrinks at most about 1032 to 1: a longer claim is damage, not a reason to allocate it.
        if (length / 1032 > stored.size()) return bad("impossible length");
        content.resize(length);
        z_stream z{};
        if (inflateInit(&z) != Z_OK) return Status::internal("zlib could not start");
        z.next_in = const_cast<Bytef*>(stored.data() + 8);
        z.avail_in = static_cast<uInt>(stored.size() - 8);
        z.next_out = reinterpret_cast<Bytef*>(content.data());
        z.avail_out = static_cast<uInt>(length);
        int rc = inflate(&z, Z_FINISH);
        size_t produced = z.total_out;
        inflateEnd(&z);
        if (rc != Z_STREAM_END || produced != length) return bad("the compressed data does not inflate to its length");
    }
    ByteReader c(Bytes(reinterpret_cast<const uint8_t*>(content.data()), content.size()));
    size_t header = c.u32(0);
    if (!c.ok() || header < 12 || header > content.size()) return bad("header longer than the data");
    return content.substr(header);
}

}  // namespace veltrano::access
