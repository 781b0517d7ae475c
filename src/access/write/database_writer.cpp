#include "access/write/database_writer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

#include "access/format/index_key.h"
#include "access/format/limits.h"
#include "access/storage/pager.h"
#include "access/format/sort_order.h"
#include "access/format/text.h"
#include "access/write/usage_map_writer.h"
#include "access/write/value_writer.h"
#include "common/names.h"

namespace veltrano::access {
namespace {

constexpr uint32_t kDbParentId = 0x0F000000u;
constexpr uint32_t kTablesId = 0x0F000001u;
constexpr uint32_t kFullAccess = 1048575;

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

uint32_t cellU32(const StoredCell& c) {
    if (c.null || c.bytes.size() < 4) return 0;
    return ByteReader(Bytes(reinterpret_cast<const uint8_t*>(c.bytes.data()), 4)).u32(0);
}

std::string cellText(const StoredCell& c) {
    if (c.null) return {};
    return decodeJet4Text(Bytes(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()));
}

double nowOleDate() {
    using namespace std::chrono;
    double secs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() / 1000.0;
    return 25569.0 + secs / 86400.0;  // 1970-01-01 is day 25569
}

std::string dateCell(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i) s[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return s;
}

Status duplicateStatus() {
    return Status::invalidArgument(
        "The changes you requested to the table were not successful because they would create duplicate values in "
        "the index, primary key, or relationship.");
}

}  // namespace

// ---------------------------------------------------------------- opening

Result<std::shared_ptr<WriteDatabase>> WriteDatabase::open(const std::string& path, const std::string& password,
                                                           FileSystem& fs) {
    ACCESS_ASSIGN_OR_RETURN(auto store, PageStore::open(fs, path, false));
    if (store->pageCount() < 3) return Status::corruption("the file " + path + " is too small to be a database");
    std::vector<uint8_t> page0;
    ACCESS_RETURN_IF_ERROR(store->read(0, page0));
    ACCESS_ASSIGN_OR_RETURN(DatabaseHeader header, parseHeader(page0));
    if (!header.format->isJet4())
        return Status::notSupported("only Access 2000 (Jet 4) files can be written; copy an Access 97 file into a new one first");
    if (header.ace)
        return Status::notSupported("Access 2007 or later (.accdb) files are only read; copy one into a new .mdb file to write to it");
    if (header.databaseKey != 0) return Status::notSupported("encrypted databases cannot be written");
    if (header.password != password) return Status::wrongPassword();
    std::shared_ptr<WriteDatabase> db(new WriteDatabase(std::move(store)));
    // Memory files are nobody else's business: they get no lock file.
    if (fs.sharedWithOtherPrograms()) {
        ACCESS_ASSIGN_OR_RETURN(db->lockFile_, LockFileGuard::acquire(path));
    }
    // What a killed append session left; nobody else writes while we hold the file.
    (void)fs.remove(spillPath(path));
    ACCESS_RETURN_IF_ERROR(db->load());
    return db;
}

Result<std::shared_ptr<WriteDatabase>> WriteDatabase::adopt(std::unique_ptr<PageStore> store) {
    std::shared_ptr<WriteDatabase> db(new WriteDatabase(std::move(store)));
    ACCESS_RETURN_IF_ERROR(db->load());
    return db;
}

WriteDatabase::~WriteDatabase() { (void)close(); }

Status WriteDatabase::close() {
    if (!store_) return Status::ok();
    Status s = store_->inChange() ? abandon(Status::ok()) : Status::ok();
    store_.reset();
    lockFile_.reset();
    return s;
}

Status WriteDatabase::load() {
    free_.clear();
    reloadNeeded_ = false;
    std::vector<uint8_t> pg;
    ACCESS_RETURN_IF_ERROR(store_->read(1, pg));
    bool del = false;
    Bytes row = rowOnPage(pg, 0, &del, nullptr);
    if (row.size() < 5) return Status::corruption("page 1 holds no global usage map", 1);
    ACCESS_ASSIGN_OR_RETURN(PageSet bits, decodeMapRow(*store_, row));
    for (uint32_t p : bits)
        if (p < store_->pageCount() && p > 1) free_.insert(p);
    return Status::ok();
}

// ------------------------------------------------------- pages and changes

Result<uint32_t> WriteDatabase::allocatePage() {
    if (!free_.empty()) {
        uint32_t p = *free_.begin();
        free_.erase(free_.begin());
        return p;
    }
    return store_->extend();
}

Allocator WriteDatabase::allocator() {
    return [this]() { return allocatePage(); };
}

void WriteDatabase::releasePages(const std::vector<uint32_t>& pages) {
    for (uint32_t p : pages)
        if (p > 1 && p < store_->pageCount()) free_.insert(p);
}

Status WriteDatabase::begin() {
    ACCESS_RETURN_IF_ERROR(store_->begin());
    if (!reloadNeeded_) return Status::ok();
    Status s = load();
    return s.isOk() ? s : abandon(s);
}

Status WriteDatabase::abandon(Status cause) {
    Status undo = store_->rollback();
    // The free pages are read again before the next change, not now: a
    // read failing here would hide why the change stopped.
    reloadNeeded_ = true;
    if (undo.isOk()) return cause;
    if (cause.isOk() || cause.category() != Category::IoError) return undo;
    return cause.withDescription(cause.description() + ". " + undo.description());
}

Status WriteDatabase::commit() {
    Status s = writeGlobalMap();
    if (s.isOk()) s = store_->commit();
    return s.isOk() ? s : abandon(s);
}

Status WriteDatabase::writeGlobalMap() {
    std::vector<uint8_t> pg;
    ACCESS_RETURN_IF_ERROR(store_->read(1, pg));
    const int rows = rowCountOnPage(pg);
    std::vector<std::vector<uint8_t>> keep;
    for (int i = 1; i < rows; ++i) {
        bool del = false;
        Bytes r = rowOnPage(pg, i, &del, nullptr);
        keep.emplace_back(r.begin(), r.end());
    }
    bool del = false;
    Bytes old = rowOnPage(pg, 0, &del, nullptr);
    std::vector<uint8_t> row(old.begin(), old.end());
    size_t others = 0;
    for (const auto& k : keep) others += k.size() + 2;
    const uint32_t owner = dataPageOwner(pg);
    for (int round = 0; round < 4; ++round) {
        const uint32_t count = store_->pageCount();
        const size_t freeFree = free_.size();
        size_t bitmap = std::max<size_t>(64, ((count + 31) / 32) * 4);
        size_t inlineLength = 5 + bitmap;
        if (inlineLength + 2 + others + Format::jet4().dataRowTable <= Format::jet4().pageSize) {
            row.assign(inlineLength, 0);
        } else if (row.size() != kUsageMapRowLength || row[0] != 1) {
            row.assign(kUsageMapRowLength, 0);
        }
        PageSet freeInFile(free_.begin(), free_.end());
        ACCESS_RETURN_IF_ERROR(encodeMapRow(*store_, row, freeInFile, allocator(), true, store_->pageCount()));
        if (store_->pageCount() == count && free_.size() == freeFree) break;
    }
    std::vector<uint8_t> fresh = newDataPage(owner);
    addRowToPage(fresh, row);
    for (const auto& k : keep) addRowToPage(fresh, k);
    return store_->write(1, fresh);
}

// ------------------------------------------------------------ table rows

Status WriteDatabase::forEachRow(const TableModel& t, const std::function<Status(const ScannedRow&)>& visit) {
    ACCESS_ASSIGN_OR_RETURN(PageSet owned, readMapPages(*store_, t.ownedMap));
    ScannedRow found;
    std::vector<uint8_t> pg, target, bytes;
    for (uint32_t p : owned) {
        if (p >= store_->pageCount()) continue;
        ACCESS_RETURN_IF_ERROR(store_->read(p, pg));
        if (pg[0] != page_type::kData || dataPageOwner(pg) != t.page) continue;
        int n = rowCountOnPage(pg);
        for (int i = 0; i < n; ++i) {
            bool deleted = false, moved = false;
            Bytes row = rowOnPage(pg, i, &deleted, &moved);
            if (deleted) continue;
            bytes.assign(row.begin(), row.end());
            for (int hop = 0; moved; ++hop) {
                if (hop > limits::kMaxOverflowHops || bytes.size() < 4) return Status::corruption("moved row chain too long", p);
                ByteReader r(bytes);
                uint32_t tp = r.u24(1);
                int tr = r.u8(0);
                ACCESS_RETURN_IF_ERROR(store_->read(tp, target));
                bool d2 = false;
                moved = false;
                Bytes next = rowOnPage(target, tr, &d2, &moved);
                bytes.assign(next.begin(), next.end());
            }
            ACCESS_ASSIGN_OR_RETURN(found.cells, decodeRow(t, bytes));
            found.page = p;
            found.row = static_cast<uint8_t>(i);
            ACCESS_RETURN_IF_ERROR(visit(found));
        }
    }
    return Status::ok();
}

Result<std::vector<ScannedRow>> WriteDatabase::scanTable(const TableModel& t) {
    std::vector<ScannedRow> out;
    ACCESS_RETURN_IF_ERROR(forEachRow(t, [&](const ScannedRow& row) {
        out.push_back(row);
        return Status::ok();
    }));
    return out;
}

Result<std::pair<uint32_t, uint8_t>> WriteDatabase::insertRow(TableModel& t, const std::vector<StoredCell>& cells) {
    ACCESS_ASSIGN_OR_RETURN(std::vector<uint8_t> row, encodeRow(t, cells));
    ACCESS_ASSIGN_OR_RETURN(PageSet owned, readMapPages(*store_, t.ownedMap));
    std::vector<uint8_t> pg;
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        if (*it >= store_->pageCount()) continue;
        ACCESS_RETURN_IF_ERROR(store_->read(*it, pg));
        if (pg[0] != page_type::kData || dataPageOwner(pg) != t.page) continue;
        if (rowFits(pg, row.size())) {
            int slot = addRowToPage(pg, row);
            ACCESS_RETURN_IF_ERROR(store_->write(*it, pg));
            ++t.rowCount;
            return std::make_pair(*it, static_cast<uint8_t>(slot));
        }
        break;  // only the last page is tried
    }
    ACCESS_ASSIGN_OR_RETURN(uint32_t p, allocatePage());
    pg = newDataPage(t.page);
    int slot = addRowToPage(pg, row);
    ACCESS_RETURN_IF_ERROR(store_->write(p, pg));
    owned.insert(p);
    ACCESS_RETURN_IF_ERROR(writeMapPages(*store_, t.ownedMap, owned, allocator()));
    ++t.rowCount;
    return std::make_pair(p, static_cast<uint8_t>(slot));
}

Status WriteDatabase::rebuildIndex(TableModel& t, size_t r) {
    RealIndexModel& ri = t.realIndexes[r];
    // Only the entries are kept, not the rows they come from: an index may
    // be made on a table of millions of rows.
    std::vector<std::pair<std::string, bool>> entries;  // entry, has a null column
    ACCESS_RETURN_IF_ERROR(forEachRow(t, [&](const ScannedRow& row) -> Status {
        bool allNull = false, anyNull = false;
        ACCESS_ASSIGN_OR_RETURN(std::string key, indexKey(t, r, row.cells, &allNull, &anyNull));
        if (ri.ignoreNulls() && allNull) return Status::ok();
        if ((ri.flags & index_flag::kRequired || t.isPrimaryKey(r)) && anyNull)
            return Status::invalidArgument("Index or primary key cannot contain a Null value.");
        entries.emplace_back(makeLeafEntry(key, row.page, row.row), anyNull);
        return Status::ok();
    }));
    std::sort(entries.begin(), entries.end());
    uint32_t distinct = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& e = entries[i].first;
        bool same = i > 0 && entries[i - 1].first.compare(0, entries[i - 1].first.size() - 4, e, 0, e.size() - 4) == 0 &&
                    entries[i - 1].first.size() == e.size();
        if (!same) ++distinct;
        if (same && t.isUniqueIndex(r) && !entries[i].second) return duplicateStatus();
    }
    std::vector<std::string> sorted;
    sorted.reserve(entries.size());
    for (auto& e : entries) sorted.push_back(std::move(e.first));
    ACCESS_ASSIGN_OR_RETURN(PageSet old, readMapPages(*store_, ri.usageMap));
    std::vector<uint32_t> reusable;
    for (uint32_t p : old)
        if (p != ri.rootPage && p < store_->pageCount()) reusable.push_back(p);
    ACCESS_ASSIGN_OR_RETURN(BuiltIndex built, buildIndex(*store_, t.page, ri.rootPage, sorted, reusable, allocator()));
    releasePages(built.unused);
    ACCESS_RETURN_IF_ERROR(writeMapPages(*store_, ri.usageMap, built.pages, allocator()));
    ri.uniqueCount = distinct;
    return Status::ok();
}

Status WriteDatabase::rebuildAllIndexes(TableModel& t) {
    for (size_t r = 0; r < t.realIndexes.size(); ++r) ACCESS_RETURN_IF_ERROR(rebuildIndex(t, r));
    std::vector<uint32_t> freed;
    ACCESS_RETURN_IF_ERROR(writeTableModel(*store_, t, allocator(), freed));
    releasePages(freed);
    return Status::ok();
}

// ---------------------------------------------------------------- catalog

Result<std::vector<CatalogRow>> WriteDatabase::readCatalog() {
    ACCESS_ASSIGN_OR_RETURN(TableModel t, readTableModel(*store_, catalog_const::kCatalogTdefPage));
    const ColumnModel *id = t.columnNamed("Id"), *parent = t.columnNamed("ParentId"), *name = t.columnNamed("Name"),
                    *type = t.columnNamed("Type"), *flags = t.columnNamed("Flags"), *owner = t.columnNamed("Owner");
    if (!id || !parent || !name || !type || !flags) return Status::corruption("the catalog lacks its columns", 2);
    ACCESS_ASSIGN_OR_RETURN(auto rows, scanTable(t));
    std::vector<CatalogRow> out;
    for (const auto& r : rows) {
        CatalogRow e;
        e.id = cellU32(r.cells[id->number]);
        e.parentId = cellU32(r.cells[parent->number]);
        e.name = cellText(r.cells[name->number]);
        const StoredCell& tc = r.cells[type->number];
        e.type = tc.null || tc.bytes.size() < 2 ? 0 : static_cast<int16_t>(static_cast<uint8_t>(tc.bytes[0]) | (static_cast<uint8_t>(tc.bytes[1]) << 8));
        e.flags = cellU32(r.cells[flags->number]);
        if (owner && !r.cells[owner->number].null) e.owner = r.cells[owner->number].bytes;
        e.page = r.page;
        e.row = r.row;
        out.push_back(std::move(e));
    }
    return out;
}

Result<const CatalogRow*> WriteDatabase::findTable(const std::vector<CatalogRow>& catalog, const std::string& name) {
    uint32_t tables = kTablesId;
    for (const auto& e : catalog)
        if (e.parentId == kDbParentId && e.name == "Tables") tables = e.id;
    for (const auto& e : catalog)
        if (e.parentId == tables && (e.type & 0x7F) == catalog_const::kTypeTable && namesEqual(e.name, name)) return &e;
    return Status::notFound("The table '" + name + "' does not exist.");
}

Result<std::vector<std::string>> WriteDatabase::userTables() {
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    std::vector<std::string> out;
    uint32_t tables = kTablesId;
    for (const auto& e : catalog)
        if (e.parentId == kDbParentId && e.name == "Tables") tables = e.id;
    for (const auto& e : catalog)
        if (e.parentId == tables && (e.type & 0x7F) == catalog_const::kTypeTable &&
            (e.flags & (catalog_const::kFlagSystem | catalog_const::kFlagAltSystem)) == 0 && e.name.rfind("MSys", 0) != 0)
            out.push_back(e.name);
    return out;
}

Status WriteDatabase::addCatalogRows(const std::string& name, uint32_t tdefPage, const std::string& properties) {
    return addCatalogObject(name, tdefPage, 1, "Tables", kTablesId, properties);
}

Status WriteDatabase::addCatalogObject(const std::string& name, uint32_t id, int16_t type, const std::string& container,
                                       uint32_t containerId, const std::string& properties) {
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    uint32_t tables = containerId;
    std::string owner("\xA6\x33", 2);
    uint32_t acesPage = 0;
    for (const auto& e : catalog) {
        if (e.parentId == kDbParentId && e.name == container) tables = e.id;
        if (e.name == "MSysDb" && !e.owner.empty()) owner = e.owner;
        if (e.name == "MSysACEs" && (e.type & 0x7F) == 1) acesPage = e.id & 0x00FFFFFF;
    }
    ACCESS_ASSIGN_OR_RETURN(TableModel objects, readTableModel(*store_, catalog_const::kCatalogTdefPage));
    std::vector<StoredCell> cells(objects.maxCols);
    auto set = [&](const char* col, std::string bytes) {
        if (const ColumnModel* c = objects.columnNamed(col)) cells[c->number] = StoredCell::of(std::move(bytes));
    };
    const double now = nowOleDate();
    set("Id", le32(id));
    set("ParentId", le32(tables));
    set("Name", utf8ToUtf16le(name));
    set("Type", std::string{static_cast<char>(type & 0xFF), static_cast<char>((type >> 8) & 0xFF)});
    set("DateCreate", dateCell(now));
    set("DateUpdate", dateCell(now));
    set("Owner", owner);
    set("Flags", le32(0));
    if (const ColumnModel* lvProp = objects.columnNamed("LvProp"); lvProp && !properties.empty()) {
        ACCESS_ASSIGN_OR_RETURN(std::string cell, storeCatalogLongValue(*this, objects, lvProp->number, properties));
        cells[lvProp->number] = StoredCell::of(std::move(cell));
    }
    ACCESS_RETURN_IF_ERROR(insertRow(objects, cells).status());
    ACCESS_RETURN_IF_ERROR(rebuildAllIndexes(objects));
    if (acesPage == 0) return Status::ok();
    ACCESS_ASSIGN_OR_RETURN(TableModel aces, readTableModel(*store_, acesPage));
    const ColumnModel *oid = aces.columnNamed("ObjectId"), *sid = aces.columnNamed("SID"), *acm = aces.columnNamed("ACM"),
                    *inh = aces.columnNamed("FInheritable");
    if (!oid || !sid || !acm || !inh) return Status::ok();
    ACCESS_ASSIGN_OR_RETURN(auto aceRows, scanTable(aces));
    std::vector<std::string> sids;
    for (const auto& r : aceRows)
        if (cellU32(r.cells[oid->number]) == tables && !r.cells[sid->number].null &&
            std::find(sids.begin(), sids.end(), r.cells[sid->number].bytes) == sids.end())
            sids.push_back(r.cells[sid->number].bytes);
    if (sids.empty()) sids.push_back(owner);
    for (const auto& s : sids) {
        std::vector<StoredCell> ace(aces.maxCols);
        ace[oid->number] = StoredCell::of(le32(id));
        ace[sid->number] = StoredCell::of(s);
        ace[acm->number] = StoredCell::of(le32(kFullAccess));
        ace[inh->number] = StoredCell::of(std::string(1, '\0'));
        ACCESS_RETURN_IF_ERROR(insertRow(aces, ace).status());
    }
    return rebuildAllIndexes(aces);
}

// ------------------------------------------------------------- statements

Status WriteDatabase::execute(const std::string& sql, const std::vector<ObjectProperties>& extra) {
    if (!store_) return Status::invalidArgument("the connection is closed");
    if (busy_) return Status::invalidArgument("a table of this connection is still open for adding rows");
    ACCESS_ASSIGN_OR_RETURN(JetStatement st, parseJetSql(sql));
    ACCESS_RETURN_IF_ERROR(begin());
    Status s;
    if (auto* ct = std::get_if<CreateTableStmt>(&st)) s = createTable(*ct, extra);
    else if (auto* ci = std::get_if<CreateIndexStmt>(&st)) s = createIndex(*ci);
    else s = dropTable(std::get<DropTableStmt>(st));
    if (!s.isOk()) {
        s = abandon(s);
        // Every refusal of a statement is a command error for the caller.
        if (s.category() != Category::IoError && s.category() != Category::Corruption)
            return Status::badCommand(s.description());
        return s;
    }
    return commit();
}

Result<std::vector<PropertySet>> WriteDatabase::tableProperties(const std::string& table) {
    if (!store_) return Status::invalidArgument("the connection is closed");
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    ACCESS_ASSIGN_OR_RETURN(const CatalogRow* e, findTable(catalog, table));
    ACCESS_ASSIGN_OR_RETURN(TableModel objects, readTableModel(*store_, catalog_const::kCatalogTdefPage));
    const ColumnModel* lvProp = objects.columnNamed("LvProp");
    if (!lvProp) return std::vector<PropertySet>();
    ACCESS_ASSIGN_OR_RETURN(auto rows, scanTable(objects));
    for (const auto& r : rows) {
        if (r.page != e->page || r.row != e->row) continue;
        const StoredCell& cell = r.cells[lvProp->number];
        if (cell.null) break;
        ACCESS_ASSIGN_OR_RETURN(std::string blob, readCatalogLongValue(*this, cell.bytes));
        return parseProperties(Bytes(reinterpret_cast<const uint8_t*>(blob.data()), blob.size()), Format::jet4(), 0);
    }
    return std::vector<PropertySet>();
}

Result<std::vector<WriteDatabase::ColumnRule>> WriteDatabase::columnRules(const std::string& table) {
    ACCESS_ASSIGN_OR_RETURN(auto sets, tableProperties(table));
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    ACCESS_ASSIGN_OR_RETURN(const CatalogRow* e, findTable(catalog, table));
    ACCESS_ASSIGN_OR_RETURN(TableModel t, readTableModel(*store_, e->id & 0x00FFFFFF));
    std::vector<ColumnRule> out;
    for (const auto& set : sets) {
        const ColumnModel* c = t.columnNamed(set.objectName);
        if (!c) continue;
        ColumnRule rule;
        rule.column = c->name;
        const Value* req = set.find("Required");
        rule.required = req && req->kind == ValueKind::Boolean && req->integer != 0 && c->type != ColumnType::Boolean &&
                        !(c->flags & (column_flag::kAutoLong | column_flag::kAutoGuid));
        if (const Value* d = set.find("DefaultValue"); d && d->kind == ValueKind::Text) {
            rule.hasDefault = true;
            rule.defaultValue = d->bytes;
        }
        if (rule.required || rule.hasDefault) out.push_back(std::move(rule));
    }
    return out;
}

Result<std::unique_ptr<AppendSession>> WriteDatabase::openAppend(const std::string& table) {
    if (!store_) return Status::invalidArgument("the connection is closed");
    if (busy_) return Status::invalidArgument("another table of this connection is open for adding rows");
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    ACCESS_ASSIGN_OR_RETURN(const CatalogRow* e, findTable(catalog, table));
    return AppendSession::start(shared_from_this(), e->id & 0x00FFFFFF);
}

}  // namespace veltrano::access
