// MYSQL_RS row editing: staged changes turned into INSERT, UPDATE and DELETE
// statements on the one table the result was read from.
//
// Names in the statements are backtick-quoted and values are written with
// SqlLiteral, so blanks, reserved words, quotes, backslashes and zero bytes
// survive whatever the server's sql_mode. The statements run on a private
// result set of the connection, never on this one, so editing the shared
// result set of the Access-to-MySQL direction does not close it mid-edit.
#include <mysql.h>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_internal.h"
#include "mysql/mysql_rs.h"
#include "mysql/sql_text.h"

namespace veltrano {

namespace {

const ::MYSQL_FIELD* record(st_mysql_res* result, int32_t count, int32_t i) {
    if (!result || i < 0 || i >= count) return nullptr;
    return mysql_fetch_field_direct(result, static_cast<unsigned>(i));
}

bool holdsBytes(const ::MYSQL_FIELD* f) {
    return f && static_cast<int32_t>(f->charsetnr) == kMySqlBinaryCharset &&
           f->type != MYSQL_TYPE_DATE && f->type != MYSQL_TYPE_TIME && f->type != MYSQL_TYPE_DATETIME &&
           f->type != MYSQL_TYPE_TIMESTAMP && f->type != MYSQL_TYPE_YEAR &&
           f->type != MYSQL_TYPE_NEWDATE && !IS_NUM(f->type);
}

// The column as the server knows it (not its alias).
std::string columnIdentifier(const ::MYSQL_FIELD* f, const std::string& fallback) {
    if (f && f->org_name && *f->org_name) return sqlIdentifier(f->org_name);
    if (f && f->name && *f->name) return sqlIdentifier(f->name);
    return sqlIdentifier(fallback);
}

std::string literalFor(const ::MYSQL_FIELD* f, const FieldValue& value) {
    return MYSQL_RS::SqlLiteral(value, f ? static_cast<int32_t>(f->type) : kMySqlTypeString, holdsBytes(f));
}

}  // namespace

int32_t MYSQL_RS::EditMode() const {
    if (deleted_ && AbsolutePosition() > 0 && deleted_->Item(AbsolutePosition(), true)) return kEditDeleted;
    return editMode_;
}

void MYSQL_RS::SetEditMode(int32_t mode) {
    editMode_ = mode;
    if (mode == kEditNone) editRow_ = 0;
}

const FieldValue* MYSQL_RS::SavedEdit(const std::string& name) const {
    // Keyed by the row whose data is loaded, so another row's saved values
    // never show through while the cursor is elsewhere.
    if (!edits_ || loadedRow_ == 0) return nullptr;
    MYSQL_UPDATE_FIELDS* entry = edits_->Item(loadedRow_, true);
    if (!entry) return nullptr;
    MYSQL_UPDATE_FIELD* item = entry->Item(FieldValue(name));
    return item && item->Updated() ? &item->Value() : nullptr;
}

void MYSQL_RS::StageChange(const std::string& name, const FieldValue& value) {
    if (EditMode() == kEditNone) {
        SetEditMode(kEditInProgress);
        if (!edits_) edits_ = std::make_unique<MYSQL_UPDATE>();
        editRow_ = AbsolutePosition();
        edits_->Add(editRow_);
    }
    switch (EditMode()) {
        case kEditInProgress:
            if (MYSQL_UPDATE_FIELDS* entry = edits_->Item(editRow_, true)) entry->Add(name, value);
            break;
        case kEditAdd:
            if (newRows_ && newRows_->Count() > 0) newRows_->Item(newRows_->Count(), false)->Add(name, value);
            break;
        default: break;
    }
}

int32_t MYSQL_RS::AddNew() {
    if (state_ != 0 || EditMode() != kEditNone || TableCount() != 1) return -1;
    SetEditMode(kEditAdd);
    if (!newRows_) newRows_ = std::make_unique<MYSQL_UPDATE>();
    newRows_->Add(0);
    return 0;
}

int64_t MYSQL_RS::Update() {
    if (Eof() || BOF() || state_ == 1 || TableCount() != 1) return -1;
    int64_t n = -1;
    switch (editMode_) {
        case kEditInProgress:
            n = UpdateRow();
            if (n > 0) MarkUpdated();
            SetEditMode(kEditNone);
            break;
        case kEditAdd:
            n = InsertRow();
            if (n < 1 && newRows_) newRows_->Remove(newRows_->Count(), false);
            SetEditMode(kEditNone);
            break;
        default: break;
    }
    return n;
}

int64_t MYSQL_RS::Delete() {
    if (Eof() || BOF() || state_ == 1 || EditMode() != kEditNone || TableCount() != 1) return -1;
    int64_t n = DeleteRow();
    if (n > 0) {
        if (!deleted_) deleted_ = std::make_unique<MYSQL_UPDATE>();
        deleted_->Add(position_);
    }
    return n;
}

void MYSQL_RS::CancelUpdate() {
    if (Eof() || BOF() || state_ == 1) return;
    if (editMode_ == kEditInProgress) {
        if (edits_) edits_->Remove(editRow_, true);
        SetEditMode(kEditNone);
    } else if (editMode_ == kEditAdd) {
        if (newRows_) newRows_->Remove(newRows_->Count(), false);
        SetEditMode(kEditNone);
    }
}

void MYSQL_RS::FinishEdit() {
    if (editMode_ == kEditNone) return;
    MYSQL_CONNECTION* conn = connection();
    if (conn && conn->AutoUpdate())
        Update();
    else
        CancelUpdate();
    SetEditMode(kEditNone);
}

std::string MYSQL_RS::EditTable() {
    // The first column that comes from a table names it; the real table and
    // its database are used, so aliases and another current database work.
    for (int32_t i = 0; i < fieldCount_; ++i) {
        const ::MYSQL_FIELD* f = record(result_, fieldCount_, i);
        if (!f || !f->table || !*f->table) continue;
        std::string table = f->org_table && *f->org_table ? f->org_table : f->table;
        if (f->db && *f->db) return sqlIdentifier(f->db) + "." + sqlIdentifier(table);
        return sqlIdentifier(table);
    }
    return {};
}

int64_t MYSQL_RS::RunEditStatement(const std::string& sql) {
    MYSQL_CONNECTION* conn = connection();
    if (!conn) return 0;
    MYSQL_RS scratch;
    scratch.SetConnection(link_.lock());
    int64_t affected = 0;
    conn->RunStatement(scratch, sql, affected);
    return affected;
}

bool MYSQL_RS::InsertLists(std::string& columns, std::string& values) {
    if (!newRows_ || newRows_->Count() == 0) return false;
    MYSQL_UPDATE_FIELDS* row = newRows_->Item(newRows_->Count(), false);
    for (int32_t i = 1; i <= row->Count(); ++i) {
        MYSQL_UPDATE_FIELD* item = row->Item(FieldValue(i));
        const ::MYSQL_FIELD* f = record(result_, fieldCount_, ColumnOf(item->Name()));
        if (i > 1) {
            columns += ',';
            values += ',';
        }
        columns += columnIdentifier(f, item->Name());
        values += literalFor(f, item->Value());
    }
    return row->Count() > 0;
}

std::string MYSQL_RS::SetList() {
    std::string list;
    MYSQL_UPDATE_FIELDS* entry = edits_ ? edits_->Item(editRow_, true) : nullptr;
    if (!entry) return list;
    for (int32_t i = 1; i <= entry->Count(); ++i) {
        MYSQL_UPDATE_FIELD* item = entry->Item(FieldValue(i));
        if (item->Updated()) continue;
        const ::MYSQL_FIELD* f = record(result_, fieldCount_, ColumnOf(item->Name()));
        if (!list.empty()) list += ',';
        list += columnIdentifier(f, item->Name()) + "=" + literalFor(f, item->Value());
    }
    return list;
}

std::string MYSQL_RS::WhereClause() {
    std::string condition;
    for (int32_t i = 0; i < fieldCount_; ++i) {
        const ::MYSQL_FIELD* f = record(result_, fieldCount_, i);
        if (!f || !(f->flags & PRI_KEY_FLAG)) continue;
        FieldValue value = Fields(i).Value();
        if (!condition.empty()) condition += " AND ";
        condition += columnIdentifier(f, "") + (value.isNull() ? " IS " : "=") + literalFor(f, value);
    }
    return condition;
}

void MYSQL_RS::MarkUpdated() {
    MYSQL_UPDATE_FIELDS* entry = edits_ ? edits_->Item(editRow_, true) : nullptr;
    if (!entry) return;
    for (int32_t i = 1; i <= entry->Count(); ++i) entry->Item(FieldValue(i))->Updated(true);
}

int64_t MYSQL_RS::InsertRow() {
    std::string table = EditTable(), columns, values;
    if (table.empty() || !InsertLists(columns, values)) return 0;
    return RunEditStatement("INSERT INTO " + table + " (" + columns + ") VALUES(" + values + ")");
}

int64_t MYSQL_RS::UpdateRow() {
    std::string table = EditTable();
    if (table.empty()) return 0;
    std::string set = SetList(), condition = WhereClause();
    if (set.empty() || condition.empty()) return 0;
    return RunEditStatement("UPDATE " + table + " SET " + set + " WHERE " + condition);
}

int64_t MYSQL_RS::DeleteRow() {
    std::string table = EditTable();
    if (table.empty()) return 0;
    std::string condition = WhereClause();
    if (condition.empty()) return 0;
    return RunEditStatement("DELETE FROM " + table + " WHERE " + condition);
}

}  // namespace veltrano
