// MYSQL_RS: the whole result of one statement in client memory, with a
// cursor on a current row, plus staged row editing.
//
// Result sets are made by MYSQL_CONNECTION::Execute and refilled by Requery.
// Positions: 1..RecordCount on a row, 0 before the first, RecordCount + 1
// after the last. Every operation on a closed result set does nothing and
// returns its neutral value (0, true for BOF/Eof, -1, ""); failures of the
// statements are left in the connection's Error.
//
// The link back to the connection is non-owning: once the connection is
// gone, the rows already read stay readable and operations that need the
// server (Requery, Update, Delete) do nothing.
//
// Row editing works on a result read from exactly one table: assigning
// Fields(x).Value stages a change, AddNew starts a new row, Update writes
// (INSERT or UPDATE keyed by the primary-key columns), Delete removes the
// current row on the server and marks it, CancelUpdate drops. The result is
// never re-read: saved edits show through Value, inserted rows appear only
// after Requery, deleted rows stay and read EditMode 3.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/field_value.h"
#include "mysql/mysql_field.h"
#include "mysql/mysql_update.h"

struct st_mysql;
struct st_mysql_res;

namespace veltrano {

class MYSQL_CONNECTION;
struct ConnectionLink;

// FindMethod of the finds.
inline constexpr int32_t kFindKeepPosition = 1;  // report the row, leave the cursor where it was
inline constexpr int32_t kFindFinishEdit = 2;    // finish a pending edit first, move to the row

// EditMode values.
inline constexpr int32_t kEditNone = 0;
inline constexpr int32_t kEditInProgress = 1;
inline constexpr int32_t kEditAdd = 2;
inline constexpr int32_t kEditDeleted = 3;

class MYSQL_RS {
public:
    MYSQL_RS();
    ~MYSQL_RS();
    MYSQL_RS(const MYSQL_RS&) = delete;
    MYSQL_RS& operator=(const MYSQL_RS&) = delete;

    int32_t State() const { return state_; }  // 0 open, 1 closed
    int64_t AffectedRecords() const { return affected_; }
    const std::string& QueryString() const { return queryString_; }
    int64_t RecordCount() const { return recordCount_; }
    int32_t FieldCount() const { return fieldCount_; }

    // The field view bound to column vIndexKey (a 0-based number, text that
    // reads as a number, or a column name in any letter case; the first of
    // duplicate names wins) of the current row.
    MYSQL_FIELD& Fields(const FieldValue& vIndexKey);
    MYSQL_FIELD& Fields(int32_t index);

    bool BOF() const;
    // EOF is a macro of the C library, hence this spelling.
    bool Eof() const;

    // Position 1..RecordCount, or -1 no rows / closed, -3 at BOF, -2 at EOF.
    int64_t AbsolutePosition() const;
    void AbsolutePosition(int64_t lPosition);

    int32_t TableCount();  // distinct source tables of the columns (0 without a current row)
    std::string Table();   // those names joined by ","

    int32_t EditMode() const;  // kEditNone .. kEditDeleted

    void MoveFirst();
    void MoveLast();
    void MovePrevious();
    void MoveNext();
    void CloseRecordset();

    // Row number found, or -1. vField is a column number or name.
    int64_t FindFirst(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod);
    int64_t FindLast(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod);
    int64_t FindNext(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod);
    int64_t FindPrevious(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod);

    // "<table border=1><tr><td>v</td>...</tr>\r\n...</table>\r\n"; values are
    // not HTML-escaped; NULL and blank values become &nbsp;. "" when no rows.
    std::string RsToHtmlTable();

    int32_t AddNew();     // 0 done, -1 refused
    int64_t Update();     // affected rows, -1 refused
    int64_t Delete();     // affected rows, -1 refused
    void CancelUpdate();

    // Runs QueryString again into this result set.
    void Requery();

    // A SQL literal for a value written into a column of the given type code:
    // NULL for Null; for date (10), time (11) and date-time (12) columns the
    // value in the column's pattern, or its zero value when it does not read
    // as one; otherwise a quoted string literal that reads the same whatever
    // the server's sql_mode (see mysql/sql_text.h). binary: the column holds
    // bytes, not text.
    static std::string SqlLiteral(const FieldValue& value, int32_t typeCode, bool binary = false);

    // The staged lists (null until first needed); for inspection.
    MYSQL_UPDATE* StagedNewRows() { return newRows_.get(); }
    MYSQL_UPDATE* StagedEdits() { return edits_.get(); }
    MYSQL_UPDATE* DeletedRows() { return deleted_.get(); }

private:
    friend class MYSQL_CONNECTION;
    friend class MYSQL_FIELD;

    void SetConnection(const std::shared_ptr<ConnectionLink>& link);
    MYSQL_CONNECTION* connection() const;
    bool RunQuery(std::string_view statement, st_mysql* handle);
    void LoadRow(bool skipFinishing);
    void FreeResult();
    void SetPosition(int64_t position, bool skipFinishing);
    void SetEditMode(int32_t mode);
    void FinishEdit();
    int64_t InsertRow();
    int64_t UpdateRow();
    int64_t DeleteRow();
    int64_t RunEditStatement(const std::string& sql);
    bool InsertLists(std::string& columns, std::string& values);
    std::string SetList();
    std::string WhereClause();
    void MarkUpdated();
    std::string EditTable();
    int32_t AcceptsColumn(const FieldValue& vField);  // column number, or -1
    int64_t Find(const FieldValue& vField, const FieldValue& vData, int32_t FindMethod,
                 int64_t from, int64_t to);
    const FieldValue* SavedEdit(const std::string& name) const;  // overlay of Value
    void StageChange(const std::string& name, const FieldValue& value);
    int32_t ColumnOf(const std::string& name);  // by name, any case; -1 when none

    std::weak_ptr<ConnectionLink> link_;
    std::unique_ptr<MYSQL_FIELD> field_;
    int64_t position_ = 0;
    int64_t recordCount_ = 0;
    int32_t fieldCount_ = 0;
    int64_t affected_ = 0;
    std::string queryString_;
    int32_t state_ = 1;
    st_mysql_res* result_ = nullptr;
    char** row_ = nullptr;
    unsigned long* lengths_ = nullptr;
    std::unique_ptr<MYSQL_UPDATE> newRows_;
    std::unique_ptr<MYSQL_UPDATE> edits_;
    std::unique_ptr<MYSQL_UPDATE> deleted_;
    int64_t loadedRow_ = 0;  // the position whose data row_ holds; 0 for none
    int64_t editRow_ = 0;
    int32_t editMode_ = 0;
};

}  // namespace veltrano
