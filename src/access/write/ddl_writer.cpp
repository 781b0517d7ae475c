// CREATE TABLE, CREATE INDEX, DROP TABLE and relationships on a WriteDatabase.
//
// A new table gets: its TDEF page (and continuation pages when long), one
// owner-0 data page of usage-map rows (owned pages, free-space pages, one per
// real index, two per memo/OLE column), an empty root leaf per real index,
// a catalog row (with the table's properties in LvProp) and one access-control row per user/group that has rights
// on the "Tables" container, with the system indexes rebuilt afterwards.
#include <algorithm>
#include <map>
#include <optional>

#include "access/write/database_writer.h"
#include "access/format/index_key.h"
#include "access/format/limits.h"
#include "access/write/properties_writer.h"
#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {
namespace {

constexpr uint8_t kPrimaryKeyFlags = 0x80 | index_flag::kUnique | index_flag::kRequired;

std::vector<uint8_t> emptyLeaf(uint32_t tdefPage) {
    std::vector<uint8_t> pg(kJet4PageSize, 0);
    pg[0] = page_type::kIndexLeaf;
    pg[1] = 0x01;
    put::u16(pg, 2, static_cast<uint16_t>(kIndexEntryArea));
    put::u32(pg, 4, tdefPage);
    return pg;
}

std::vector<uint8_t> mapRow(uint32_t page) {
    std::vector<uint8_t> row(kUsageMapRowLength, 0);
    if (page) {
        uint32_t start = (page / 8) * 8;
        put::u32(row, 1, start);
        row[5 + (page - start) / 8] |= static_cast<uint8_t>(1u << ((page - start) % 8));
    }
    return row;
}

// Lays the map rows out on as many owner-0 pages as they need.
class MapPages {
public:
    explicit MapPages(WriteDatabase& db) : db_(db) {}
    Result<uint32_t> add(const std::vector<uint8_t>& row) {
        if (page_.empty() || !rowFits(page_, row.size())) {
            ACCESS_RETURN_IF_ERROR(flush());
            ACCESS_ASSIGN_OR_RETURN(number_, db_.allocatePage());
            page_ = newDataPage(0);
        }
        int slot = addRowToPage(page_, row);
        return (number_ << 8) | static_cast<uint32_t>(slot);
    }
    Status flush() {
        if (page_.empty()) return Status::ok();
        Status s = db_.store().write(number_, page_);
        page_.clear();
        return s;
    }

private:
    WriteDatabase& db_;
    std::vector<uint8_t> page_;
    uint32_t number_ = 0;
};

Status checkIndexable(const TableModel& t, uint16_t column) {
    const ColumnModel* c = t.column(column);
    if (!c || !isIndexableType(c->type))
        return Status::badCommand("The field '" + (c ? c->name : std::string("?")) +
                                  "' cannot be indexed (memo and OLE fields cannot be part of an index).");
    return Status::ok();
}

// Finds an existing real index with these columns and flags, or adds one.
Result<size_t> realIndexFor(WriteDatabase& db, TableModel& t, MapPages& maps, const std::vector<IndexColumnModel>& cols,
                            uint8_t flags) {
    for (size_t r = 0; r < t.realIndexes.size(); ++r) {
        const auto& ri = t.realIndexes[r];
        if (ri.flags == flags && ri.columns.size() == cols.size() &&
            std::equal(cols.begin(), cols.end(), ri.columns.begin(),
                       [](const IndexColumnModel& a, const IndexColumnModel& b) { return a.column == b.column && a.ascending == b.ascending; }))
            return r;
    }
    RealIndexModel ri;
    ri.columns = cols;
    ri.flags = flags;
    ACCESS_ASSIGN_OR_RETURN(ri.rootPage, db.allocatePage());
    ACCESS_RETURN_IF_ERROR(db.store().write(ri.rootPage, emptyLeaf(t.page)));
    ACCESS_ASSIGN_OR_RETURN(ri.usageMap, maps.add(mapRow(ri.rootPage)));
    t.realIndexes.push_back(std::move(ri));
    return t.realIndexes.size() - 1;
}

Result<std::vector<IndexColumnModel>> indexColumns(const TableModel& t, const std::vector<std::pair<std::string, bool>>& names) {
    if (names.empty() || names.size() > limits::kMaxIndexColumns)
        return Status::badCommand("An index has 1 to 10 fields.");
    std::vector<IndexColumnModel> cols;
    for (const auto& [name, asc] : names) {
        const ColumnModel* c = t.columnNamed(name);
        if (!c) return Status::badCommand("The field '" + name + "' does not exist in the table.");
        for (const auto& ic : cols)
            if (ic.column == c->number) return Status::badCommand("The field '" + name + "' appears twice in the index.");
        ACCESS_RETURN_IF_ERROR(checkIndexable(t, c->number));
        cols.push_back({c->number, asc});
    }
    return cols;
}

// Required and DefaultValue from the statement (a GUID auto-number gets the
// GenGUID() default Access gives it), then `extra`, whose values replace
// same-named ones.
std::vector<ObjectProperties> propertiesOf(const CreateTableStmt& s, const std::vector<ColumnSpec>& specs,
                                              const std::vector<ObjectProperties>& extra) {
    constexpr uint8_t kEngine = 1;
    std::vector<ObjectProperties> out;
    auto objectFor = [&](const std::string& name) -> ObjectProperties& {
        for (auto& o : out)
            if (namesEqual(o.object, name)) return o;
        out.push_back({name, {}});
        return out.back();
    };
    for (const auto& o : extra)
        if (o.object.empty()) objectFor("").values = o.values;
    for (size_t i = 0; i < s.columns.size(); ++i) {
        const SqlColumn& col = s.columns[i];
        ObjectProperties& o = objectFor(col.name);
        o.object = col.name;  // the column's own spelling
        if (col.notNull) o.values.push_back({"Required", Value::ofInteger(ValueKind::Boolean, 1), kEngine});
        if (col.hasDefault)
            o.values.push_back({"DefaultValue", Value::ofBytes(ValueKind::Text, col.defaultValue), kEngine});
        else if (specs[i].autoNumber && specs[i].type == ColumnType::Guid)
            o.values.push_back({"DefaultValue", Value::ofBytes(ValueKind::Text, "GenGUID()"), kEngine});
        for (const auto& e : extra)
            if (!e.object.empty() && namesEqual(e.object, col.name)) o.values.insert(o.values.end(), e.values.begin(), e.values.end());
    }
    return out;
}

}  // namespace

Status WriteDatabase::createTable(const CreateTableStmt& s, const std::vector<ObjectProperties>& extra) {
    ACCESS_RETURN_IF_ERROR(checkObjectName(s.table, "table"));
    if (s.columns.empty()) return Status::badCommand("A table needs at least one field.");
    if (s.columns.size() > limits::kMaxLiveColumns) return Status::badCommand("Too many fields defined (at most 255).");
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    if (findTable(catalog, s.table).isOk()) return Status::badCommand("Table '" + s.table + "' already exists.");
    for (const auto& e : catalog)
        if (namesEqual(e.name, s.table) && e.parentId != 0x0F000000u)
            return Status::badCommand("An object named '" + s.table + "' already exists.");

    TableModel t;
    t.tableType = 0x4E;
    std::vector<ColumnSpec> specs;
    for (size_t i = 0; i < s.columns.size(); ++i) {
        const SqlColumn& col = s.columns[i];
        ACCESS_RETURN_IF_ERROR(checkObjectName(col.name, "field"));
        for (size_t k = 0; k < i; ++k)
            if (namesEqual(s.columns[k].name, col.name))
                return Status::badCommand("Field '" + col.name + "' is defined more than once.");
        ACCESS_ASSIGN_OR_RETURN(ColumnSpec columnType, resolveColumnType(col));
        specs.push_back(columnType);
    }
    // Fixed offsets in column order; var slots first for short values, then memo/OLE.
    uint16_t fixedOffset = 0, varIndex = 0;
    for (size_t i = 0; i < specs.size(); ++i) {
        ColumnModel c;
        c.name = s.columns[i].name;
        c.type = specs[i].type;
        c.number = static_cast<uint16_t>(i);
        c.length = specs[i].length;
        c.precision = specs[i].precision;
        c.scale = specs[i].scale;
        // Access keeps 0x02 on every column, Required ones too: NOT NULL lives
        // in the Required property alone.
        c.flags = column_flag::kNullable | (specs[i].fixed ? column_flag::kFixed : 0);
        if (specs[i].autoNumber) c.flags |= c.type == ColumnType::Guid ? column_flag::kAutoGuid : column_flag::kAutoLong;
        if (specs[i].fixed && c.type != ColumnType::Boolean) {
            c.fixedOffset = fixedOffset;
            fixedOffset = static_cast<uint16_t>(fixedOffset + c.length);
        }
        t.columns.push_back(c);
    }
    for (int pass = 0; pass < 2; ++pass)
        for (auto& c : t.columns)
            if (!c.isFixed() && c.isLongValue() == (pass == 1)) c.varIndex = varIndex++;
    t.maxCols = static_cast<uint16_t>(t.columns.size());
    t.varCols = varIndex;

    ACCESS_ASSIGN_OR_RETURN(t.page, allocatePage());
    MapPages maps(*this);
    ACCESS_ASSIGN_OR_RETURN(t.ownedMap, maps.add(mapRow(0)));
    ACCESS_ASSIGN_OR_RETURN(t.freeMap, maps.add(mapRow(0)));

    auto addLogical = [&](const std::string& name, size_t real, uint8_t type) -> Status {
        ACCESS_RETURN_IF_ERROR(checkObjectName(name, "index"));
        for (const auto& l : t.logicalIndexes)
            if (namesEqual(l.name, name)) return Status::badCommand("Index '" + name + "' already exists.");
        LogicalIndexModel li;
        li.name = name;
        li.number = static_cast<uint32_t>(t.logicalIndexes.size());
        li.realIndex = static_cast<uint32_t>(real);
        li.type = type;
        t.logicalIndexes.push_back(std::move(li));
        return Status::ok();
    };
    if (!s.primaryKeyName.empty()) {
        std::vector<std::pair<std::string, bool>> names;
        for (const auto& n : s.primaryKey) names.push_back({n, true});
        ACCESS_ASSIGN_OR_RETURN(auto cols, indexColumns(t, names));
        ACCESS_ASSIGN_OR_RETURN(size_t r, realIndexFor(*this, t, maps, cols, kPrimaryKeyFlags));
        ACCESS_RETURN_IF_ERROR(addLogical(s.primaryKeyName, r, 1));
    }
    for (const auto& u : s.uniques) {
        std::vector<std::pair<std::string, bool>> names;
        for (const auto& n : u.columns) names.push_back({n, true});
        ACCESS_ASSIGN_OR_RETURN(auto cols, indexColumns(t, names));
        ACCESS_ASSIGN_OR_RETURN(size_t r, realIndexFor(*this, t, maps, cols, 0x80 | index_flag::kUnique));
        ACCESS_RETURN_IF_ERROR(addLogical(u.name, r, 0));
    }
    for (const auto& c : t.columns) {
        if (!c.isLongValue()) continue;
        LvMapModel m;
        m.column = c.number;
        ACCESS_ASSIGN_OR_RETURN(m.ownedMap, maps.add(mapRow(0)));
        ACCESS_ASSIGN_OR_RETURN(m.freeMap, maps.add(mapRow(0)));
        t.lvMaps.push_back(m);
    }
    ACCESS_RETURN_IF_ERROR(maps.flush());
    std::vector<uint32_t> freed;
    ACCESS_RETURN_IF_ERROR(writeTableModel(*store_, t, allocator(), freed));
    for (const auto& o : extra)
        if (!o.object.empty() && !t.columnNamed(o.object))
            return Status::badCommand("Properties were given for the field '" + o.object + "', which the table does not have.");
    return addCatalogRows(s.table, t.page, encodeProperties(propertiesOf(s, specs, extra)));
}

Status WriteDatabase::createIndex(const CreateIndexStmt& s) {
    ACCESS_RETURN_IF_ERROR(checkObjectName(s.name, "index"));
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    auto found = findTable(catalog, s.table);
    if (!found.isOk()) return Status::badCommand("The table '" + s.table + "' does not exist.");
    const CatalogRow* e = found.value();
    if (e->flags & (catalog_const::kFlagSystem | catalog_const::kFlagAltSystem))
        return Status::badCommand("System tables cannot be changed.");
    ACCESS_ASSIGN_OR_RETURN(TableModel t, readTableModel(*store_, e->id & 0x00FFFFFF));
    for (const auto& l : t.logicalIndexes)
        if (namesEqual(l.name, s.name)) return Status::badCommand("Index '" + s.name + "' already exists on table '" + s.table + "'.");
    if (s.primary)
        for (size_t r = 0; r < t.realIndexes.size(); ++r)
            if (t.isPrimaryKey(r)) return Status::badCommand("Table '" + s.table + "' already has a primary key.");
    if (t.logicalIndexes.size() >= 32) return Status::badCommand("Too many indexes on table '" + s.table + "'.");
    ACCESS_ASSIGN_OR_RETURN(auto cols, indexColumns(t, s.columns));
    uint8_t flags = 0x80;
    if (s.unique) flags |= index_flag::kUnique;
    if (s.disallowNull) flags |= index_flag::kRequired;
    if (s.ignoreNull) flags |= index_flag::kIgnoreNulls;
    if (s.primary) flags = kPrimaryKeyFlags;
    MapPages maps(*this);
    size_t before = t.realIndexes.size();
    ACCESS_ASSIGN_OR_RETURN(size_t r, realIndexFor(*this, t, maps, cols, flags));
    ACCESS_RETURN_IF_ERROR(maps.flush());
    LogicalIndexModel li;
    li.name = s.name;
    li.number = static_cast<uint32_t>(t.logicalIndexes.size());
    li.realIndex = static_cast<uint32_t>(r);
    li.type = s.primary ? 1 : 0;
    t.logicalIndexes.push_back(std::move(li));
    if (t.realIndexes.size() > before) {
        ACCESS_RETURN_IF_ERROR(rebuildIndex(t, r));
    }
    std::vector<uint32_t> freed;
    ACCESS_RETURN_IF_ERROR(writeTableModel(*store_, t, allocator(), freed));
    releasePages(freed);
    return Status::ok();
}

// DROP TABLE: refused while the table takes part in a relationship; otherwise
// its pages, its usage-map rows, its catalog row (with its properties) and
// its access-control rows go, in one change.
Status WriteDatabase::dropTable(const DropTableStmt& s) {
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    auto found = findTable(catalog, s.table);
    if (!found.isOk()) return Status::badCommand("The table '" + s.table + "' does not exist.");
    const CatalogRow e = *found.value();
    if (e.flags & (catalog_const::kFlagSystem | catalog_const::kFlagAltSystem) || e.name.rfind("MSys", 0) == 0)
        return Status::badCommand("System tables cannot be dropped.");
    uint32_t acesPage = 0, relPage = 0;
    for (const auto& c : catalog) {
        if (c.name == "MSysACEs" && (c.type & 0x7F) == 1) acesPage = c.id & 0x00FFFFFF;
        if (c.name == "MSysRelationships" && (c.type & 0x7F) == 1) relPage = c.id & 0x00FFFFFF;
    }
    if (relPage) ACCESS_RETURN_IF_ERROR(refuseIfRelated(e.name, relPage));
    ACCESS_ASSIGN_OR_RETURN(TableModel t, readTableModel(*store_, e.id & 0x00FFFFFF));
    std::vector<uint32_t> release{t.page};
    release.insert(release.end(), t.continuation.begin(), t.continuation.end());
    std::vector<uint32_t> mapRefs{t.ownedMap, t.freeMap};
    for (const auto& ri : t.realIndexes) mapRefs.push_back(ri.usageMap);
    for (const auto& m : t.lvMaps) {
        mapRefs.push_back(m.ownedMap);
        mapRefs.push_back(m.freeMap);
    }
    ACCESS_RETURN_IF_ERROR(collectOwnedPages(t, mapRefs, release));
    ACCESS_RETURN_IF_ERROR(deleteMapRows(mapRefs, release));
    ACCESS_RETURN_IF_ERROR(deleteCatalogRow(e));
    if (acesPage) ACCESS_RETURN_IF_ERROR(deleteAccessControlRows(e.id, acesPage));
    std::sort(release.begin(), release.end());
    release.erase(std::unique(release.begin(), release.end()), release.end());
    releasePages(release);
    return Status::ok();
}

// A table named on either side of a relationship cannot be dropped.
Status WriteDatabase::refuseIfRelated(const std::string& table, uint32_t relationshipsPage) {
    ACCESS_ASSIGN_OR_RETURN(TableModel rel, readTableModel(*store_, relationshipsPage));
    ACCESS_ASSIGN_OR_RETURN(auto rows, scanTable(rel));
    for (const char* col : {"szObject", "szReferencedObject"}) {
        const ColumnModel* c = rel.columnNamed(col);
        if (!c) continue;
        for (const auto& r : rows) {
            const StoredCell& cell = r.cells[c->number];
            if (!cell.null && namesEqual(decodeJet4Text(Bytes(reinterpret_cast<const uint8_t*>(cell.bytes.data()), cell.bytes.size())), table))
                return Status::badCommand("Cannot delete table '" + table + "'; it takes part in one or more relationships.");
        }
    }
    return Status::ok();
}

// The pages the table's usage maps name (and the maps' own pages) that
// really belong to it, added to `release`.
Status WriteDatabase::collectOwnedPages(const TableModel& t, const std::vector<uint32_t>& mapRefs,
                                        std::vector<uint32_t>& release) {
    std::vector<uint8_t> pg;
    PageSet candidates;
    for (uint32_t ref : mapRefs) {
        if ((ref >> 8) == 0 || (ref >> 8) >= store_->pageCount()) continue;
        auto pages = readMapPages(*store_, ref);
        if (!pages.isOk()) {
            // A broken map only means fewer pages come back; a failed read
            // means the change cannot be trusted.
            if (pages.status().category() != Category::Corruption) return pages.status();
            continue;
        }
        candidates.insert(pages->begin(), pages->end());
        ACCESS_RETURN_IF_ERROR(store_->read(ref >> 8, pg));
        bool del = false;
        Bytes row = rowOnPage(pg, static_cast<int>(ref & 0xFF), &del, nullptr);
        for (uint32_t p : referencedMapPages(row)) release.push_back(p);
    }
    for (uint32_t p : candidates) {
        if (p < 2 || p >= store_->pageCount()) continue;
        ACCESS_RETURN_IF_ERROR(store_->read(p, pg));
        uint32_t owner = dataPageOwner(pg);
        bool ours = ((pg[0] == page_type::kData) && (owner == t.page || owner == data_page_const::kLongValueOwner)) ||
                    ((pg[0] == page_type::kIndexLeaf || pg[0] == page_type::kIndexNode) && owner == t.page);
        if (ours) release.push_back(p);
    }
    return Status::ok();
}

// Deletes the usage-map rows; a map page left without live rows is freed too.
Status WriteDatabase::deleteMapRows(const std::vector<uint32_t>& mapRefs, std::vector<uint32_t>& release) {
    std::vector<uint8_t> pg;
    std::map<uint32_t, std::vector<int>> rowsByPage;
    for (uint32_t ref : mapRefs)
        if ((ref >> 8) >= 2 && (ref >> 8) < store_->pageCount()) rowsByPage[ref >> 8].push_back(static_cast<int>(ref & 0xFF));
    for (auto& [page, rows] : rowsByPage) {
        ACCESS_RETURN_IF_ERROR(store_->read(page, pg));
        if (pg[0] != page_type::kData) continue;
        for (int r : rows)
            if (r < rowCountOnPage(pg)) markRowDeleted(pg, r);
        bool anyLive = false;
        for (int i = 0; i < rowCountOnPage(pg); ++i) {
            bool del = false;
            rowOnPage(pg, i, &del, nullptr);
            anyLive = anyLive || !del;
        }
        ACCESS_RETURN_IF_ERROR(store_->write(page, pg));
        if (!anyLive && dataPageOwner(pg) == 0) release.push_back(page);
    }
    return Status::ok();
}

// The table's catalog row, its properties first.
Status WriteDatabase::deleteCatalogRow(const CatalogRow& e) {
    std::vector<uint8_t> pg;
    ACCESS_ASSIGN_OR_RETURN(TableModel objects, readTableModel(*store_, catalog_const::kCatalogTdefPage));
    if (const ColumnModel* lvProp = objects.columnNamed("LvProp")) {
        ACCESS_ASSIGN_OR_RETURN(auto rows, scanTable(objects));
        for (const auto& r : rows)
            if (r.page == e.page && r.row == e.row && !r.cells[lvProp->number].null)
                ACCESS_RETURN_IF_ERROR(releaseCatalogLongValue(*this, objects, lvProp->number, r.cells[lvProp->number].bytes));
    }
    ACCESS_RETURN_IF_ERROR(store_->read(e.page, pg));
    markRowDeleted(pg, e.row);
    ACCESS_RETURN_IF_ERROR(store_->write(e.page, pg));
    if (objects.rowCount > 0) --objects.rowCount;
    return rebuildAllIndexes(objects);
}

// The access-control rows of the object `objectId`.
Status WriteDatabase::deleteAccessControlRows(uint32_t objectId, uint32_t acesPage) {
    std::vector<uint8_t> pg;
    ACCESS_ASSIGN_OR_RETURN(TableModel aces, readTableModel(*store_, acesPage));
    const ColumnModel* oid = aces.columnNamed("ObjectId");
    ACCESS_ASSIGN_OR_RETURN(auto rows, scanTable(aces));
    for (const auto& r : rows) {
        if (!oid || r.cells[oid->number].null || r.cells[oid->number].bytes.size() < 4) continue;
        uint32_t id = ByteReader(Bytes(reinterpret_cast<const uint8_t*>(r.cells[oid->number].bytes.data()), 4)).u32(0);
        if (id != objectId) continue;
        ACCESS_RETURN_IF_ERROR(store_->read(r.page, pg));
        markRowDeleted(pg, r.row);
        ACCESS_RETURN_IF_ERROR(store_->write(r.page, pg));
        if (aces.rowCount > 0) --aces.rowCount;
    }
    return rebuildAllIndexes(aces);
}


// ----------------------------------------------------------- relationships

namespace {

constexpr uint32_t kRelationshipsContainerId = 0x0F000003u;
constexpr int16_t kRelationshipObjectType = 8;

std::string le32Cell(uint32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

// The first `count` characters of UTF-8 text.
std::string firstCharacters(const std::string& s, size_t count) {
    size_t i = 0;
    for (size_t n = 0; i < s.size() && n < count; ++n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return s.substr(0, i);
}

bool sameColumns(const std::vector<IndexColumnModel>& a, const std::vector<IndexColumnModel>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const IndexColumnModel& x, const IndexColumnModel& y) { return x.column == y.column; });
}

}  // namespace

Result<std::string> WriteDatabase::addRelationship(const NewRelationship& r) {
    if (!store_) return Status::invalidArgument("the connection is closed");
    if (busy_) return Status::invalidArgument("a table of this connection is still open for adding rows");
    ACCESS_RETURN_IF_ERROR(begin());
    Result<std::string> name = createRelationship(r);
    if (!name.isOk()) {
        Status s = abandon(name.status());
        if (s.category() != Category::IoError && s.category() != Category::Corruption)
            return Status::badCommand(s.description());
        return s;
    }
    ACCESS_RETURN_IF_ERROR(commit());
    return name;
}

// Writes what Access writes for an enforced relationship: one
// MSysRelationships row per column pair, a catalog object under the
// "Relationships" container, and a pair of foreign-key logical indexes that
// name each other. The engine enforces a relationship through that pair.
Result<std::string> WriteDatabase::createRelationship(const NewRelationship& r) {
    if (r.columns.empty() || r.columns.size() != r.referencedColumns.size() || r.columns.size() > limits::kMaxIndexColumns)
        return Status::badCommand("A relationship joins 1 to 10 fields of one table to as many fields of the other.");
    if (r.cascadeDelete && r.cascadeSetNull)
        return Status::badCommand("A relationship either deletes or clears related records, not both.");
    ACCESS_ASSIGN_OR_RETURN(auto catalog, readCatalog());
    auto userTable = [&](const std::string& name) -> Result<const CatalogRow*> {
        auto found = findTable(catalog, name);
        if (!found.isOk()) return Status::badCommand("The table '" + name + "' does not exist.");
        if (found.value()->flags & (catalog_const::kFlagSystem | catalog_const::kFlagAltSystem) ||
            found.value()->name.rfind("MSys", 0) == 0)
            return Status::badCommand("System tables cannot be changed.");
        return found.value();
    };
    ACCESS_ASSIGN_OR_RETURN(const CatalogRow* childRow, userTable(r.table));
    ACCESS_ASSIGN_OR_RETURN(const CatalogRow* parentRow, userTable(r.referencedTable));
    // A table may refer to itself; both its indexes then go into one definition.
    const bool self = childRow == parentRow;
    ACCESS_ASSIGN_OR_RETURN(TableModel child, readTableModel(*store_, childRow->id & 0x00FFFFFF));
    TableModel other;
    if (!self) {
        ACCESS_ASSIGN_OR_RETURN(other, readTableModel(*store_, parentRow->id & 0x00FFFFFF));
    }
    TableModel& parent = self ? child : other;
    std::vector<std::pair<std::string, bool>> childNames, parentNames;
    for (size_t k = 0; k < r.columns.size(); ++k) {
        childNames.push_back({r.columns[k], true});
        parentNames.push_back({r.referencedColumns[k], true});
    }
    ACCESS_ASSIGN_OR_RETURN(auto childCols, indexColumns(child, childNames));
    ACCESS_ASSIGN_OR_RETURN(auto parentCols, indexColumns(parent, parentNames));
    for (size_t k = 0; k < childCols.size(); ++k) {
        const ColumnModel* a = child.column(childCols[k].column);
        const ColumnModel* b = parent.column(parentCols[k].column);
        if (a->type != b->type)
            return Status::badCommand("The fields '" + a->name + "' and '" + b->name + "' are not of the same type.");
    }
    // The pairs may name the referenced key's columns in another order than
    // its index: they are then kept in the index's order.
    std::optional<size_t> parentIndex;
    for (size_t i = 0; i < parent.realIndexes.size() && !parentIndex; ++i) {
        const auto& keyColumns = parent.realIndexes[i].columns;
        if (!parent.isUniqueIndex(i) || keyColumns.size() != parentCols.size()) continue;
        std::vector<IndexColumnModel> keyOrder, childOrder;
        for (const auto& kc : keyColumns) {
            auto at = std::find_if(parentCols.begin(), parentCols.end(), [&](const IndexColumnModel& c) { return c.column == kc.column; });
            if (at == parentCols.end()) break;
            keyOrder.push_back(*at);
            childOrder.push_back(childCols[static_cast<size_t>(at - parentCols.begin())]);
        }
        if (keyOrder.size() != keyColumns.size()) continue;
        parentIndex = i;
        parentCols = std::move(keyOrder);
        childCols = std::move(childOrder);
    }
    if (!parentIndex)
        return Status::badCommand("No unique index found for the referenced fields of table '" + parentRow->name + "'.");
    if (child.logicalIndexes.size() + (self ? 2 : 1) > 32 || parent.logicalIndexes.size() >= 32)
        return Status::badCommand("Too many indexes on a table of the relationship.");

    // Every key of the referencing rows that has no null must be in the
    // referenced index, compared as that index compares keys.
    TableModel probe = child;
    RealIndexModel probeIndex;
    for (size_t k = 0; k < childCols.size(); ++k)
        probeIndex.columns.push_back({childCols[k].column, parent.realIndexes[*parentIndex].columns[k].ascending});
    probe.realIndexes.push_back(std::move(probeIndex));
    size_t orphans = 0;
    ACCESS_RETURN_IF_ERROR(forEachRow(child, [&](const ScannedRow& row) -> Status {
        bool anyNull = false;
        ACCESS_ASSIGN_OR_RETURN(std::string key, indexKey(probe, probe.realIndexes.size() - 1, row.cells, nullptr, &anyNull));
        if (anyNull) return Status::ok();
        ACCESS_ASSIGN_OR_RETURN(bool held, indexHoldsKey(*store_, parent.realIndexes[*parentIndex].rootPage, key));
        if (!held) ++orphans;
        return Status::ok();
    }));
    if (orphans > 0)
        return Status::badCommand(std::to_string(orphans) + " record(s) of table '" + childRow->name +
                                  "' have no related record in table '" + parentRow->name + "'.");

    // The name: unique among relationships and among the referencing table's indexes.
    std::string base = r.name.empty() ? firstCharacters(firstCharacters(parentRow->name, 29) + childRow->name, 61)
                                      : firstCharacters(r.name, 61);
    if (!checkObjectName(base, "relationship").isOk())
        base = firstCharacters(firstCharacters(parentRow->name, 29) + childRow->name, 61);
    auto taken = [&](const std::string& name) {
        for (const auto& e : catalog)
            if (e.type == kRelationshipObjectType && namesEqual(e.name, name)) return true;
        for (const auto& l : child.logicalIndexes)
            if (namesEqual(l.name, name)) return true;
        return false;
    };
    std::string name = base;
    for (int n = 1; taken(name); ++n) name = base + std::to_string(n);

    uint32_t grbit = 0;
    for (size_t i = 0; i < child.realIndexes.size(); ++i)
        if (child.isUniqueIndex(i) && sameColumns(child.realIndexes[i].columns, childCols)) grbit |= 0x1;
    if (r.cascadeUpdate) grbit |= 0x100;
    if (r.cascadeDelete) grbit |= 0x1000;
    if (r.cascadeSetNull) grbit |= 0x2000;

    uint32_t relPage = 0;
    for (const auto& e : catalog)
        if (e.name == "MSysRelationships" && (e.type & 0x7F) == 1) relPage = e.id & 0x00FFFFFF;
    if (relPage == 0) return Status::badCommand("The file has no MSysRelationships table.");
    ACCESS_ASSIGN_OR_RETURN(TableModel rel, readTableModel(*store_, relPage));
    for (size_t k = 0; k < childCols.size(); ++k) {
        std::vector<StoredCell> cells(rel.maxCols);
        auto set = [&](const char* col, std::string bytes) {
            if (const ColumnModel* c = rel.columnNamed(col)) cells[c->number] = StoredCell::of(std::move(bytes));
        };
        set("ccolumn", le32Cell(static_cast<uint32_t>(childCols.size())));
        set("grbit", le32Cell(grbit));
        set("icolumn", le32Cell(static_cast<uint32_t>(k)));
        set("szColumn", utf8ToUtf16le(child.column(childCols[k].column)->name));
        set("szObject", utf8ToUtf16le(childRow->name));
        set("szReferencedColumn", utf8ToUtf16le(parent.column(parentCols[k].column)->name));
        set("szReferencedObject", utf8ToUtf16le(parentRow->name));
        set("szRelationship", utf8ToUtf16le(name));
        ACCESS_RETURN_IF_ERROR(insertRow(rel, cells).status());
    }
    ACCESS_RETURN_IF_ERROR(rebuildAllIndexes(rel));

    uint32_t id = 0x80000000u;
    for (const auto& e : catalog)
        if ((e.id & 0x80000000u) && e.id != 0xFFFFFFFFu) id = std::max(id, e.id + 1);
    ACCESS_RETURN_IF_ERROR(addCatalogObject(name, id, kRelationshipObjectType, "Relationships", kRelationshipsContainerId, {}));

    // The referencing side shares an index on exactly its columns, else gets
    // its own (not unique, nulls indexed), filled from the rows already there.
    std::optional<size_t> childIndex;
    for (size_t i = 0; i < child.realIndexes.size() && !childIndex; ++i)
        if (sameColumns(child.realIndexes[i].columns, childCols)) childIndex = i;
    bool newIndex = false;
    if (!childIndex) {
        MapPages maps(*this);
        ACCESS_ASSIGN_OR_RETURN(childIndex, realIndexFor(*this, child, maps, childCols, 0x80));
        ACCESS_RETURN_IF_ERROR(maps.flush());
        newIndex = true;
    }
    const auto parentNumber = static_cast<uint32_t>(parent.logicalIndexes.size());
    const auto childNumber = static_cast<uint32_t>(child.logicalIndexes.size()) + (self ? 1 : 0);
    const uint8_t cascadeUpdate = r.cascadeUpdate ? 1 : 0;
    const uint8_t cascadeDelete = r.cascadeDelete ? 1 : r.cascadeSetNull ? 2 : 0;
    // Access names the referenced side's index ".r" and the letter of its number.
    std::string parentIndexName;
    for (uint32_t n = parentNumber; parentIndexName.empty(); ++n) {
        std::string candidate = ".r" + (n < 26 ? std::string(1, static_cast<char>('A' + n)) : std::to_string(n));
        if (std::none_of(parent.logicalIndexes.begin(), parent.logicalIndexes.end(),
                         [&](const LogicalIndexModel& l) { return namesEqual(l.name, candidate); }))
            parentIndexName = candidate;
    }
    auto foreignKeyIndex = [&](const std::string& indexName, uint32_t number, size_t real, uint8_t side,
                               uint32_t otherNumber, uint32_t otherPage) {
        LogicalIndexModel l;
        l.name = indexName;
        l.number = number;
        l.realIndex = static_cast<uint32_t>(real);
        l.type = 2;
        l.foreignKey = LogicalIndexModel::ForeignKey{side, otherNumber, otherPage, cascadeUpdate, cascadeDelete};
        return l;
    };
    parent.logicalIndexes.push_back(foreignKeyIndex(parentIndexName, parentNumber, *parentIndex, 1, childNumber, child.page));
    child.logicalIndexes.push_back(foreignKeyIndex(name, childNumber, *childIndex, 2, parentNumber, parent.page));
    if (newIndex) {
        ACCESS_RETURN_IF_ERROR(rebuildIndex(child, *childIndex));
    }
    std::vector<uint32_t> freed;
    if (!self) {
        ACCESS_RETURN_IF_ERROR(writeTableModel(*store_, parent, allocator(), freed));
    }
    ACCESS_RETURN_IF_ERROR(writeTableModel(*store_, child, allocator(), freed));
    releasePages(freed);
    return name;
}

}  // namespace veltrano::access
