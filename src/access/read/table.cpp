// Table scans; see table.h.
#include "access/read/table.h"

#include <unordered_set>

#include "access/format/ace_value.h"
#include "access/format/data_page.h"
#include "access/format/limits.h"
#include "access/format/long_value.h"
#include "access/format/text.h"
#include "access/format/usage_map.h"
#include "access/read/complex.h"

namespace veltrano::access {

namespace {


std::string decodeText(Bytes stored, const ColumnDef& c, const Format& f, uint16_t dbCodePage) {
    if (f.isJet4()) return decodeJet4Text(stored);
    return decodeCodePage(stored, c.codePage != 0 ? c.codePage : dbCodePage);
}

Status inColumn(const ColumnDef& c, const Status& s) {
    return Status::make(s.category(), "column '" + c.name + "': " + s.description(), s.page());
}

// A calculated column's stored result; `c.type` is already its result type.
Result<Value> decodeCalculated(Pager& pager, const ColumnDef& c, const Cell& cell, uint16_t dbCodePage) {
    if (cell.isNull) return c.type == ColumnType::Boolean ? Value::ofInteger(ValueKind::Boolean, 0) : Value::null();
    std::string longValue;
    Bytes wrapper = cell.data;
    if (c.type == ColumnType::Memo) {  // the long value holds the wrapper
        auto raw = readLongValue(pager, cell.data);
        if (!raw.isOk()) return inColumn(c, raw.status());
        longValue = std::move(*raw);
        wrapper = Bytes(reinterpret_cast<const uint8_t*>(longValue.data()), longValue.size());
    }
    auto payload = calculatedPayload(wrapper);
    if (!payload.isOk()) return inColumn(c, payload.status());
    Bytes p = *payload;
    switch (c.type) {
        case ColumnType::Boolean: return Value::ofInteger(ValueKind::Boolean, !p.empty() && p[0] != 0);
        case ColumnType::Text:
        case ColumnType::Memo: return Value::ofBytes(ValueKind::Text, decodeText(p, c, pager.format(), dbCodePage));
        default: break;
    }
    if (p.empty()) return Value::null();  // Access's "no result"
    auto v = c.type == ColumnType::Numeric ? decodeCalculatedDecimal(p) : decodeFixedValue(c.type, p, c.scale);
    if (!v.isOk()) {
        if (v.status().category() == Category::Internal)  // not a fixed-size type
            return Value::ofBytes(ValueKind::Binary, std::string(p.begin(), p.end()));
        return inColumn(c, v.status());
    }
    return v;
}

// A text column that is not calculated: its cell holds the stored text.
bool isPlainText(const ColumnDef& c) { return c.type == ColumnType::Text && !c.calculated; }

// Null, Yes/No and the plain number types, decoded in place: they hold no
// text, and every row of most tables has several. False for anything else
// (left to decodeCell, which also names what is wrong).
bool decodeInPlace(const ColumnDef& c, const Cell& cell, Value& out) {
    if (c.calculated) return false;
    if (c.type != ColumnType::Boolean && !cell.isNull) return decodePlainNumber(c.type, cell.data, out);
    out.kind = c.type == ColumnType::Boolean ? ValueKind::Boolean : ValueKind::Null;
    out.integer = c.type == ColumnType::Boolean && cell.boolValue ? 1 : 0;
    out.real = 0;
    out.bytes.clear();
    out.scale = 0;
    return true;
}

}  // namespace

Result<Value> decodeCell(Pager& pager, const ColumnDef& c, const Cell& cell, uint16_t dbCodePage) {
    if (c.calculated) return decodeCalculated(pager, c, cell, dbCodePage);
    if (c.type == ColumnType::Boolean) return Value::ofInteger(ValueKind::Boolean, cell.boolValue ? 1 : 0);
    if (cell.isNull) return Value::null();
    const Format& f = pager.format();
    switch (c.type) {
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::Guid:
        case ColumnType::Numeric:
        case ColumnType::BigInt:
        case ColumnType::ExtDateTime: {
            auto v = decodeFixedValue(c.type, cell.data, c.scale);
            if (!v.isOk())
                return Status::corruption("column '" + c.name + "': " + v.status().description());
            return v;
        }
        case ColumnType::Complex: {  // the row's id into the column's values
            auto v = decodeFixedValue(ColumnType::Long, cell.data, 0);
            if (!v.isOk()) return inColumn(c, v.status());
            return v;
        }
        case ColumnType::Text:
            return Value::ofBytes(ValueKind::Text, decodeText(cell.data, c, f, dbCodePage));
        case ColumnType::Binary:
        case ColumnType::Unknown0D:
        case ColumnType::Unknown11:
            return Value::ofBytes(ValueKind::Binary, std::string(cell.data.begin(), cell.data.end()));
        case ColumnType::Memo:
        case ColumnType::Ole: {
            auto raw = readLongValue(pager, cell.data);
            if (!raw.isOk())
                return Status::make(raw.status().category(),
                                    "column '" + c.name + "': " + raw.status().description(), raw.status().page());
            if (c.type == ColumnType::Ole) return Value::ofBytes(ValueKind::Binary, std::move(*raw));
            Bytes b(reinterpret_cast<const uint8_t*>(raw->data()), raw->size());
            return Value::ofBytes(ValueKind::Text, decodeText(b, c, f, dbCodePage));
        }
        default:
            return Status::notSupported("column '" + c.name + "' has a data type this engine does not read (code " +
                                        std::to_string(static_cast<int>(c.type)) + ")");
    }
}

TableCursor::TableCursor(Pager& pager, std::shared_ptr<const TableDef> def, bool decodeValues)
    : pager_(pager), def_(std::move(def)), decode_(decodeValues) {}

bool TableCursor::fail(Status s) {
    status_ = std::move(s);
    current_.reset();
    return false;
}

void TableCursor::rewind() {
    status_ = Status();
    started_ = false;
    pageIndex_ = 0;
    current_.reset();
    nextRow_ = 0;
}

bool TableCursor::loadRow(Bytes image) {
    if (!decode_) return true;
    Status s = crackRow(image, *def_, pager_.format(), cells_);
    if (!s.isOk()) return fail(Status::corruption(s.description() + " in table row", page_));
    const size_t columnCount = def_->columns.size();
    values_.resize(columnCount);
    // Held in locals: a write through a Value could alias the vectors, so
    // they would be loaded again for every column.
    const ColumnDef* columns = def_->columns.data();
    const Cell* cells = cells_.data();
    Value* values = values_.data();
    for (size_t i = 0; i < columnCount; ++i) {
        const ColumnDef& c = columns[i];
        if (decodeInPlace(c, cells[i], values[i])) continue;
        if (keepTexts_ && isPlainText(c)) continue;
        if (isPlainText(c) && !cells[i].isNull && pager_.format().isJet4()) {
            // Into the value's own buffer, kept from row to row.
            Value& v = values[i];
            v.kind = ValueKind::Text;
            v.integer = 0;
            v.real = 0;
            v.scale = 0;
            decodeJet4TextInto(cells[i].data, v.bytes);
            continue;
        }
        auto v = decodeCell(pager_, c, cells[i], pager_.header().codePage);
        if (!v.isOk()) {
            Status e = v.status();
            return fail(Status::make(e.category(), e.description(), e.page() >= 0 ? e.page() : page_));
        }
        values_[i] = std::move(*v);
        if (i < complex_.size() && complex_[i])
            values_[i] = values_[i].isNull() ? Value::ofBytes(ValueKind::Text, "")
                                             : Value::ofBytes(ValueKind::Text, complex_[i]->cellText(static_cast<int32_t>(values_[i].integer)));
    }
    return true;
}

bool TableCursor::isTextStored(size_t i) const { return keepTexts_ && isPlainText(def_->columns[i]); }

void TableCursor::showComplex(size_t i, std::shared_ptr<const ComplexValues> values) {
    if (complex_.size() <= i) complex_.resize(i + 1);
    complex_[i] = std::move(values);
}

Result<std::vector<uint32_t>> TableCursor::dataPages() { return readUsageMap(pager_, def_->ownedMap); }

void TableCursor::limitToPages(std::vector<uint32_t> pages) {
    rewind();
    started_ = true;
    pages_ = std::move(pages);
    pager_.readAhead(pages_);
}

bool TableCursor::next() {
    if (!status_.isOk()) return false;
    if (!started_) {
        started_ = true;
        auto pages = readUsageMap(pager_, def_->ownedMap);
        if (!pages.isOk()) return fail(pages.status());
        pages_ = std::move(*pages);
        pageIndex_ = 0;
        current_.reset();
    }
    const Format& f = pager_.format();
    for (;;) {
        if (!current_) {
            // Next data page owned by this table.
            while (pageIndex_ < pages_.size()) {
                uint32_t p = pages_[pageIndex_++];
                auto h = pager_.page(p);
                if (!h.isOk()) return fail(h.status());
                ByteReader r(**h);
                if (r.u8(0) == page_type::kData && r.u32(4) == def_->firstPage) {
                    current_ = *h;
                    page_ = p;
                    nextRow_ = 0;
                    break;
                }
            }
            if (!current_) return false;  // end of table
        }
        Bytes pageBytes(*current_);
        unsigned count = rowSlotCount(pageBytes, f);
        if (nextRow_ >= count) {
            current_.reset();
            continue;
        }
        row_ = nextRow_++;
        auto slot = rowSlot(pageBytes, row_, f, page_);
        if (!slot.isOk()) return fail(slot.status());
        if (slot->deleted) continue;
        if (!slot->overflow) {
            if (!loadRow(pageBytes.subspan(slot->start, slot->end - slot->start))) return false;
            return true;
        }
        // Follow the overflow pointer(s) to the row's real image.
        PageHandle hold = current_;
        RowSlot s = *slot;
        uint32_t atPage = page_;
        for (int hop = 0;; ++hop) {
            if (hop >= limits::kMaxOverflowHops) return fail(Status::corruption("overflow rows form a loop", atPage));
            ByteReader r(Bytes(*hold).subspan(s.start, s.end - s.start));
            if (s.end - s.start < 4) return fail(Status::corruption("overflow row pointer cut short", atPage));
            uint8_t targetRow = r.u8(0);
            uint32_t targetPage = r.u24(1);
            auto h = pager_.page(targetPage);
            if (!h.isOk()) return fail(h.status());
            if ((**h)[0] != page_type::kData)
                return fail(Status::corruption("overflow row points to a page that is not a data page", targetPage));
            auto t = rowSlot(**h, targetRow, f, targetPage);
            if (!t.isOk()) return fail(t.status());
            hold = *h;
            s = *t;
            atPage = targetPage;
            if (!s.overflow) break;
        }
        if (!loadRow(Bytes(*hold).subspan(s.start, s.end - s.start))) return false;
        return true;
    }
}

}  // namespace veltrano::access
