#include "to_mysql/table_definitions.h"

#include <algorithm>
#include <cctype>

namespace veltrano::tomysql {

namespace {

bool containsNoCase(std::string_view text, std::string_view word) {
    auto it = std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return it != text.end();
}

// GUID and binary columns become BLOBs, which MySQL indexes only by a
// prefix. The prefixes cover the whole value (a GUID's 38-character text
// form, Access's 255-byte binary limit) so that unique keys stay unique.
constexpr int kCatalogGuid = 72, kCatalogVarBinary = 204, kCatalogLongBinary = 205;
constexpr const char* kGuidKeyPrefix = "(38)";
constexpr const char* kBinaryKeyPrefix = "(255)";

bool isBinaryTypeName(const std::string& t) {
    return t == "GUID" || t == "BIGBINARY" || t == "VARBINARY" || t == "LONGBINARY";
}

const CatalogColumn* findCatalogColumn(const TableSchema& schema, const std::string& name) {
    for (const auto& c : schema.catalogColumns)
        if (c.name == name) return &c;
    return nullptr;
}

// Access names cannot hold a backtick; doubling one keeps a damaged name harmless.
std::string quoted(std::string_view name, bool convertSpaces) {
    std::string out = "`";
    for (char ch : mysqlName(name, convertSpaces)) {
        if (ch == '`') out += '`';
        out += ch;
    }
    return out + "`";
}

}  // namespace

std::string cleanName(std::string_view name) {
    std::string out(name);
    std::replace(out.begin(), out.end(), ' ', '_');
    return out;
}

std::string indexClauses(const TableSchema& schema, bool convertSpaces) {
    std::string text;
    int kept = 0;
    for (const auto& index : schema.indexes) {
        if (index.primaryKey) continue;
        ++kept;
        if (kept > 1) text += " , ";
        if (index.unique) text += "UNIQUE ";
        text += "KEY " + quoted(index.name, convertSpaces) + " (";
        for (size_t c = 0; c < index.columns.size(); ++c) {
            if (c > 0) text += ",";
            text += quoted(index.columns[c], convertSpaces);
            // Memo and binary columns can only be indexed by a prefix.
            const CatalogColumn* col = findCatalogColumn(schema, index.columns[c]);
            if (col && col->typeCode == kTypeLongText) text += "(10)";
            if (col && col->typeCode == kCatalogGuid) text += kGuidKeyPrefix;
            if (col && (col->typeCode == kCatalogVarBinary || col->typeCode == kCatalogLongBinary))
                text += kBinaryKeyPrefix;
        }
        text += ")";
    }
    if (!text.empty()) text = " , " + text;
    return text;
}

TableDefinition buildTableDefinition(const TableSchema& schema, const TypeNames& typeNames,
                                     bool convertSpaces) {
    TableDefinition def;
    def.name = schema.name;
    def.selected = true;
    def.columns.resize(schema.columns.size());
    def.keyClauses = indexClauses(schema, convertSpaces);

    for (const auto& row : schema.columns) {
        // A column whose position lies outside the counted columns is not stored.
        if (row.ordinalPosition < 1 || static_cast<size_t>(row.ordinalPosition) > def.columns.size())
            continue;
        ColumnDefinition& col = def.columns[static_cast<size_t>(row.ordinalPosition - 1)];
        col.name = row.columnName;
        col.isPrimaryKey = std::find(schema.primaryKeyColumns.begin(), schema.primaryKeyColumns.end(),
                                     row.columnName) != schema.primaryKeyColumns.end();
        if (row.dataType == kTypeLong) {
            const CatalogColumn* cat = findCatalogColumn(schema, row.columnName);
            if (cat && cat->autoIncrement) {
                col.autoIncrement = true;
                def.autoIncrementColumn = row.columnName;
            }
        }
        if (row.dataType >= 0 && row.dataType < static_cast<int>(typeNames.size()))
            col.typeName = typeNames[static_cast<size_t>(row.dataType)];
        else
            col.typeName = typeNames.back();
        col.hasDefault = row.hasDefault;
        if (row.columnDefault) col.defaultValue = *row.columnDefault;
        col.maxLength = row.characterMaximumLength;
        col.isNullable = row.isNullable;
        col.numericPrecision = row.numericPrecision;
        col.numericScale = row.numericScale;
    }

    // MySQL wants every auto-increment column to lead some key.
    std::string a = mysqlName(def.autoIncrementColumn, convertSpaces);
    if (!a.empty() && def.keyClauses.find(a) == std::string::npos) def.keyClauses += ", KEY (`" + a + "`)";
    return def;
}

std::string mysqlTypeFor(const ColumnDefinition& column) {
    const std::string& t = column.typeName;
    if (isBinaryTypeName(t)) return "BLOB";
    if (t == "VARCHAR") {
        if (!column.maxLength) return "TEXT";
        // A memo holds up to 65 535 characters typed in Access (more when
        // set by code), which in utf8mb4 can exceed TEXT's 65 535 bytes.
        if (*column.maxLength == 0) return "LONGTEXT";
        return "VARCHAR(" + std::to_string(*column.maxLength) + ")";
    }
    if (t == "LONG") return "INT";
    if (t == "SINGLE") return "FLOAT";
    // Money keeps its four decimal places exactly.
    if (t == "CURRENCY") return "DECIMAL(19,4)";
    if (t == "BIT") return "TINYINT(1)";
    if (t == "SHORT") return "SMALLINT";
    if (t == "BYTE") return "TINYINT UNSIGNED";
    if ((t == "DECIMAL" || t == "NUMERIC") && column.numericPrecision > 0) {
        int p = std::min(column.numericPrecision, 65);
        int s = std::clamp(column.numericScale, 0, std::min(p, 30));
        return "DECIMAL(" + std::to_string(p) + "," + std::to_string(s) + ")";
    }
    return t;
}

std::string createTableStatement(TableDefinition& table, bool convertSpaces) {
    std::string pk;
    for (const auto& c : table.columns) {
        if (!c.isPrimaryKey) continue;
        if (!pk.empty()) pk += ",";
        pk += quoted(c.name, convertSpaces);
        if (c.typeName == "GUID") pk += kGuidKeyPrefix;
        else if (isBinaryTypeName(c.typeName) || c.typeName == "BLOB") pk += kBinaryKeyPrefix;
    }
    pk = " PRIMARY KEY (" + pk + ")";

    std::string sql = "CREATE TABLE " + quoted(table.name, convertSpaces) + " ( ";
    for (size_t k = 0; k < table.columns.size(); ++k) {
        ColumnDefinition& c = table.columns[k];
        if (isBinaryTypeName(c.typeName)) c.isNullable = true;
        if (k > 0) sql += " , ";
        sql += quoted(c.name, convertSpaces);
        if (convertSpaces) sql += " ";
        c.typeName = mysqlTypeFor(c);
        sql += c.typeName;
        if (c.isPrimaryKey) c.isNullable = false;
        if (!c.isNullable) sql += " NOT NULL ";
        if (c.autoIncrement) sql += " AUTO_INCREMENT ";
        if (c.hasDefault) {
            if (c.typeName == "TINYINT(1)") {
                const std::string& d = c.defaultValue;
                bool no = containsNoCase(d, "no") || containsNoCase(d, "false") || d == "0";
                c.defaultValue = no ? "0" : "1";
            }
            if (c.defaultValue.find("()") == std::string::npos) sql += " DEFAULT " + c.defaultValue;
        }
    }
    if (pk.find("()") == std::string::npos) sql += "," + pk;
    sql += table.keyClauses;
    // Access text is Unicode; a latin1 server default would lose characters.
    sql += " ) DEFAULT CHARSET=utf8mb4;";
    return sql;
}

}  // namespace veltrano::tomysql
