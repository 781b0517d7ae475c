// Appending rows to one table: rows go onto data pages as they come (new
// pages straight to the file), long values onto LVAL pages, index entries
// are collected (in memory up to a budget, then in sorted runs in the spill
// file) and every index of the table is rebuilt in bulk at close().
// Unique indexes are checked per row against the existing and new keys.
#include <algorithm>

#include "access/write/database_writer.h"
#include "access/format/index_key.h"
#include "access/write/unique_keys.h"
#include "access/write/value_writer.h"

namespace veltrano::access {
namespace {

Status duplicateKey() {
    return Status::invalidArgument(
        "The changes you requested to the table were not successful because they would create duplicate values in "
        "the index, primary key, or relationship.");
}

int providerType(ColumnType t) {
    switch (t) {
        case ColumnType::Boolean: return 11;
        case ColumnType::Byte: return 17;
        case ColumnType::Integer: return 2;
        case ColumnType::Long: return 3;
        case ColumnType::Currency: return 6;
        case ColumnType::Single: return 4;
        case ColumnType::Double: return 5;
        case ColumnType::DateTime: return 7;
        case ColumnType::Binary: return 128;
        case ColumnType::Text: return 202;
        case ColumnType::Ole: return 205;
        case ColumnType::Memo: return 203;
        case ColumnType::Guid: return 72;
        case ColumnType::Numeric: return 131;
        default: return 128;
    }
}

// What a session's index entries may take in memory (all indexes together,
// the vectors' growth included) before they go to the spill file.
constexpr size_t kDefaultMemoryBudget = 24u << 20;
size_t memoryBudget = kDefaultMemoryBudget;

// Closing the connection undoes a session still open on it.
Status connectionClosed() {
    return Status::invalidArgument("the connection was closed before the table; its new rows were not stored");
}

}  // namespace

Result<std::unique_ptr<AppendSession>> AppendSession::start(std::shared_ptr<WriteDatabase> db, uint32_t tdefPage) {
    std::unique_ptr<AppendSession> s(new AppendSession());
    ACCESS_RETURN_IF_ERROR(db->begin());
    auto fail = [&](Status st) { return db->abandon(std::move(st)); };
    auto t = readTableModel(db->store(), tdefPage);
    if (!t.isOk()) return fail(t.status());
    s->t_ = std::move(t.value());
    const TableModel& td = s->t_;
    if (td.tableType != 0x4E) return fail(Status::invalidArgument("system tables cannot be appended to"));
    for (const ColumnModel* c : td.byNumber()) s->order_.push_back(c);
    s->lv_.resize(std::max<size_t>(td.maxCols, 1));
    for (const auto& c : td.columns)
        if (c.isLongValue() && c.number < s->lv_.size())
            s->lv_[c.number] = std::make_unique<LongValueWriter>(db->store(), db->allocator());
    auto owned = readMapPages(db->store(), td.ownedMap);
    if (!owned.isOk()) return fail(owned.status());
    s->owned_ = owned.value();
    // Continue on the table's last data page when it has room.
    std::vector<uint8_t> pg;
    for (auto it = s->owned_.rbegin(); it != s->owned_.rend(); ++it) {
        if (*it >= db->store().pageCount()) continue;
        Status rs = db->store().read(*it, pg);
        if (!rs.isOk()) return fail(rs);
        if (pg[0] == page_type::kData && dataPageOwner(pg) == td.page) {
            if (dataPageFreeSpace(pg) > 200 && rowCountOnPage(pg) < static_cast<int>(limits::kMaxRowsPerPage)) {
                s->page_ = pg;
                s->pageNumber_ = *it;
            }
            break;
        }
    }
    PageStore& store = db->store();
    s->spill_ = std::make_unique<SpillFile>(store.fileSystem(), spillPath(store.path()),
                                            std::clamp<size_t>(memoryBudget / 16, 1024, 1 << 20));
    s->entries_ = SessionEntries(*s->spill_, td.realIndexes.size(), memoryBudget);
    s->uniqueKeys_.reserve(td.realIndexes.size());
    for (size_t r = 0; r < td.realIndexes.size(); ++r) s->uniqueKeys_.emplace_back(*s->spill_);
    // The rows already there keep their entries in the index trees: new
    // keys are checked against the trees, and close() merges new entries
    // into them, so memory does not grow with the table.
    s->treeBounds_.resize(td.realIndexes.size());
    for (size_t r = 0; r < td.realIndexes.size(); ++r) {
        auto bound = highestIndexKey(db->store(), td.realIndexes[r].rootPage);
        if (!bound.isOk()) return fail(bound.status());
        s->treeBounds_[r] = bound.value();
    }
    s->layout_ = rowLayout(s->t_);
    s->db_ = std::move(db);
    s->db_->setBusy(true);
    return s;
}

AppendSession::~AppendSession() {
    if (db_) (void)close();
}

void AppendSession::setMemoryBudgetForTests(size_t bytes) {
    memoryBudget = bytes ? bytes : kDefaultMemoryBudget;
}

void AppendSession::discardSpill() {
    for (auto& u : uniqueKeys_) u.clear();
    entries_ = SessionEntries();
    if (spill_) spill_->discard();
}

int AppendSession::fieldType(int pos) const {
    if (pos < 0 || pos >= fieldCount()) return 0;
    return providerType(order_[pos]->type);
}

std::string AppendSession::fieldName(int pos) const {
    if (pos < 0 || pos >= fieldCount()) return {};
    return order_[pos]->name;
}

Status AppendSession::addNew() {
    if (!db_) return Status::invalidArgument("the table is closed");
    // The cells keep their buffers from row to row.
    cells_.resize(std::max<size_t>(t_.maxCols, 1));
    for (auto& cell : cells_) {
        cell.null = true;
        cell.bytes.clear();
    }
    for (const auto& c : t_.columns)
        if (c.type == ColumnType::Boolean) cells_[c.number] = StoredCell::of(std::string(1, '\0'));
    rowStarted_ = true;
    return Status::ok();
}

Result<StoredCell> AppendSession::convert(int pos, const FieldValue& v) const {
    if (pos < 0 || pos >= fieldCount()) return Status::invalidArgument("no field at position " + std::to_string(pos));
    return convertField(*order_[pos], v);
}

Status AppendSession::convertInto(int pos, const FieldValue& v, StoredCell& out) const {
    if (pos < 0 || pos >= fieldCount()) return Status::invalidArgument("no field at position " + std::to_string(pos));
    return convertFieldInto(*order_[pos], v, out);
}

Result<StoredCell*> AppendSession::cellOfField(int pos) {
    if (!db_) return Status::invalidArgument("the table is closed");
    if (pos < 0 || pos >= fieldCount()) return Status::invalidArgument("no field at position " + std::to_string(pos));
    if (!rowStarted_) ACCESS_RETURN_IF_ERROR(addNew());
    return &cells_[order_[pos]->number];
}

Status AppendSession::setCell(int pos, StoredCell cell) {
    ACCESS_ASSIGN_OR_RETURN(StoredCell * target, cellOfField(pos));
    *target = std::move(cell);
    return Status::ok();
}

Status AppendSession::copyCell(int pos, bool null, const std::string& bytes) {
    ACCESS_ASSIGN_OR_RETURN(StoredCell * target, cellOfField(pos));
    target->null = null;
    target->bytes.assign(bytes);
    return Status::ok();
}

Status AppendSession::setField(int pos, const FieldValue& v) {
    if (!db_) return Status::invalidArgument("the table is closed");
    ACCESS_ASSIGN_OR_RETURN(StoredCell cell, convert(pos, v));
    return setCell(pos, std::move(cell));
}

Status AppendSession::placeRow(const std::vector<uint8_t>& row, uint32_t& page, uint8_t& slot) {
    if (page_.empty() || !rowFits(page_, row.size())) {
        if (!page_.empty()) ACCESS_RETURN_IF_ERROR(db_->store().write(pageNumber_, page_));
        ACCESS_ASSIGN_OR_RETURN(pageNumber_, db_->allocatePage());
        page_ = newDataPage(t_.page);
        owned_.insert(pageNumber_);
    }
    slot = static_cast<uint8_t>(addRowToPage(page_, row));
    page = pageNumber_;
    return Status::ok();
}

Status AppendSession::update() {
    Status s = store();
    if (!s.isOk() && (s.category() == Category::IoError || s.category() == Category::Internal ||
                      s.category() == Category::Corruption) && db_) {
        // A failed write leaves pages half made: the whole session is undone
        // rather than committed later.
        s = db_->abandon(std::move(s));
        discardSpill();
        db_->setBusy(false);
        db_.reset();
    }
    return s;
}

Status AppendSession::store() {
    if (!db_) return Status::invalidArgument("the table is closed");
    if (!db_->isOpen()) return connectionClosed();
    if (!rowStarted_) return Status::invalidArgument("no new row was started");
    rowStarted_ = false;
    std::vector<StoredCell>& cells = cells_;
    uint32_t autoNumber = t_.autoNumber;
    for (const auto& c : t_.columns) {
        if (!c.isAutoNumber()) continue;
        StoredCell& cell = cells[c.number];
        if (cell.null) {
            if (autoNumber >= 0x7FFFFFFFu) return Status::invalidArgument("the auto-number field has run out of values");
            ++autoNumber;
            std::string b(4, '\0');
            for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((autoNumber >> (8 * i)) & 0xFF);
            cell = StoredCell::of(b);
        } else {
            int32_t v = static_cast<int32_t>(ByteReader(Bytes(reinterpret_cast<const uint8_t*>(cell.bytes.data()), 4)).u32(0));
            if (v > 0 && static_cast<uint32_t>(v) > autoNumber) autoNumber = static_cast<uint32_t>(v);
        }
    }
    for (const auto& c : t_.columns) {
        StoredCell& cell = cells[c.number];
        if (c.type == ColumnType::Guid && (c.flags & column_flag::kAutoGuid) && cell.null) {
            std::string g(16, '\0');
            for (auto& b : g) b = static_cast<char>(random_() & 0xFF);
            g[7] = static_cast<char>((g[7] & 0x0F) | 0x40);  // version 4 (Data3 is stored little-endian)
            g[8] = static_cast<char>((g[8] & 0x3F) | 0x80);
            cell = StoredCell::of(g);
        }
        if (cell.null && !(c.flags & column_flag::kNullable) && c.type != ColumnType::Boolean)
            return Status::invalidArgument("The field '" + c.name + "' cannot contain a Null value.");
    }
    std::vector<std::string>& keys = keys_;
    keys.resize(t_.realIndexes.size());
    std::vector<bool>& include = include_;
    std::vector<bool>& checkUnique = checkUnique_;
    include.assign(t_.realIndexes.size(), false);
    checkUnique.assign(t_.realIndexes.size(), false);
    for (size_t r = 0; r < t_.realIndexes.size(); ++r) {
        const auto& ri = t_.realIndexes[r];
        bool allNull = false, anyNull = false;
        ACCESS_ASSIGN_OR_RETURN(keys[r], indexKey(t_, r, cells, &allNull, &anyNull));
        if (anyNull && ((ri.flags & index_flag::kRequired) || t_.isPrimaryKey(r)))
            return Status::invalidArgument("Index or primary key cannot contain a Null value.");
        include[r] = !(ri.ignoreNulls() && allNull);
        checkUnique[r] = t_.isUniqueIndex(r) && !anyNull;
        if (checkUnique[r]) {
            ACCESS_ASSIGN_OR_RETURN(bool seen, uniqueKeys_[r].contains(keys[r]));
            if (seen) return duplicateKey();
            const IndexBound& bound = treeBounds_[r];
            if (!bound.empty && (!bound.known || keys[r] <= bound.highest)) {
                ACCESS_ASSIGN_OR_RETURN(bool held, indexHoldsKey(db_->store(), ri.rootPage, keys[r]));
                if (held) return duplicateKey();
            }
        }
    }
    // Long values short enough to sit in the row are final now; longer ones
    // go to LVAL pages, but only once the row is known to fit with their
    // 12-byte references, so a refused row leaves nothing behind.
    std::vector<const ColumnModel*> outOfRow;
    for (const auto& c : t_.columns) {
        StoredCell& cell = cells[c.number];
        if (!c.isLongValue() || cell.null || !lv_[c.number]) continue;
        if (cell.bytes.size() <= kMaxInlineLongValue) {
            ACCESS_ASSIGN_OR_RETURN(cell.bytes, lv_[c.number]->store(cell.bytes, true));
        } else {
            outOfRow.push_back(&c);
        }
    }
    std::vector<uint8_t>& row = row_;
    if (!outOfRow.empty()) {
        std::vector<StoredCell> trial = cells;
        for (const ColumnModel* c : outOfRow) trial[c->number].bytes.assign(12, '\0');
        ACCESS_RETURN_IF_ERROR(encodeRowInto(t_, layout_, trial, row));
        for (const ColumnModel* c : outOfRow) {
            StoredCell& cell = cells[c->number];
            ACCESS_ASSIGN_OR_RETURN(cell.bytes, lv_[c->number]->store(cell.bytes, true));
        }
    }
    ACCESS_RETURN_IF_ERROR(encodeRowInto(t_, layout_, cells, row));
    uint32_t page = 0;
    uint8_t slot = 0;
    ACCESS_RETURN_IF_ERROR(placeRow(row, page, slot));
    for (size_t r = 0; r < t_.realIndexes.size(); ++r) {
        if (include[r]) ACCESS_RETURN_IF_ERROR(entries_.add(r, makeLeafEntry(keys[r], page, slot)));
        if (checkUnique[r]) ACCESS_RETURN_IF_ERROR(uniqueKeys_[r].insert(keys[r]));
    }
    t_.autoNumber = autoNumber;
    ++t_.rowCount;
    return Status::ok();
}

Status AppendSession::finish() {
    WriteDatabase& db = *db_;
    PageStore& store = db.store();
    if (!page_.empty()) ACCESS_RETURN_IF_ERROR(store.write(pageNumber_, page_));
    for (auto& w : lv_)
        if (w) ACCESS_RETURN_IF_ERROR(w->flush());
    for (auto& u : uniqueKeys_) u.clear();
    for (size_t r = 0; r < t_.realIndexes.size(); ++r) {
        RealIndexModel& ri = t_.realIndexes[r];
        ACCESS_ASSIGN_OR_RETURN(PageSet old, readMapPages(store, ri.usageMap));
        // The old tree is read while the new one is written, so the new one
        // takes fresh pages (only the root, written last, stays) and the old
        // pages are freed afterwards.
        IndexBuilder builder(store, t_.page, ri.rootPage, {}, db.allocator());
        IndexCursor existing;
        ACCESS_RETURN_IF_ERROR(existing.start(store, ri.rootPage));
        uint32_t distinct = 0;
        std::string previousKey;
        ACCESS_RETURN_IF_ERROR(entries_.merge(r, existing, [&](const std::string& e) {
            std::string_view key(e.data(), e.size() - 4);  // without the row pointer
            if (distinct == 0 || key != previousKey) {
                ++distinct;
                previousKey.assign(key);
            }
            return builder.add(e);
        }));
        ACCESS_ASSIGN_OR_RETURN(BuiltIndex built, builder.finish());
        std::vector<uint32_t> freed;
        for (uint32_t p : old)
            if (!built.pages.count(p) && p < store.pageCount()) freed.push_back(p);
        db.releasePages(freed);
        ACCESS_RETURN_IF_ERROR(writeMapPages(store, ri.usageMap, built.pages, db.allocator()));
        ri.uniqueCount = distinct;
    }
    discardSpill();  // done with before the commit, which needs the disk room
    ACCESS_RETURN_IF_ERROR(writeMapPages(store, t_.ownedMap, owned_, db.allocator()));
    for (const auto& m : t_.lvMaps) {
        if (m.column >= lv_.size() || !lv_[m.column] || lv_[m.column]->pages().empty()) continue;
        ACCESS_ASSIGN_OR_RETURN(PageSet pages, readMapPages(store, m.ownedMap));
        pages.insert(lv_[m.column]->pages().begin(), lv_[m.column]->pages().end());
        ACCESS_RETURN_IF_ERROR(writeMapPages(store, m.ownedMap, pages, db.allocator()));
    }
    std::vector<uint32_t> freed;
    ACCESS_RETURN_IF_ERROR(writeTableModel(store, t_, db.allocator(), freed));
    db.releasePages(freed);
    return db.commit();
}

Status AppendSession::close() {
    if (!db_) return Status::ok();
    Status s = db_->isOpen() ? finish() : connectionClosed();
    if (!s.isOk() && db_->isOpen() && db_->store().inChange()) s = db_->abandon(std::move(s));
    discardSpill();
    db_->setBusy(false);
    db_.reset();
    return s;
}

}  // namespace veltrano::access
