// Database: an open Access file for reading. Checks the password, reads the
// catalog once, hands out table definitions (with the column properties
// applied) and streaming cursors. The provider facade (provider.h) is built
// on this; the batch tool's tables/schema/export commands use it directly.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/read/catalog.h"
#include "access/read/complex.h"
#include "access/format/properties.h"
#include "access/storage/file.h"
#include "access/storage/pager.h"
#include "access/base/status.h"
#include "access/read/table.h"
#include "access/format/tdef.h"
#include "access/format/text.h"

namespace veltrano::access {

struct OpenOptions {
    // The database password; compared case-sensitively with the stored one.
    // Required (WrongPassword when missing or different) only when the file
    // has a password.
    std::optional<std::string> password;
};

class Database {
public:
    // Opens `path` read-only, after checking that it is not in use (a write
    // lock held by another open file, or a live lock file; see lock_file.h),
    // and holds a shared lock on it while open. A change a killed writer left
    // unfinished (its journal, see journal.h) is rolled back first; when that
    // is impossible (say, the file is read-only) the open fails rather than
    // read a half-written file.
    static Result<std::unique_ptr<Database>> open(const std::string& path, const OpenOptions& options = {});
    // Opens an already opened file (memory files in tests and fuzzing).
    static Result<std::unique_ptr<Database>> openFile(std::unique_ptr<File> file, const OpenOptions& options = {});

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    Pager& pager() { return *pager_; }
    const Format& format() const { return pager_->format(); }
    JetVersion version() const { return pager_->format().version; }

    // Every catalog row, and the user tables in catalog order.
    const std::vector<CatalogEntry>& catalog() const { return catalog_; }
    const std::vector<const CatalogEntry*>& userTables() const { return userTables_; }
    // Tables whose rows live in another database: listed, never read.
    const std::vector<const CatalogEntry*>& linkedTables() const { return linkedTables_; }
    // A user table by name: exact first, then case-insensitively.
    const CatalogEntry* findTable(std::string_view name) const;
    // Every property block of a user table (the table's own first, as stored).
    Result<std::vector<PropertySet>> tableProperties(std::string_view name) const;

    // The definition of a user table, columns carrying their properties. The
    // hidden version-history column of an append-only memo is left out (see
    // complexValues()).
    Result<std::shared_ptr<const TableDef>> tableDef(std::string_view name);
    // Every value of a complex column (attachment, multi-value), or the saved
    // versions of an append-only memo when `column` names that memo. NotFound
    // when the column is neither.
    Result<ComplexValues> complexValues(std::string_view table, std::string_view column);
    // The append-only memos of a table that keep a version history.
    std::vector<std::string> versionedMemos(std::string_view table);
    // A scan over a user table's rows. Complex columns read as the text of
    // their values (complex.h); a complex column that cannot be read fails
    // the open with its reason rather than reading as empty.
    Result<std::unique_ptr<TableCursor>> openCursor(std::string_view name, bool decodeValues = true);
    // Counts the live rows by scanning.
    Result<uint64_t> countRows(std::string_view name);
    // A scan over a system table (MSysRelationships, MSysQueries, ...);
    // NotFound when the file has no such table.
    Result<std::unique_ptr<TableCursor>> openSystemCursor(std::string_view name);

private:
    explicit Database(std::unique_ptr<Pager> pager) : pager_(std::move(pager)) {}
    Status load(const OpenOptions& options);
    Status tableMissing(std::string_view name) const;

    std::unique_ptr<Pager> pager_;
    std::vector<CatalogEntry> catalog_;
    std::vector<const CatalogEntry*> userTables_;
    std::vector<const CatalogEntry*> linkedTables_;
    std::map<uint32_t, std::shared_ptr<const TableDef>> defs_;
    // Complex columns by table definition page and column name, resolved
    // when the table's definition is first read.
    std::map<uint32_t, std::map<std::string, Result<ComplexColumnInfo>>> complex_;
};


}  // namespace veltrano::access
