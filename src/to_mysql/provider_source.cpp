#include "to_mysql/provider_source.h"

#include <cctype>

#include "access/read/database.h"

namespace veltrano::tomysql {

namespace {

std::string textOf(const access::Result<FieldValue>& r) {
    if (!r.isOk()) return {};
    const FieldValue& v = r.value();
    return v.isText() ? v.asText() : v.toDisplayText();
}

std::optional<int64_t> numberOf(const access::Result<FieldValue>& r) {
    if (!r.isOk()) return std::nullopt;
    const FieldValue& v = r.value();
    if (v.isNumber()) return static_cast<int64_t>(v.asNumber());
    if (v.isBoolean()) return v.asBoolean() ? 1 : 0;
    if (v.isText() && !v.asText().empty()) return std::atoll(v.asText().c_str());
    return std::nullopt;
}

bool boolOf(const access::Result<FieldValue>& r) {
    if (!r.isOk()) return false;
    const FieldValue& v = r.value();
    if (v.isBoolean()) return v.asBoolean();
    if (v.isNumber()) return v.asNumber() != 0;
    if (v.isText()) return v.asText() == "1" || v.asText() == "true" || v.asText() == "True";
    return false;
}

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class ProviderRows : public SourceRows {
public:
    explicit ProviderRows(std::unique_ptr<access::Rowset> rs) : rs_(std::move(rs)) {
        for (int i = 0; i < rs_->fieldCount(); ++i) names_.push_back(rs_->fieldName(i));
        values_.resize(names_.size());
    }
    const std::vector<std::string>& columnNames() const override { return names_; }
    bool next() override {
        if (started_) {
            if (rs_->eof()) return false;
            status_ = rs_->moveNext();
            if (!status_.isOk()) return false;
        }
        started_ = true;
        if (rs_->eof()) return false;
        for (size_t i = 0; i < names_.size(); ++i) {
            auto v = rs_->value(static_cast<int>(i));
            if (!v.isOk()) {
                status_ = v.status();
                return false;
            }
            values_[i] = sendableValue(v.value());
        }
        return true;
    }
    const FieldValue& value(size_t i) const override { return values_[i]; }
    access::Status status() const override { return status_; }

private:
    std::unique_ptr<access::Rowset> rs_;
    std::vector<std::string> names_;
    std::vector<FieldValue> values_;
    bool started_ = false;
    access::Status status_;
};

}  // namespace

std::string accessConnectionString(const std::string& path, bool usePassword, const std::string& password) {
    std::string s = " Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Mode=ReadWrite;Persist Security Info=False;";
    if (usePassword) s += "Jet OLEDB:Database Password=" + password;
    return s;
}

FieldValue sendableValue(const access::Value& v) {
    using K = access::ValueKind;
    switch (v.kind) {
        case K::Null: return FieldValue::null();
        case K::Boolean: return FieldValue::boolean(v.integer != 0);
        case K::Byte:
        case K::Integer:
        case K::Long: return FieldValue(static_cast<long long>(v.integer));
        case K::Currency: return FieldValue::text(access::currencyToText(v.integer));
        // The float's exact value, which MySQL's FLOAT rounds back to the
        // same float; its shortest text can lie past the float's range
        // (3.4028235e38 for the largest) and be refused as out of range.
        case K::Single: return FieldValue::text(access::shortestDouble(static_cast<float>(v.real)));
        case K::Double: return FieldValue::text(access::shortestDouble(v.real));
        case K::DateTime: return FieldValue::dateTime(v.real);
        case K::BigInt: return FieldValue::text(std::to_string(v.integer));  // exact beyond 2^53
        case K::Text:
        case K::Binary:
        case K::DateTimeExt:
        case K::Decimal: return FieldValue::text(v.bytes);
        case K::Guid:
            return FieldValue::text(access::guidToText(
                access::Bytes(reinterpret_cast<const uint8_t*>(v.bytes.data()), v.bytes.size())));
    }
    return FieldValue::null();
}

access::Result<std::vector<std::string>> ProviderSource::tableNames() {
    std::vector<std::string> names;
    ACCESS_ASSIGN_OR_RETURN(auto rs, cnn_.openSchema(access::SchemaKind::Tables));
    access::Rowset& t = *rs;
    ACCESS_RETURN_IF_ERROR(t.setFilter("table_type = 'table'"));
    for (; !t.eof(); (void)t.moveNext()) names.push_back(textOf(t.field("table_name")));
    return names;
}

TypeNames ProviderSource::typeNames() {
    TypeNames names;
    auto rs = cnn_.openSchema(access::SchemaKind::ProviderTypes);
    if (!rs.isOk()) return names;
    access::Rowset& t = *rs.value();
    (void)t.moveFirst();
    for (; !t.eof(); (void)t.moveNext()) {
        auto code = numberOf(t.field("data_type"));
        if (!code) continue;
        // A code past the table lands on its last entry.
        size_t i = *code >= 0 && *code < static_cast<int64_t>(names.size()) ? static_cast<size_t>(*code)
                                                                           : names.size() - 1;
        names[i] = upper(textOf(t.field("type_name")));
    }
    return names;
}

namespace {

// Required by the column's own rule, not by its type (Yes/No) or as an auto-number.
bool isPlainRequired(access::Connection& cnn, const std::string& table, const std::string& column) {
    access::Database* db = cnn.database();
    if (!db) return false;
    auto def = db->tableDef(table);
    if (!def.isOk()) return false;
    const access::ColumnDef* c = (*def)->columnByName(column);
    return c && c->required && c->type != access::ColumnType::Boolean && !c->isAutoLong();
}

}  // namespace

access::Status ProviderSource::readSchema(const std::string& table, TableSchema& schema) {
    schema = TableSchema{};
    schema.name = table;
    // The lists are walked whole and compared here: a name holding a quote
    // cannot be put into a filter text safely.
    ACCESS_ASSIGN_OR_RETURN(auto cols, cnn_.openSchema(access::SchemaKind::Columns));
    access::Rowset& c = *cols;
    (void)c.moveFirst();
    for (; !c.eof(); (void)c.moveNext()) {
        if (textOf(c.field("table_name")) != table) continue;
        SchemaColumn col;
        col.ordinalPosition = static_cast<int>(numberOf(c.field("ordinal_position")).value_or(0));
        col.columnName = textOf(c.field("column_name"));
        col.dataType = static_cast<int>(numberOf(c.field("data_type")).value_or(0));
        col.hasDefault = boolOf(c.field("column_hasdefault"));
        if (auto d = c.field("column_default"); d.isOk() && !d.value().isNull() && !d.value().isEmpty())
            col.columnDefault = textOf(d);
        col.characterMaximumLength = numberOf(c.field("character_maximum_length"));
        col.isNullable = boolOf(c.field("is_nullable"));
        // A Required column may hold rows from before the rule was set; it is
        // made NOT NULL once the rows are in, if they all comply, so that no
        // such row is refused (see schema_extras.h).
        if (!col.isNullable && isPlainRequired(cnn_, table, col.columnName)) col.isNullable = true;
        col.numericPrecision = static_cast<int>(numberOf(c.field("numeric_precision")).value_or(0));
        col.numericScale = static_cast<int>(numberOf(c.field("numeric_scale")).value_or(0));
        schema.columns.push_back(std::move(col));
    }
    auto keys = cnn_.openSchema(access::SchemaKind::PrimaryKeys);
    if (keys.isOk()) {
        access::Rowset& k = *keys.value();
        (void)k.moveFirst();
        for (; !k.eof(); (void)k.moveNext())
            if (textOf(k.field("table_name")) == table) schema.primaryKeyColumns.push_back(textOf(k.field("column_name")));
    }
    ACCESS_ASSIGN_OR_RETURN(auto cat, cnn_.tableCatalog(table));
    // The indexes Access keeps only to enforce relationships are no keys of
    // the table: MySQL makes the one each foreign key needs.
    for (const auto& ix : cat.indexes)
        if (!ix.relationshipIndex) schema.indexes.push_back({ix.name, ix.primaryKey, ix.unique, ix.columns});
    for (const auto& col : cat.columns) schema.catalogColumns.push_back({col.name, col.type, col.autoIncrement});
    if (access::Database* db = cnn_.database()) {
        if (auto def = db->tableDef(table); def.isOk())
            for (const auto& c : (*def)->columns) {
                SchemaColumn* col = nullptr;
                for (auto& sc : schema.columns)
                    if (sc.columnName == c.name) col = &sc;
                if (col && c.type == access::ColumnType::ExtDateTime) col->mysqlType = "DATETIME(6)";
                // The stored results are carried; the formula is kept where a reader of the table sees it.
                if (col && c.calculated) col->comment = c.expression;
            }
        for (const auto& memo : db->versionedMemos(table))
            schema.notCarried.push_back({"history of column " + memo, "earlier versions of an append-only memo"});
    }
    return access::Status::ok();
}

access::Result<int64_t> ProviderSource::countRows(const std::string& table) {
    ACCESS_ASSIGN_OR_RETURN(auto rs, cnn_.execute("select count(*) as nRecords from [" + table + "]"));
    if (rs->eof()) return int64_t{0};
    return numberOf(rs->field("nRecords")).value_or(0);
}

access::Result<std::unique_ptr<SourceRows>> ProviderSource::openRows(const std::string& table) {
    ACCESS_ASSIGN_OR_RETURN(auto rs, cnn_.execute("select * from [" + table + "]"));
    return std::unique_ptr<SourceRows>(std::make_unique<ProviderRows>(std::move(rs)));
}

}  // namespace veltrano::tomysql
