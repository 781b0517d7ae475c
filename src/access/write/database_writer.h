// WriteDatabase: one Jet 4 file open for writing, and the statements and
// row appends run on it. Internal to the engine; callers use writer.h.
//
// Owns, while open: the page store (with its journal), the .ldb lock file,
// the global usage map (page 1 row 0, where a set bit means the page is
// free), and the rows and indexes of the system tables MSysObjects and
// MSysACEs. Every public operation is one change of the page store: it
// commits as a whole or is rolled back, and in-memory state is reloaded
// from the file after a rollback. When a rollback fails the page store is
// failed (see journal.h) and so is every later operation; the status that
// ends the operation says so.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "access/write/index_writer.h"
#include "access/sql/jet_sql.h"
#include "access/storage/journal.h"
#include "access/storage/lock_file.h"
#include "access/write/long_value_writer.h"
#include "access/format/properties.h"
#include "access/write/properties_writer.h"
#include "access/write/row_writer.h"
#include "access/write/session_entries.h"
#include "access/write/spill_file.h"
#include "access/write/tdef_writer.h"
#include "access/write/unique_keys.h"
#include "access/write/writer.h"
#include "common/field_value.h"

namespace veltrano::access {

struct CatalogRow {
    uint32_t id = 0, parentId = 0;
    std::string name;
    int16_t type = 0;
    uint32_t flags = 0;
    std::string owner;
    uint32_t page = 0;  // where the row's header slot is
    uint8_t row = 0;
};

// A row found while scanning a table: the header slot (what index entries
// name) and the row bytes (followed through a moved-row pointer).
struct ScannedRow {
    uint32_t page = 0;
    uint8_t row = 0;
    std::vector<StoredCell> cells;
};

class AppendSession;

class WriteDatabase : public std::enable_shared_from_this<WriteDatabase> {
public:
    static Result<std::shared_ptr<WriteDatabase>> open(const std::string& path, const std::string& password,
                                                        FileSystem& fs = posixFileSystem());
    // Used by createDatabase: takes a freshly written store.
    static Result<std::shared_ptr<WriteDatabase>> adopt(std::unique_ptr<PageStore> store);
    ~WriteDatabase();

    // `extra`: further properties of a table CREATE TABLE makes (see properties_writer.h).
    Status execute(const std::string& sql, const std::vector<ObjectProperties>& extra = {});
    Result<std::unique_ptr<AppendSession>> openAppend(const std::string& table);
    Result<std::vector<std::string>> userTables();
    // See WriteConnection::addRelationship.
    Result<std::string> addRelationship(const NewRelationship& r);
    // The property blocks of a table (its catalog row's LvProp).
    Result<std::vector<PropertySet>> tableProperties(const std::string& table);
    // Required and DefaultValue of each column that has either (auto-numbers
    // and yes/no columns are never Required: they are never null).
    struct ColumnRule {
        std::string column;
        bool required = false;
        bool hasDefault = false;
        std::string defaultValue;
    };
    Result<std::vector<ColumnRule>> columnRules(const std::string& table);
    Status close();

    // --- for AppendSession and createDatabase ---
    bool isOpen() const { return store_ != nullptr; }
    // REQUIRES: isOpen().
    PageStore& store() { return *store_; }
    Result<uint32_t> allocatePage();
    Allocator allocator();
    void releasePages(const std::vector<uint32_t>& pages);
    Status begin();
    Status commit();
    // Rolls back the change that `cause` stopped. Returns `cause`, or, when
    // the rollback failed too, a status saying that (with the cause's
    // category and code when the cause was itself a failed write).
    Status abandon(Status cause);
    bool busy() const { return busy_; }
    void setBusy(bool b) { busy_ = b; }

    Result<std::vector<ScannedRow>> scanTable(const TableModel& t);
    // The rows of `t` one at a time, without holding them: `visit` sees each
    // row once (its cells are valid during the call) and may stop the scan
    // by returning an error, which forEachRow returns.
    Status forEachRow(const TableModel& t, const std::function<Status(const ScannedRow&)>& visit);
    // Adds a row to a table through its owned map (system tables). Updates
    // t.rowCount but does not write the TDEF or any index.
    Result<std::pair<uint32_t, uint8_t>> insertRow(TableModel& t, const std::vector<StoredCell>& cells);
    // Rebuilds real index r of t from the table's rows and writes t's TDEF.
    Status rebuildIndex(TableModel& t, size_t r);
    Status rebuildAllIndexes(TableModel& t);
    Result<std::vector<CatalogRow>> readCatalog();
    Status writeGlobalMap();

private:
    explicit WriteDatabase(std::unique_ptr<PageStore> store) : store_(std::move(store)) {}
    Status load();
    Status createTable(const CreateTableStmt& s, const std::vector<ObjectProperties>& extra);
    Status createIndex(const CreateIndexStmt& s);
    Status dropTable(const DropTableStmt& s);
    // The steps of dropTable.
    Status refuseIfRelated(const std::string& table, uint32_t relationshipsPage);
    Status collectOwnedPages(const TableModel& t, const std::vector<uint32_t>& mapRefs, std::vector<uint32_t>& release);
    Status deleteMapRows(const std::vector<uint32_t>& mapRefs, std::vector<uint32_t>& release);
    Status deleteCatalogRow(const CatalogRow& e);
    Status deleteAccessControlRows(uint32_t objectId, uint32_t acesPage);
    Result<const CatalogRow*> findTable(const std::vector<CatalogRow>& catalog, const std::string& name);
    Status addCatalogRows(const std::string& name, uint32_t tdefPage, const std::string& properties);
    // A catalog row of `type` under the container named `container` (or
    // `containerId` when the file has none by that name), with that
    // container's users and groups given full access to it.
    Status addCatalogObject(const std::string& name, uint32_t id, int16_t type, const std::string& container,
                            uint32_t containerId, const std::string& properties);
    Result<std::string> createRelationship(const NewRelationship& r);

    std::unique_ptr<PageStore> store_;
    std::unique_ptr<LockFileGuard> lockFile_;
    PageSet free_;  // free pages inside the file
    bool reloadNeeded_ = false;  // free_ predates a rollback
    bool busy_ = false;
};

class AppendSession {
public:
    static Result<std::unique_ptr<AppendSession>> start(std::shared_ptr<WriteDatabase> db, uint32_t tdefPage);
    ~AppendSession();

    Status addNew();
    int fieldCount() const { return static_cast<int>(order_.size()); }
    int fieldType(int pos) const;
    std::string fieldName(int pos) const;
    Status setField(int pos, const FieldValue& v);
    // setField in two steps; convert() reads only the table's definition.
    Result<StoredCell> convert(int pos, const FieldValue& v) const;
    Status convertInto(int pos, const FieldValue& v, StoredCell& out) const;
    Status setCell(int pos, StoredCell cell);
    // setCell that copies into the cell's kept buffer.
    Status copyCell(int pos, bool null, const std::string& bytes);
    // The cell of field `pos` in the row addNew() started, for a whole row
    // set at once. REQUIRES: addNew() succeeded, 0 <= pos < fieldCount().
    StoredCell& newRowCell(int pos) { return cells_[order_[static_cast<size_t>(pos)]->number]; }
    Status update();
    Status close();
    bool open() const { return db_ != nullptr; }
    void raiseAutoNumber(uint32_t lastUsed) {
        if (t_.autoNumber < lastUsed) t_.autoNumber = lastUsed;
    }
    // The memory a session's index entries may take before they go to the
    // spill file (sessions started afterwards); 0 restores the default.
    static void setMemoryBudgetForTests(size_t bytes);

private:
    AppendSession() = default;
    Status store();  // update() without the clean-up after a failed write
    // The cell field `pos` of the current row sets (starting a row if none is).
    Result<StoredCell*> cellOfField(int pos);
    Status placeRow(const std::vector<uint8_t>& row, uint32_t& page, uint8_t& slot);
    Status finish();
    void discardSpill();

    std::shared_ptr<WriteDatabase> db_;
    // Before what writes to it, so that it is destroyed after them.
    std::unique_ptr<SpillFile> spill_;
    TableModel t_;
    std::vector<const ColumnModel*> order_;  // by column number
    std::vector<StoredCell> cells_;              // by column number
    std::vector<bool> set_;
    bool rowStarted_ = false;
    PageSet owned_;
    std::vector<uint8_t> page_;
    uint32_t pageNumber_ = 0;
    bool pageIsNew_ = false;
    SessionEntries entries_;                                   // per real index: this session's rows
    std::vector<UniqueKeySet> uniqueKeys_;                     // per unique real index: this session's keys
    // Per real index: the highest key its tree held when the session began,
    // so keys above it (rows arriving in key order) skip the tree lookup.
    std::vector<IndexBound> treeBounds_;
    RowLayout layout_;
    std::vector<std::string> keys_;  // this row's index keys, buffers kept between rows
    std::vector<bool> include_, checkUnique_;  // this row's, by index: kept between rows
    std::vector<uint8_t> row_;       // this row's image
    std::vector<std::unique_ptr<LongValueWriter>> lv_;               // by column number (null if not LV)
    std::mt19937_64 random_{std::random_device{}()};  // auto-GUIDs
};

}  // namespace veltrano::access
