// Opening a database for reading; see database.h.
#include "access/read/database.h"

#include <algorithm>
#include <filesystem>

#include "access/storage/journal.h"
#include "access/storage/lock_file.h"
#include "access/format/properties.h"
#include "common/names.h"

namespace veltrano::access {

namespace {

// A writer killed in the middle of a change leaves the file half-written,
// with the originals of the pages it overwrote in its journal. Such a file
// is rolled back before it is read, as the next writer would do. The
// writer's own page store does it under the writer's lock, so the journal
// of a writer still at work is never touched (the file is in use then).
Status rollBackUnfinishedChange(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(journalPath(path), ec)) return Status::ok();
    auto store = PageStore::open(path, false);
    if (store.isOk()) return Status::ok();
    const Status& s = store.status();
    if (s.category() == Category::InUse || s.category() == Category::NotFound) return s;
    // Here the file is a source, not a destination.
    const std::string why = s.code() == kCodeReadOnly ? "the file or its folder is read-only" : s.description();
    return s.withDescription("The file " + path + " holds a change that a writer did not finish (" + journalPath(path) +
                             "). It must be undone before the file can be read, and undoing it failed: " + why);
}

// A calculated column's type byte is not its value's type: the ResultType
// property is. Its length counts the stored wrapper, 23 bytes more than the
// value; Decimal results carry their scale per value, at precision 28.
void applyCalculatedProperties(const PropertySet& set, ColumnDef& c) {
    if (const Value* e = set.find("Expression"); e && e->kind == ValueKind::Text) c.expression = e->bytes;
    const Value* r = set.find("ResultType");
    if (!r || r->isNull() || r->kind == ValueKind::Text || r->integer <= 0) return;
    c.type = static_cast<ColumnType>(r->integer);
    if (c.type == ColumnType::Text) c.length = c.length >= 23 ? static_cast<uint16_t>(c.length - 23) : 0;
    if (c.type == ColumnType::Numeric) {
        c.precision = 28;
        c.scale = 0;
    }
}

}  // namespace

Result<std::unique_ptr<Database>> Database::open(const std::string& path, const OpenOptions& options) {
    ACCESS_RETURN_IF_ERROR(rollBackUnfinishedChange(path));
    ACCESS_ASSIGN_OR_RETURN(auto file, openPosixFile(path, OpenMode::ReadOnly));
    ACCESS_RETURN_IF_ERROR(checkNotInUse(path));
    // The shared lock keeps our own writers out while we read, and fails when
    // one got in between the check above and now.
    ACCESS_RETURN_IF_ERROR(file->tryLock(LockKind::Shared));
    return openFile(std::move(file), options);
}

Result<std::unique_ptr<Database>> Database::openFile(std::unique_ptr<File> file, const OpenOptions& options) {
    ACCESS_ASSIGN_OR_RETURN(auto pager, Pager::open(std::move(file)));
    std::unique_ptr<Database> db(new Database(std::move(pager)));
    ACCESS_RETURN_IF_ERROR(db->load(options));
    return db;
}

Status Database::load(const OpenOptions& options) {
    if (pager_->header().ace) {
        // An .accdb password encrypts the pages; no password is tried as the empty one.
        ACCESS_RETURN_IF_ERROR(pager_->unlock(options.password.value_or("")));
    } else {
        const std::string& stored = pager_->header().password;
        if (!stored.empty() && (!options.password || *options.password != stored)) return Status::wrongPassword();
    }
    ACCESS_ASSIGN_OR_RETURN(catalog_, readCatalog(*pager_));
    for (const auto& e : catalog_) {
        if (e.isUserTable()) userTables_.push_back(&e);
        if (e.isLinkedTable()) linkedTables_.push_back(&e);
    }
    return {};
}

const CatalogEntry* Database::findTable(std::string_view name) const {
    for (const auto* e : userTables_)
        if (e->name == name) return e;
    for (const auto* e : userTables_)
        if (namesEqual(e->name, name)) return e;
    return nullptr;
}

Result<std::vector<PropertySet>> Database::tableProperties(std::string_view name) const {
    const CatalogEntry* e = findTable(name);
    if (!e) return Status::notFound("The table '" + std::string(name) + "' does not exist.");
    Bytes blob(reinterpret_cast<const uint8_t*>(e->properties.data()), e->properties.size());
    return parseProperties(blob, pager_->format(), pager_->header().codePage);
}

Status Database::tableMissing(std::string_view name) const {
    // A linked table has no rows here: say where they are rather than read it as empty.
    for (const auto* l : linkedTables_)
        if (namesEqual(l->name, name))
            return Status::notSupported("The table '" + l->name + "' is " + l->linkDescription() +
                                        "; its rows are not in this file and are not read.");
    return Status::notFound("The table '" + std::string(name) + "' does not exist.");
}

Result<std::shared_ptr<const TableDef>> Database::tableDef(std::string_view name) {
    const CatalogEntry* e = findTable(name);
    if (!e) return tableMissing(name);
    auto it = defs_.find(e->tdefPage());
    if (it != defs_.end()) return it->second;
    ACCESS_ASSIGN_OR_RETURN(TableDef def, loadTableDef(*pager_, e->tdefPage()));
    if (!e->properties.empty()) {
        Bytes blob(reinterpret_cast<const uint8_t*>(e->properties.data()), e->properties.size());
        for (const auto& set : parseProperties(blob, pager_->format(), pager_->header().codePage)) {
            for (auto& c : def.columns) {
                if (!namesEqual(c.name, set.objectName)) continue;
                if (const Value* d = set.find("DefaultValue"); d && d->kind == ValueKind::Text) {
                    c.hasDefault = true;
                    c.defaultValue = d->bytes;
                }
                if (const Value* r = set.find("Required"); r && r->kind == ValueKind::Boolean)
                    c.required = r->integer != 0;
                if (c.calculated) applyCalculatedProperties(set, c);
            }
        }
    }
    auto& complex = complex_[e->tdefPage()];
    // The unique indexes Access keeps on complex columns index their value
    // ids, which no reader sees; they are left out with the columns' ids.
    std::vector<uint16_t> complexNumbers;
    for (const auto& c : def.columns)
        if (c.type == ColumnType::Complex) complexNumbers.push_back(c.number);
    std::erase_if(def.logicalIndexes, [&](const LogicalIndexDef& li) {
        if (li.realIndex >= def.realIndexes.size()) return false;
        for (const auto& ref : def.realIndexes[li.realIndex].columns)
            if (std::find(complexNumbers.begin(), complexNumbers.end(), ref.column) != complexNumbers.end()) return true;
        return false;
    });
    for (auto c = def.columns.begin(); c != def.columns.end();) {
        if (c->type != ColumnType::Complex) {
            ++c;
            continue;
        }
        auto info = resolveComplexColumn(*pager_, catalog_, e->tdefPage(), *c);
        bool history = info.isOk() && info->kind == ComplexKind::VersionHistory;
        complex.emplace(history ? info->versionedMemo : c->name, std::move(info));
        c = history ? def.columns.erase(c) : c + 1;
    }
    auto shared = std::make_shared<const TableDef>(std::move(def));
    defs_.emplace(e->tdefPage(), shared);
    return shared;
}

Result<ComplexValues> Database::complexValues(std::string_view table, std::string_view column) {
    ACCESS_ASSIGN_OR_RETURN(auto def, tableDef(table));
    const auto& complex = complex_[def->firstPage];
    for (const auto& [name, info] : complex) {
        if (!namesEqual(name, column)) continue;
        if (!info.isOk()) return info.status();
        return readComplexValues(*pager_, *info);
    }
    return Status::notFound("The table '" + std::string(table) + "' has no complex column or history '" +
                            std::string(column) + "'.");
}

std::vector<std::string> Database::versionedMemos(std::string_view table) {
    std::vector<std::string> out;
    auto def = tableDef(table);
    if (!def.isOk()) return out;
    for (const auto& [name, info] : complex_[(*def)->firstPage])
        if (info.isOk() && info->kind == ComplexKind::VersionHistory) out.push_back(name);
    return out;
}

Result<std::unique_ptr<TableCursor>> Database::openCursor(std::string_view name, bool decodeValues) {
    ACCESS_ASSIGN_OR_RETURN(auto def, tableDef(name));
    auto cursor = std::make_unique<TableCursor>(*pager_, def, decodeValues);
    if (!decodeValues) return cursor;
    for (size_t i = 0; i < def->columns.size(); ++i) {
        if (def->columns[i].type != ColumnType::Complex) continue;
        auto it = complex_[def->firstPage].find(def->columns[i].name);
        if (it == complex_[def->firstPage].end()) return Status::internal("complex column not resolved");
        if (!it->second.isOk()) return it->second.status();
        ACCESS_ASSIGN_OR_RETURN(ComplexValues values, readComplexValues(*pager_, *it->second));
        cursor->showComplex(i, std::make_shared<const ComplexValues>(std::move(values)));
    }
    return cursor;
}

Result<uint64_t> Database::countRows(std::string_view name) {
    ACCESS_ASSIGN_OR_RETURN(auto cursor, openCursor(name, false));
    uint64_t n = 0;
    while (cursor->next()) ++n;
    if (!cursor->status().isOk()) return cursor->status();
    return n;
}

Result<std::unique_ptr<TableCursor>> Database::openSystemCursor(std::string_view name) {
    const CatalogEntry* found = nullptr;
    for (const auto& e : catalog_)
        if (e.kind() == catalog_const::kTypeTable && e.isSystem() && namesEqual(e.name, name)) found = &e;
    if (!found) return Status::notFound("The file has no " + std::string(name) + " table.");
    auto it = defs_.find(found->tdefPage());
    if (it == defs_.end()) {
        ACCESS_ASSIGN_OR_RETURN(TableDef def, loadTableDef(*pager_, found->tdefPage()));
        it = defs_.emplace(found->tdefPage(), std::make_shared<const TableDef>(std::move(def))).first;
    }
    return std::make_unique<TableCursor>(*pager_, it->second);
}

}  // namespace veltrano::access
