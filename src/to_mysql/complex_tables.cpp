// Attachment and multi-value columns of .accdb tables, carried as child
// tables; see ConversionRun::carryComplexColumns.
#include <algorithm>

#include "access/provider/provider.h"
#include "access/read/database.h"
#include "mysql/mysql_connection.h"
#include "mysql/sql_text.h"
#include "to_mysql/conversion_run.h"
#include "to_mysql/provider_source.h"
#include "common/names.h"

namespace veltrano::tomysql {

namespace {

// One child row at a time, as the batches read rows.
class ChildRow : public SourceRows {
public:
    const std::vector<std::string>& columnNames() const override { return names; }
    bool next() override { return false; }
    const FieldValue& value(size_t i) const override { return values[i]; }

    std::vector<std::string> names;
    std::vector<FieldValue> values;
};

// Refusals of child rows are named under the child table; its rows are not
// counted among the records of the Access tables.
class ChildListener : public BatchListener {
public:
    explicit ChildListener(std::function<void(int64_t, const std::string&)> onRefused) : onRefused_(std::move(onRefused)) {}
    void stored(int64_t rows) override { stored_ += rows; }
    void refused(int64_t record, const std::string& reason) override { onRefused_(record, reason); }
    int64_t storedSoFar() const override { return stored_; }
    // Child rows go one statement at a time, never in one transaction.
    void rolledBack(const std::string&) override {}

private:
    std::function<void(int64_t, const std::string&)> onRefused_;
    int64_t stored_ = 0;
};

// The MySQL type of a multi-value column's values, through the same map as
// the columns of tables (from the provider's type names).
std::string valueType(const access::ColumnDef& c) {
    using T = access::ColumnType;
    ColumnDefinition d;
    switch (c.type) {
        case T::Text: d.typeName = "VARCHAR"; d.maxLength = c.length / 2; break;
        case T::Byte: d.typeName = "BYTE"; break;
        case T::Integer: d.typeName = "SHORT"; break;
        case T::Long: d.typeName = "LONG"; break;
        case T::BigInt: d.typeName = "BIGINT"; break;
        case T::Single: d.typeName = "SINGLE"; break;
        case T::Double: d.typeName = "DOUBLE"; break;
        case T::Currency: d.typeName = "CURRENCY"; break;
        case T::DateTime: d.typeName = "DATETIME"; break;
        case T::ExtDateTime: d.typeName = "DATETIME(6)"; break;
        case T::Boolean: d.typeName = "BIT"; break;
        case T::Guid: d.typeName = "GUID"; break;
        case T::Numeric: d.typeName = "DECIMAL"; break;
        default: d.typeName = "VARCHAR"; d.maxLength = 0; break;  // memo and anything else: its text
    }
    d.numericPrecision = c.precision;
    d.numericScale = c.scale;
    return mysqlTypeFor(d);
}

bool isLongType(const std::string& t) {
    return t.find("TEXT") != std::string::npos || t.find("BLOB") != std::string::npos;
}

}  // namespace

void ConversionRun::carryComplexColumns(const TableDefinition& table) {
    access::Connection* cnn = source_.engine();
    access::Database* db = cnn ? cnn->database() : nullptr;
    if (!db) return;
    auto def = db->tableDef(table.name);
    if (!def.isOk()) return;
    const access::TableDef& parent = **def;

    // The parent's rows are named by their primary key, or by their row
    // number in the Access table when it has none.
    std::vector<size_t> keyFields;  // in parent.columns
    std::vector<std::string> keyTypes;
    for (const auto& c : table.columns) {
        if (!c.isPrimaryKey) continue;
        for (size_t i = 0; i < parent.columns.size(); ++i)
            if (parent.columns[i].name == c.name) keyFields.push_back(i);
        keyTypes.push_back(c.typeName);
    }
    const bool byRowNumber = keyFields.empty() || keyFields.size() != keyTypes.size();

    for (size_t column = 0; column < parent.columns.size(); ++column) {
        const access::ColumnDef& complex = parent.columns[column];
        if (complex.type != access::ColumnType::Complex) continue;
        if (host_.cancelRequested()) return;
        auto values = db->complexValues(table.name, complex.name);
        if (!values.isOk()) {
            s_.notCarried.push_back({table.name, "values of column " + complex.name,
                                     "the column could not be read: " + values.status().description()});
            continue;
        }
        const bool attachment = values->kind == access::ComplexKind::Attachment;

        ChildRow row;
        std::vector<std::string> types;
        if (byRowNumber) {
            row.names.push_back("RowNumber");
            types.push_back("INT");
        } else {
            for (size_t k = 0; k < keyFields.size(); ++k) {
                row.names.push_back(parent.columns[keyFields[k]].name);
                types.push_back(keyTypes[k]);
            }
        }
        const size_t keyCount = row.names.size();  // the fields that name the parent row
        // The value's field in each item: FileName, FileType, FileData; or the one value.
        std::vector<size_t> itemField;
        if (attachment) {
            for (const char* name : {"FileName", "FileType", "FileData"}) {
                size_t f = 0;
                while (f < values->fields.size() && !namesEqual(values->fields[f], name)) ++f;
                row.names.push_back(name);
                types.push_back(std::string(name) == "FileData" ? "LONGBLOB" : "VARCHAR(255)");
                itemField.push_back(f);
            }
        } else {
            row.names.push_back("Value");
            types.push_back(values->fieldColumns.empty() ? "LONGTEXT" : valueType(values->fieldColumns[0]));
            itemField.push_back(0);
        }

        const std::string childName = mysqlName(table.name + "_" + complex.name, s_.convertSpaces);
        std::string sql = "CREATE TABLE " + sqlIdentifier(childName) + " ( ";
        std::string key;
        bool keyable = true;
        for (size_t k = 0; k < row.names.size(); ++k) {
            const std::string name = sqlIdentifier(mysqlName(row.names[k], s_.convertSpaces));
            sql += (k ? " , " : "") + name + " " + types[k] + (k < keyCount ? " NOT NULL" : "");
            if (k < keyCount) {
                key += (key.empty() ? "" : ",") + name;
                keyable = keyable && !isLongType(types[k]);
            }
        }
        if (keyable) sql += " , KEY (" + key + ")";
        sql += " ) DEFAULT CHARSET=utf8mb4";
        mysql_.Execute(sql);
        if (mysql_.Error().Number() != 0) {
            s_.notCarried.push_back({table.name, "values of column " + complex.name,
                                     "the table " + childName + " for them could not be made: " +
                                         mysql_.Error().Description()});
            mysql_.Error().Clear();
            continue;
        }

        std::string what = (attachment ? "the files of column " : "the values of column ") + complex.name +
                           " as table " + childName + (attachment ? ", one row per file" : ", one row per value");
        if (byRowNumber)
            what += ", joined by RowNumber: the row's place in the Access table, which has no primary key";
        if (s_.definitionOnly) {
            s_.carriedExtras.push_back({table.name, what});
            continue;
        }

        BatchTarget target;
        target.table = childName;
        target.quotedTable = sqlIdentifier(childName);
        for (size_t k = 0; k < row.names.size(); ++k) {
            target.forms.push_back(valueFormFor(types[k]));
            target.sourceField.push_back(k);
            target.columnNames.push_back(row.names[k]);
        }
        target.transactional = tableIsTransactional(childName);
        target.packetLimit = packetLimit();
        const size_t limit = target.packetLimit > 4096 ? std::min(batchBytes, target.packetLimit / 4) : batchBytes;
        ConnectionServer server(mysql_);
        int64_t refusedHere = 0;
        ChildListener listener([&](int64_t record, const std::string& reason) {
            say(reason);
            say("Error populating '" + childName + "' table, Record #" + std::to_string(record));
            ++refusedRows_;
            ++refusedHere;
            ++s_.refusedRecords;
            s_.refusedRows.push_back({childName, record, reason});
        });
        InsertBatch inserts(server, listener, target);

        auto cursor = std::make_unique<access::TableCursor>(db->pager(), *def);
        int64_t record = 0, parentRow = 0;
        row.values.resize(row.names.size());
        while (cursor->next() && !server.connectionLost() && !host_.cancelRequested()) {
            ++parentRow;
            auto items = values->items.find(static_cast<int32_t>(cursor->value(column).integer));
            if (items == values->items.end()) continue;
            if (byRowNumber) row.values[0] = FieldValue(static_cast<long long>(parentRow));
            for (size_t k = 0; !byRowNumber && k < keyFields.size(); ++k)
                row.values[k] = sendableValue(cursor->value(keyFields[k]));
            for (const auto& item : items->second) {
                for (size_t k = 0; k < itemField.size(); ++k)
                    row.values[keyCount + k] =
                        itemField[k] < item.size() ? sendableValue(item[itemField[k]]) : FieldValue::null();
                inserts.add(++record, row);
                if (inserts.bytes() >= limit) inserts.send();
            }
            tick();
        }
        if (!server.connectionLost()) inserts.send();
        if (!cursor->status().isOk() || server.connectionLost() || host_.cancelRequested()) {
            const std::string why = !cursor->status().isOk() ? "reading the Access table failed: " +
                                                                   cursor->status().description()
                                    : server.connectionLost() ? "the connection to the MySQL server was lost"
                                                              : "the run was cancelled";
            s_.notCarried.push_back({table.name, "values of column " + complex.name,
                                     "table " + childName + " was cut short after " +
                                         std::to_string(listener.storedSoFar()) + " rows: " + why});
            continue;
        }
        what += " (" + std::to_string(listener.storedSoFar()) + " rows" +
                (refusedHere ? ", " + std::to_string(refusedHere) + " refused" : "") + ")";
        s_.carriedExtras.push_back({table.name, what});
    }
}

}  // namespace veltrano::tomysql
