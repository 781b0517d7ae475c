// Streaming scan of a table's rows.
//
// The table's pages come from its owned-pages usage map (TDEF); only data
// pages whose owner field names this table's TDEF are read, one at a time,
// in page order, rows in slot order. Deleted slots are skipped; an overflow
// slot holds [row byte][3-byte page] of the row's real place, followed
// (possibly more than once) to an image whose own slot is marked deleted.
// Nothing but the current page and row is held, so a scan never keeps the
// table in memory.
//
// Use: while (cursor.next()) { ... cursor.value(i) ... } then check status().
#pragma once

#include <memory>
#include <vector>

#include "access/storage/pager.h"
#include "access/format/row.h"
#include "access/base/status.h"
#include "access/format/tdef.h"
#include "access/format/value.h"

namespace veltrano::access {

struct ComplexValues;  // complex.h

// Decodes one column's cell (text to UTF-8, long values fetched).
Result<Value> decodeCell(Pager& pager, const ColumnDef& column, const Cell& cell, uint16_t dbCodePage);

class TableCursor {
public:
    // `decodeValues` false: rows are only counted (no cells decoded).
    TableCursor(Pager& pager, std::shared_ptr<const TableDef> def, bool decodeValues = true);

    // Moves to the next live row. False at the end or on failure (see status()).
    bool next();
    // Back before the first row.
    void rewind();
    const Status& status() const { return status_; }

    const TableDef& definition() const { return *def_; }
    // The current row's value of def().columns[i]. REQUIRES: next() returned true.
    const Value& value(size_t i) const { return values_[i]; }
    const std::vector<Value>& values() const { return values_; }
    // Shows column i (a complex column) as the text of its values instead
    // of the id it stores.
    void showComplex(size_t i, std::shared_ptr<const ComplexValues> values);

    // From here on Jet4 text columns (not calculated ones) are left as
    // stored: value(i) of one is not filled, cell(i) holds its stored bytes
    // (valid until next()). For callers that turn texts straight into
    // their own output; see writeJet4TextUtf8.
    void keepTextsStored() { keepTexts_ = pager_.format().isJet4(); }
    bool isTextStored(size_t i) const;
    // The current row's stored cell of def().columns[i]. REQUIRES: next() returned true.
    const Cell& cell(size_t i) const { return cells_[i]; }

    // The data pages a scan visits, in the order it visits them.
    Result<std::vector<uint32_t>> dataPages();
    // From here on scans only `pages` (some of dataPages(), in order): one
    // table read by several cursors, each over its own share of the pages.
    // The first of them are read ahead.
    void limitToPages(std::vector<uint32_t> pages);

    // Position of the current row.
    uint32_t page() const { return page_; }
    unsigned row() const { return row_; }

private:
    bool fail(Status s);
    bool loadRow(Bytes image);

    Pager& pager_;
    std::shared_ptr<const TableDef> def_;
    bool decode_;
    bool keepTexts_ = false;
    bool started_ = false;
    Status status_;
    std::vector<uint32_t> pages_;
    size_t pageIndex_ = 0;
    PageHandle current_;
    uint32_t page_ = 0;
    unsigned row_ = 0;
    unsigned nextRow_ = 0;
    std::vector<Cell> cells_;
    std::vector<Value> values_;
    std::vector<std::shared_ptr<const ComplexValues>> complex_;  // by column, for complex columns
};

}  // namespace veltrano::access
