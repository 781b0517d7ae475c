// Schema rowsets (tables, provider types, columns, primary keys), their
// filters, and table catalogs.
#include <cctype>

#include "access/read/database.h"
#include "access/provider/provider_internal.h"
#include "common/names.h"

namespace veltrano::access {
namespace provider_detail {

namespace {

// A small in-memory rowset with `field = 'text'` filters.
class ListRowset final : public Rowset {
public:
    explicit ListRowset(std::vector<std::string> names) : names_(std::move(names)) {}
    void add(std::vector<Value> row) { rows_.push_back(std::move(row)); }
    void finish() { applyFilter({}); }

    bool eof() const override { return pos_ >= visible_.size(); }
    Status moveFirst() override {
        pos_ = 0;
        return {};
    }
    Status moveNext() override {
        if (eof()) return Status::invalidArgument("Either BOF or EOF is True, or the current record has been deleted.");
        ++pos_;
        return {};
    }
    int fieldCount() const override { return static_cast<int>(names_.size()); }
    const std::string& fieldName(int i) const override {
        static const std::string kNone;
        return i >= 0 && i < fieldCount() ? names_[static_cast<size_t>(i)] : kNone;
    }
    Result<FieldValue> field(int i) const override {
        ACCESS_ASSIGN_OR_RETURN(Value v, value(i));
        return toFieldValue(v);
    }
    Result<Value> value(int i) const override {
        if (i < 0 || i >= fieldCount()) return Status::notFound("Item cannot be found in the collection.");
        if (eof()) return Status::invalidArgument("Either BOF or EOF is True, or the current record has been deleted.");
        return rows_[visible_[pos_]][static_cast<size_t>(i)];
    }
    Status setFilter(std::string_view filter) override;
    long long recordCount() const override { return static_cast<long long>(visible_.size()); }

private:
    struct Term {
        int field;
        Value wanted;
    };
    void applyFilter(const std::vector<Term>& terms);

    std::vector<std::string> names_;
    std::vector<std::vector<Value>> rows_;
    std::vector<size_t> visible_;
    size_t pos_ = 0;
};

bool matches(const Value& have, const Value& want) {
    if (want.kind == ValueKind::Text) {
        std::string h = have.kind == ValueKind::Text ? have.bytes : canonicalText(have);
        return !have.isNull() && namesEqual(h, want.bytes);
    }
    if (have.isNull()) return false;
    return canonicalText(have) == want.bytes;  // numbers as digits
}

Status ListRowset::setFilter(std::string_view filter) {
    std::vector<Term> terms;
    std::string f(filter);
    size_t i = 0;
    auto skip = [&] {
        while (i < f.size() && std::isspace(static_cast<unsigned char>(f[i]))) ++i;
    };
    auto bad = [&] {
        return Status::invalidArgument("Arguments are of the wrong type, are out of acceptable range, "
                                       "or are in conflict with one another (filter '" + f + "').");
    };
    skip();
    while (i < f.size()) {
        size_t start = i;
        while (i < f.size() && (std::isalnum(static_cast<unsigned char>(f[i])) || f[i] == '_')) ++i;
        std::string name = f.substr(start, i - start);
        if (name.empty()) return bad();
        int index = fieldIndex(name);
        if (index < 0) return bad();
        skip();
        if (i >= f.size() || f[i] != '=') return bad();
        ++i;
        skip();
        Value want;
        if (i < f.size() && (f[i] == '\'' || f[i] == '"')) {
            char q = f[i++];
            std::string text;
            for (;;) {
                if (i >= f.size()) return bad();
                if (f[i] == q) {
                    if (i + 1 < f.size() && f[i + 1] == q) {
                        text += q;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += f[i++];
            }
            want = Value::ofBytes(ValueKind::Text, text);
        } else {
            size_t s = i;
            while (i < f.size() && (std::isdigit(static_cast<unsigned char>(f[i])) || f[i] == '-' || f[i] == '.')) ++i;
            if (s == i) return bad();
            want = Value::ofBytes(ValueKind::Decimal, f.substr(s, i - s));
        }
        terms.push_back({index, want});
        skip();
        if (i < f.size()) {
            if (!namesEqual(f.substr(i, 3), "and")) return bad();
            i += 3;
            skip();
        }
    }
    applyFilter(terms);
    return {};
}

void ListRowset::applyFilter(const std::vector<Term>& terms) {
    visible_.clear();
    for (size_t r = 0; r < rows_.size(); ++r) {
        bool ok = true;
        for (const auto& t : terms) ok = ok && matches(rows_[r][static_cast<size_t>(t.field)], t.wanted);
        if (ok) visible_.push_back(r);
    }
    pos_ = 0;
}

Value text(std::string s) { return Value::ofBytes(ValueKind::Text, std::move(s)); }
Value number(int64_t n) { return Value::ofInteger(ValueKind::Long, n); }
Value flag(bool b) { return Value::ofInteger(ValueKind::Boolean, b ? 1 : 0); }

const char* tableType(const CatalogEntry& e) {
    switch (e.kind()) {
        case catalog_const::kTypeTable: return e.isSystem() ? "SYSTEM TABLE" : "TABLE";
        case catalog_const::kTypeLinkedJet: return "LINK";
        case catalog_const::kTypeLinkedOdbc: return "PASS-THROUGH";
        case catalog_const::kTypeQuery: return "VIEW";
        default: return nullptr;
    }
}

// Precision reported for numeric types, as the provider gives it.
std::optional<int> numericPrecision(const ColumnDef& c) {
    switch (c.type) {
        case ColumnType::Byte: return 3;
        case ColumnType::Integer: return 5;
        case ColumnType::Long: return 10;
        case ColumnType::Single: return 7;
        case ColumnType::Double: return 15;
        case ColumnType::Currency: return 19;
        case ColumnType::BigInt: return 19;
        // A calculated Decimal keeps a scale per value (up to 28 of its 28
        // digits), so it is reported wide enough to hold each one exactly.
        case ColumnType::Numeric: return c.calculated ? 56 : c.precision;
        default: return std::nullopt;
    }
}

int numericScale(const ColumnDef& c) { return c.calculated ? 28 : c.scale; }

std::optional<long> characterLength(const ColumnDef& c, const Format& f) {
    switch (c.type) {
        case ColumnType::Text: return f.isJet4() ? c.length / 2 : c.length;
        case ColumnType::Binary: return c.length;
        case ColumnType::ExtDateTime: return 27;  // read as "YYYY-MM-DD HH:MM:SS.fffffff"
        case ColumnType::Memo:
        case ColumnType::Complex:  // read as the text of its values
        case ColumnType::Ole: return 0;  // "unlimited": callers map 0 to TEXT / BLOB
        default: return std::nullopt;
    }
}

bool isNullable(const ColumnDef& c) {
    return !c.required && c.type != ColumnType::Boolean && !c.isAutoLong();
}

// Names of the primary key's columns, in key order.
std::vector<std::string> primaryKeyColumns(const TableDef& def) {
    std::vector<std::string> out;
    for (const auto& li : def.logicalIndexes) {
        if (!li.isPrimaryKey() || li.realIndex >= def.realIndexes.size()) continue;
        for (const auto& ref : def.realIndexes[li.realIndex].columns)
            if (const ColumnDef* c = def.columnByNumber(ref.column)) out.push_back(c->name);
        break;
    }
    return out;
}

}  // namespace

int oledbType(const ColumnDef& c) {
    switch (c.type) {
        case ColumnType::Boolean: return oledb::kBoolean;
        case ColumnType::Byte: return oledb::kUnsignedTinyInt;
        case ColumnType::Integer: return oledb::kSmallInt;
        case ColumnType::Long: return oledb::kInteger;
        case ColumnType::Currency: return oledb::kCurrency;
        case ColumnType::Single: return oledb::kSingle;
        case ColumnType::Double: return oledb::kDouble;
        case ColumnType::DateTime: return oledb::kDate;
        case ColumnType::Text:
        case ColumnType::Memo:
        case ColumnType::Complex:
        case ColumnType::ExtDateTime: return oledb::kWChar;
        case ColumnType::BigInt: return oledb::kBigInt;
        case ColumnType::Guid: return oledb::kGuid;
        case ColumnType::Numeric: return oledb::kNumeric;
        default: return oledb::kBinary;
    }
}

int adoxType(const ColumnDef& c) {
    switch (c.type) {
        case ColumnType::Text:
        case ColumnType::ExtDateTime: return adox::kVarWChar;
        case ColumnType::Memo:
        case ColumnType::Complex: return adox::kLongVarWChar;
        case ColumnType::Binary: return adox::kVarBinary;
        case ColumnType::Ole: return adox::kLongVarBinary;
        default: {
            int t = oledbType(c);
            return t == oledb::kBinary ? adox::kLongVarBinary : t;
        }
    }
}

Result<std::unique_ptr<Rowset>> buildSchema(Database& db, SchemaKind kind) {
    std::unique_ptr<ListRowset> rs;
    switch (kind) {
        case SchemaKind::Tables: {
            rs = std::make_unique<ListRowset>(std::vector<std::string>{"table_name", "table_type"});
            for (const auto& e : db.catalog())
                if (const char* t = tableType(e)) rs->add({text(e.name), text(t)});
            break;
        }
        case SchemaKind::ProviderTypes: {
            rs = std::make_unique<ListRowset>(std::vector<std::string>{"type_name", "data_type"});
            // This order matters: callers index names by code and the last row of a code wins.
            const std::pair<const char*, int> types[] = {
                {"Short", 2},   {"Long", 3},        {"Single", 4},      {"Double", 5},     {"Currency", 6},
                {"DateTime", 7}, {"Bit", 11},       {"Byte", 17},       {"GUID", 72},      {"BigBinary", 128},
                {"LongBinary", 128}, {"VarBinary", 128}, {"LongText", 130}, {"VarChar", 130}, {"Decimal", 131}, {"BigInt", 20}};
            for (const auto& [name, code] : types) rs->add({text(name), number(code)});
            break;
        }
        case SchemaKind::Columns: {
            rs = std::make_unique<ListRowset>(std::vector<std::string>{
                "table_name", "column_name", "ordinal_position", "column_hasdefault", "column_default",
                "is_nullable", "data_type", "character_maximum_length", "numeric_precision", "numeric_scale"});
            for (const auto* e : db.userTables()) {
                ACCESS_ASSIGN_OR_RETURN(auto def, db.tableDef(e->name));
                int ordinal = 0;
                for (const auto& c : def->columns) {
                    auto len = characterLength(c, db.format());
                    auto prec = numericPrecision(c);
                    rs->add({text(e->name), text(c.name), number(++ordinal), flag(c.hasDefault),
                             c.hasDefault ? text(c.defaultValue) : Value::null(), flag(isNullable(c)),
                             number(oledbType(c)), len ? number(*len) : Value::null(),
                             prec ? number(*prec) : Value::null(),
                             c.type == ColumnType::Numeric ? number(numericScale(c)) : Value::null()});
                }
            }
            break;
        }
        case SchemaKind::PrimaryKeys: {
            rs = std::make_unique<ListRowset>(std::vector<std::string>{"table_name", "column_name", "ordinal"});
            for (const auto* e : db.userTables()) {
                ACCESS_ASSIGN_OR_RETURN(auto def, db.tableDef(e->name));
                int ordinal = 0;
                for (const auto& name : primaryKeyColumns(*def)) rs->add({text(e->name), text(name), number(++ordinal)});
            }
            break;
        }
    }
    rs->finish();
    return std::unique_ptr<Rowset>(std::move(rs));
}

Result<TableCatalog> buildCatalog(Database& db, std::string_view table) {
    ACCESS_ASSIGN_OR_RETURN(auto def, db.tableDef(table));
    TableCatalog cat;
    cat.name = db.findTable(table)->name;
    for (const auto& c : def->columns) {
        CatalogColumn cc;
        cc.name = c.name;
        cc.type = adoxType(c);
        cc.autoIncrement = c.isAutoLong();
        auto len = characterLength(c, db.format());
        cc.definedSize = len ? *len : static_cast<long>(c.length);
        cc.nullable = isNullable(c);
        cat.columns.push_back(std::move(cc));
    }
    for (const auto& li : def->logicalIndexes) {
        CatalogIndex ci;
        ci.name = li.name;
        ci.primaryKey = li.isPrimaryKey();
        ci.relationshipIndex = isRelationshipIndex(li);
        if (li.realIndex < def->realIndexes.size()) {
            const RealIndexDef& ri = def->realIndexes[li.realIndex];
            ci.unique = ci.primaryKey || (ri.flags & index_flag::kUnique);
            ci.ignoreNulls = ri.flags & index_flag::kIgnoreNulls;
            for (const auto& ref : ri.columns)
                if (const ColumnDef* c = def->columnByNumber(ref.column)) ci.columns.push_back(c->name);
        }
        cat.indexes.push_back(std::move(ci));
    }
    return cat;
}

}  // namespace provider_detail
}  // namespace veltrano::access
