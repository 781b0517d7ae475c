// Rebuilding saved queries from MSysQueries; see saved_queries.h.
#include "access/read/saved_queries.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "access/read/database.h"
#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {

namespace {

namespace attr {
constexpr int kType = 1, kParameter = 2, kFlag = 3, kRemoteDb = 4, kTable = 5, kColumn = 6, kJoin = 7, kWhere = 8,
              kGroupBy = 9, kHaving = 10, kOrderBy = 11;
}

namespace select_flag {
constexpr int64_t kAllFields = 0x01, kDistinct = 0x02, kOwnerAccess = 0x04, kDistinctRow = 0x08, kTop = 0x10,
                  kPercent = 0x20;
}

// Crosstab roles of column and group-by rows.
constexpr int64_t kPivotRole = 0x01, kRowHeadingRole = 0x02;
// Append rows that are VALUES items rather than selected expressions.
constexpr int64_t kValuesItem = 0x8000;

bool plainWord(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!std::isalnum(c) && c != '_' && c < 0x80) return false;
    return true;
}

std::string bracketed(const std::string& name) { return plainWord(name) ? name : "[" + name + "]"; }

std::string withoutTrailingNul(std::string s) {
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

const char* parameterType(int64_t code) {
    switch (code) {
        case 1: return "Bit";
        case 2: return "Byte";
        case 3: return "Short";
        case 4: return "Long";
        case 5: return "Currency";
        case 6: return "IEEESingle";
        case 7: return "IEEEDouble";
        case 8: return "DateTime";
        case 9: return "Binary";
        case 10: return "Text";
        case 11: return "LongBinary";
        case 12: return "Memo";
        case 15: return "Guid";
        default: return "Value";
    }
}

QueryKind kindOfTypeRow(int64_t flag) {
    switch (flag) {
        case 1: return QueryKind::Select;
        case 2: return QueryKind::MakeTable;
        case 3: return QueryKind::Append;
        case 4: return QueryKind::Update;
        case 5: return QueryKind::Delete;
        case 6: return QueryKind::Crosstab;
        case 7: return QueryKind::DataDefinition;
        case 8: return QueryKind::PassThrough;
        case 9: return QueryKind::Union;
        default: return QueryKind::Other;
    }
}

QueryKind kindOfCatalogFlags(uint32_t flags, bool& known) {
    known = true;
    switch (flags & 0xF0) {
        case 0x10: return QueryKind::Crosstab;
        case 0x20: return QueryKind::Delete;
        case 0x30: return QueryKind::Update;
        case 0x40: return QueryKind::Append;
        case 0x50: return QueryKind::MakeTable;
        case 0x60: return QueryKind::DataDefinition;
        case 0x70: return QueryKind::PassThrough;
        case 0x80: return QueryKind::Union;
        case 0x00: known = false; return QueryKind::Select;
        default: return QueryKind::Other;
    }
}

// The FROM clause: each table row is a source; each join row joins the two
// sources holding its names (or adds a condition when one join already holds
// both). Sources no join touches stay in front, in table-row order.
class FromBuilder {
public:
    void addTable(const QueryRow& r) {
        Node n;
        if (r.name1.empty() && !r.expression.empty()) n.text = "(" + r.expression + ")";
        else n.text = bracketed(r.name1);
        std::string key = r.name2.empty() ? r.name1 : r.name2;
        if (!r.name2.empty()) n.text += " AS " + bracketed(r.name2);
        n.keys.push_back(key);
        top_.push_back(add(std::move(n)));
    }

    void addJoin(const QueryRow& r) {
        size_t a = topHolding(r.name1), b = topHolding(r.name2);
        if (a != kNone && a == b && nodes_[top_[a]].joinType != 0) {
            nodes_[top_[a]].conditions.push_back(r.expression);
            return;
        }
        size_t left = takeOrMake(r.name1, a, b);
        b = topHolding(r.name2);
        size_t right = takeOrMake(r.name2, b, kNone);
        Node j;
        j.joinType = static_cast<int>(r.flag);
        j.left = left;
        j.right = right;
        j.conditions.push_back(r.expression);
        j.keys = nodes_[left].keys;
        j.keys.insert(j.keys.end(), nodes_[right].keys.begin(), nodes_[right].keys.end());
        top_.push_back(add(std::move(j)));
    }

    std::string text() const {
        std::string out;
        for (size_t i = 0; i < top_.size(); ++i) {
            if (i > 0) out += ", ";
            out += print(top_[i], false);
        }
        return out;
    }

private:
    static constexpr size_t kNone = SIZE_MAX;
    struct Node {
        std::string text;  // a table
        int joinType = 0;  // a join: 1 inner, 2 left, 3 right
        size_t left = 0, right = 0;
        std::vector<std::string> conditions;
        std::vector<std::string> keys;
    };

    size_t add(Node n) {
        nodes_.push_back(std::move(n));
        return nodes_.size() - 1;
    }

    size_t topHolding(const std::string& key) const {
        for (size_t i = 0; i < top_.size(); ++i)
            for (const auto& k : nodes_[top_[i]].keys)
                if (namesEqual(k, key)) return i;
        return kNone;
    }

    // Removes the top-level source at `at` (or makes a table for `key` when
    // there is none) and returns its node.
    size_t takeOrMake(const std::string& key, size_t at, size_t /*other*/) {
        if (at == kNone) {
            Node n;
            n.text = bracketed(key);
            n.keys.push_back(key);
            return add(std::move(n));
        }
        size_t node = top_[at];
        top_.erase(top_.begin() + static_cast<std::ptrdiff_t>(at));
        return node;
    }

    std::string print(size_t id, bool nested) const {
        const Node& n = nodes_[id];
        if (n.joinType == 0) return n.text;
        const char* kind = n.joinType == 2 ? " LEFT JOIN " : n.joinType == 3 ? " RIGHT JOIN " : " INNER JOIN ";
        std::string on;
        if (n.conditions.size() == 1) {
            on = n.conditions[0];
        } else {
            for (size_t i = 0; i < n.conditions.size(); ++i) on += (i ? ") AND (" : "(") + n.conditions[i];
            on += ")";
        }
        std::string s = print(n.left, true) + kind + print(n.right, true) + " ON " + on;
        return nested ? "(" + s + ")" : s;
    }

    std::vector<Node> nodes_;
    std::vector<size_t> top_;
};

std::vector<const QueryRow*> rowsOf(const std::vector<QueryRow>& rows, int attribute) {
    std::vector<const QueryRow*> out;
    for (const auto& r : rows)
        if (r.attribute == attribute) out.push_back(&r);
    return out;
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + items[i];
    return out;
}

std::string outputItem(const QueryRow& r) {
    return r.name1.empty() ? r.expression : r.expression + " AS " + bracketed(r.name1);
}

}  // namespace

const char* queryKindName(QueryKind kind) {
    switch (kind) {
        case QueryKind::Select: return "select";
        case QueryKind::Crosstab: return "crosstab";
        case QueryKind::Delete: return "delete";
        case QueryKind::Update: return "update";
        case QueryKind::Append: return "append";
        case QueryKind::MakeTable: return "make-table";
        case QueryKind::DataDefinition: return "data-definition";
        case QueryKind::PassThrough: return "pass-through";
        case QueryKind::Union: return "union";
        case QueryKind::Other: break;
    }
    return "unknown";
}

std::string rebuildQuerySql(QueryKind kind, std::vector<QueryRow> rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const QueryRow& a, const QueryRow& b) {
        return a.attribute != b.attribute ? a.attribute < b.attribute : a.order < b.order;
    });
    auto type = rowsOf(rows, attr::kType);
    if (kind == QueryKind::DataDefinition || kind == QueryKind::PassThrough)
        return type.empty() ? std::string() : withoutTrailingNul(type[0]->expression);

    std::string sql;
    auto params = rowsOf(rows, attr::kParameter);
    if (!params.empty()) {
        std::vector<std::string> items;
        for (const auto* p : params) {
            std::string t = parameterType(p->flag);
            if (p->flag == 10 && p->extra > 0) t += "(" + std::to_string(p->extra) + ")";
            items.push_back(bracketed(p->name1) + " " + t);
        }
        sql = "PARAMETERS " + joined(items) + ";\r\n";
    }

    auto flagRows = rowsOf(rows, attr::kFlag);
    const int64_t flags = flagRows.empty() ? 0 : flagRows[0]->flag;
    const std::string topValue = flagRows.empty() ? std::string() : flagRows[0]->name1;

    std::vector<std::string> orderBy;
    for (const auto* r : rowsOf(rows, attr::kOrderBy))
        orderBy.push_back(r->expression + (namesEqual(r->name1, "D") ? " DESC" : ""));

    if (kind == QueryKind::Union) {
        std::vector<std::string> parts;
        for (const auto* r : rowsOf(rows, attr::kTable)) parts.push_back(withoutTrailingNul(r->expression));
        std::string op = (flags & select_flag::kDistinct) ? "\r\nUNION " : "\r\nUNION ALL ";
        for (size_t i = 0; i < parts.size(); ++i) sql += (i ? op : "") + parts[i];
        if (!orderBy.empty()) sql += "\r\nORDER BY " + joined(orderBy);
        return sql + ";";
    }

    // Access joins at most 32 tables; more join rows than that come from a
    // damaged file and would nest the rebuilt text without bound.
    if (rowsOf(rows, attr::kJoin).size() > 256) return "-- damaged query: it stores more joins than Access allows";
    FromBuilder from;
    for (const auto* r : rowsOf(rows, attr::kTable)) from.addTable(*r);
    for (const auto* r : rowsOf(rows, attr::kJoin)) from.addJoin(*r);
    std::string fromText = from.text();
    if (auto remote = rowsOf(rows, attr::kRemoteDb); !remote.empty()) {
        fromText += " IN '" + remote[0]->name1 + "'";
        if (!remote[0]->expression.empty()) fromText += " " + remote[0]->expression;
    }

    std::vector<std::string> items, rowHeadings, values, targets;
    std::string transform, pivot;
    for (const auto* r : rowsOf(rows, attr::kColumn)) {
        if (kind == QueryKind::Crosstab) {
            if (r->flag == 0) transform = outputItem(*r);
            else if (r->flag & kPivotRole) pivot = r->expression;
            else items.push_back(outputItem(*r));
            continue;
        }
        if (kind == QueryKind::Update) {
            items.push_back(r->name2 + " = " + r->expression);
            continue;
        }
        if (kind == QueryKind::Append && (r->flag & kValuesItem)) {
            values.push_back(r->expression);
            if (!r->name2.empty()) targets.push_back(r->name2);
            continue;
        }
        items.push_back(outputItem(*r));
        if (kind == QueryKind::Append && !r->name2.empty()) targets.push_back(r->name2);
    }
    if (flags & select_flag::kAllFields) items.push_back("*");

    std::string tail;
    if (auto w = rowsOf(rows, attr::kWhere); !w.empty()) tail += "\r\nWHERE " + w[0]->expression;
    std::vector<std::string> groups;
    for (const auto* r : rowsOf(rows, attr::kGroupBy))
        if (kind != QueryKind::Crosstab || (r->flag & kRowHeadingRole)) groups.push_back(r->expression);
    if (!groups.empty()) tail += "\r\nGROUP BY " + joined(groups);
    if (auto h = rowsOf(rows, attr::kHaving); !h.empty()) tail += "\r\nHAVING " + h[0]->expression;
    if (!orderBy.empty()) tail += "\r\nORDER BY " + joined(orderBy);

    std::string head = "SELECT ";
    if (flags & select_flag::kDistinct) head += "DISTINCT ";
    else if (flags & select_flag::kDistinctRow) head += "DISTINCTROW ";
    if (flags & select_flag::kTop) head += "TOP " + topValue + ((flags & select_flag::kPercent) ? " PERCENT " : " ");

    const std::string target = type.empty() ? std::string() : bracketed(type[0]->name1);
    switch (kind) {
        case QueryKind::Delete:
            sql += "DELETE " + joined(items) + "\r\nFROM " + fromText + tail;
            break;
        case QueryKind::Update:
            sql += "UPDATE " + fromText + " SET " + joined(items) + tail;
            break;
        case QueryKind::Append:
            sql += "INSERT INTO " + target;
            if (!targets.empty()) sql += " (" + joined(targets) + ")";
            if (!values.empty()) sql += "\r\nVALUES (" + joined(values) + ")";
            else sql += "\r\n" + head + joined(items) + "\r\nFROM " + fromText + tail;
            break;
        case QueryKind::MakeTable:
            sql += head + joined(items) + " INTO " + target + "\r\nFROM " + fromText + tail;
            break;
        case QueryKind::Crosstab:
            sql += "TRANSFORM " + transform + "\r\n" + head + joined(items) + "\r\nFROM " + fromText + tail +
                   "\r\nPIVOT " + pivot;
            break;
        default:
            sql += head + joined(items) + "\r\nFROM " + fromText + tail;
            break;
    }
    if (flags & select_flag::kOwnerAccess) sql += "\r\nWITH OWNERACCESS OPTION";
    return sql + ";";
}

Result<std::vector<SavedQuery>> readSavedQueries(Database& db) {
    std::vector<SavedQuery> out;
    std::map<int32_t, size_t> byId;
    std::vector<uint32_t> catalogFlags;
    for (const auto& e : db.catalog()) {
        if (e.type != catalog_const::kTypeQuery || e.name.empty() || e.name[0] == '~') continue;
        SavedQuery q;
        q.name = e.name;
        q.hidden = (e.flags & 0x08) != 0;
        byId.emplace(e.id, out.size());
        out.push_back(std::move(q));
        catalogFlags.push_back(e.flags);
    }
    if (out.empty()) return out;

    auto cursor = db.openSystemCursor("MSysQueries");
    if (!cursor.isOk()) return cursor.status();
    const TableDef& def = (*cursor)->definition();
    const char* names[] = {"ObjectId", "Attribute", "Order", "Name1", "Name2", "Expression", "Flag", "LvExtra"};
    size_t at[8];
    for (size_t i = 0; i < 8; ++i) {
        const ColumnDef* c = def.columnByName(names[i]);
        if (!c && i < 7) return Status::corruption(std::string("MSysQueries has no ") + names[i] + " column");
        at[i] = c ? static_cast<size_t>(c - def.columns.data()) : SIZE_MAX;
    }
    std::vector<std::vector<QueryRow>> rowsOfQuery(out.size());
    TableCursor& rows = **cursor;
    while (rows.next()) {
        auto it = byId.find(static_cast<int32_t>(rows.value(at[0]).integer));
        if (it == byId.end()) continue;
        QueryRow r;
        r.attribute = static_cast<int>(rows.value(at[1]).integer);
        r.order = rows.value(at[2]).bytes;
        r.name1 = rows.value(at[3]).bytes;
        r.name2 = rows.value(at[4]).bytes;
        r.expression = rows.value(at[5]).bytes;
        r.hasFlag = !rows.value(at[6]).isNull();
        r.flag = rows.value(at[6]).integer;
        if (at[7] != SIZE_MAX) r.extra = rows.value(at[7]).integer;
        rowsOfQuery[it->second].push_back(std::move(r));
    }
    if (!rows.status().isOk()) return rows.status();

    for (size_t i = 0; i < out.size(); ++i) {
        bool known = false;
        out[i].kind = kindOfCatalogFlags(catalogFlags[i], known);
        if (!known)
            for (const auto& r : rowsOfQuery[i])
                if (r.attribute == attr::kType) out[i].kind = kindOfTypeRow(r.flag);
        for (const auto& r : rowsOfQuery[i])
            if (r.attribute == attr::kParameter) out[i].hasParameters = true;
        out[i].sql = rebuildQuerySql(out[i].kind, std::move(rowsOfQuery[i]));
    }
    return out;
}

}  // namespace veltrano::access
