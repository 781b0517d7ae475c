#include "to_mysql/table_definitions.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "mysql/sql_text.h"
#include "to_mysql/value_text.h"

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

// The longest key InnoDB builds (DYNAMIC rows), and what a character of
// utf8mb4 text may take of it.
constexpr int64_t kMaxKeyBytes = 3072;
constexpr int64_t kBytesPerChar = 4;

std::string trimmed(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string_view::npos ? std::string() : std::string(s.substr(b, e - b + 1));
}

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

std::string firstCharacters(const std::string& text, size_t limit) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == limit) return text.substr(0, i);
            ++chars;
        }
    }
    return text;
}

std::string cleanName(std::string_view name) {
    std::string out(name);
    std::replace(out.begin(), out.end(), ' ', '_');
    return out;
}

namespace {

// Characters of a text column (not a memo) that a key would take whole; 0
// for other columns.
int64_t textKeyLength(const TableSchema& schema, const std::string& column) {
    const CatalogColumn* cat = findCatalogColumn(schema, column);
    if (cat && cat->typeCode == kTypeLongText) return 0;
    for (const auto& c : schema.columns)
        if (c.columnName == column && c.characterMaximumLength && *c.characterMaximumLength > 0)
            return *c.characterMaximumLength;
    return 0;
}

// Bytes a key part takes when it is not a whole text column.
int64_t otherKeyBytes(const TableSchema& schema, const std::string& column) {
    const CatalogColumn* cat = findCatalogColumn(schema, column);
    if (!cat) return 8;
    if (cat->typeCode == kTypeLongText) return 10 * kBytesPerChar;
    if (cat->typeCode == kCatalogGuid) return 38;
    if (cat->typeCode == kCatalogVarBinary || cat->typeCode == kCatalogLongBinary) return 255;
    return 8;
}

// Prefix lengths (0: whole column) that keep a key over text columns within
// InnoDB's key limit: the longest columns are cut to an equal share.
std::vector<int64_t> keyPrefixes(const TableSchema& schema, const CatalogIndex& index) {
    std::vector<int64_t> prefix(index.columns.size(), 0);
    int64_t fixed = 0, text = 0;
    std::vector<int64_t> lengths;
    for (const auto& c : index.columns) {
        int64_t n = textKeyLength(schema, c);
        lengths.push_back(n);
        if (n > 0) text += n * kBytesPerChar;
        else fixed += otherKeyBytes(schema, c);
    }
    if (fixed + text <= kMaxKeyBytes) return prefix;
    int64_t budget = (kMaxKeyBytes - fixed) / kBytesPerChar;
    // Columns shorter than an equal share keep their length; the rest share what is left.
    std::vector<size_t> cut;
    for (size_t i = 0; i < lengths.size(); ++i)
        if (lengths[i] > 0) cut.push_back(i);
    std::sort(cut.begin(), cut.end(), [&](size_t a, size_t b) { return lengths[a] < lengths[b]; });
    for (size_t k = 0; k < cut.size(); ++k) {
        int64_t share = std::max<int64_t>(1, budget / static_cast<int64_t>(cut.size() - k));
        if (lengths[cut[k]] <= share) {
            budget -= lengths[cut[k]];
        } else {
            prefix[cut[k]] = share;
            budget -= share;
        }
    }
    return prefix;
}

}  // namespace

std::string indexClauses(const TableSchema& schema, bool convertSpaces, std::vector<NotCarriedItem>* notes,
                         std::vector<UniqueTextKey>* textKeys) {
    std::string text;
    int kept = 0;
    for (const auto& index : schema.indexes) {
        if (index.primaryKey) continue;
        ++kept;
        if (kept > 1) text += " , ";
        const size_t clauseStart = text.size();
        if (index.unique) text += "UNIQUE ";
        text += "KEY " + quoted(index.name, convertSpaces) + " (";
        const std::vector<int64_t> prefix = keyPrefixes(schema, index);
        UniqueTextKey key{mysqlName(index.name, convertSpaces), "", {}, {}, {}, prefix};
        bool holdsAutoIncrement = false;
        for (size_t c = 0; c < index.columns.size(); ++c) {
            const CatalogColumn* cat = findCatalogColumn(schema, index.columns[c]);
            key.columns.push_back(mysqlName(index.columns[c], convertSpaces));
            key.memo.push_back(cat && cat->typeCode == kTypeLongText);
            key.text.push_back(key.memo.back() || textKeyLength(schema, index.columns[c]) > 0);
            // MySQL wants an auto-increment column in a key from the start.
            if (cat && cat->autoIncrement) holdsAutoIncrement = true;
            if (c > 0) text += ",";
            text += quoted(index.columns[c], convertSpaces);
            // Memo and binary columns can only be indexed by a prefix.
            const CatalogColumn* col = findCatalogColumn(schema, index.columns[c]);
            if (col && col->typeCode == kTypeLongText) text += "(10)";
            if (col && col->typeCode == kCatalogGuid) text += kGuidKeyPrefix;
            if (col && (col->typeCode == kCatalogVarBinary || col->typeCode == kCatalogLongBinary))
                text += kBinaryKeyPrefix;
            if (prefix[c] > 0) {
                text += "(" + std::to_string(prefix[c]) + ")";
                if (notes)
                    notes->push_back({schema.name, "index " + index.name + " on column " + index.columns[c],
                                      "keyed on its first " + std::to_string(prefix[c]) +
                                          " characters: the whole key passes MySQL's limit of 3072 bytes"});
            }
        }
        text += ")";
        const bool overText = std::find(key.text.begin(), key.text.end(), true) != key.text.end();
        if (textKeys && index.unique && overText && !holdsAutoIncrement) {
            key.clause = text.substr(clauseStart);
            textKeys->push_back(std::move(key));
        }
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
    def.keyClauses = indexClauses(schema, convertSpaces, &def.changes, &def.uniqueTextKeys);

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
        if (!row.mysqlType.empty())
            col.typeName = row.mysqlType;
        else if (row.dataType >= 0 && row.dataType < static_cast<int>(typeNames.size()))
            col.typeName = typeNames[static_cast<size_t>(row.dataType)];
        else
            col.typeName = typeNames.back();
        col.hasDefault = row.hasDefault;
        if (row.columnDefault) col.defaultValue = *row.columnDefault;
        col.maxLength = row.characterMaximumLength;
        col.isNullable = row.isNullable;
        col.numericPrecision = row.numericPrecision;
        col.numericScale = row.numericScale;
        col.comment = row.comment;
    }

    // MySQL wants every auto-increment column to lead some key.
    std::string a = mysqlName(def.autoIncrementColumn, convertSpaces);
    if (!a.empty() && def.keyClauses.find(a) == std::string::npos) def.keyClauses += ", KEY (`" + a + "`)";
    return def;
}

std::string mysqlTypeFor(const ColumnDefinition& column) {
    const std::string& t = column.typeName;
    // GUIDs are kept as their 38-character text; OLE objects and other
    // binary values can be far larger than BLOB's 64 KB.
    if (t == "GUID") return "BLOB";
    if (isBinaryTypeName(t)) return "LONGBLOB";
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

namespace {

bool isTextType(const std::string& t) {
    return t.find("VARCHAR") != std::string::npos || t.find("TEXT") != std::string::npos;
}

// TEXT and BLOB columns take a default only as an expression.
bool isLongType(const std::string& t) {
    return t == "TEXT" || t == "LONGTEXT" || t.find("BLOB") != std::string::npos;
}

// "#1/31/2000#", "#1/31/2000 2:30:00 PM#", "#2000-01-31 14:30#", "#14:30#" as
// 'YYYY-MM-DD HH:MM:SS'; nullopt when the text is no such date or its year
// lies outside what DATETIME holds.
std::optional<std::string> accessDateLiteral(std::string d) {
    d = trimmed(d.substr(1, d.size() - 2));
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
    std::string datePart, timePart;
    size_t blank = d.find(' ');
    if (d.find(':') != std::string::npos && (blank == std::string::npos || d.find(':') < blank)) {
        timePart = d;
    } else {
        datePart = d.substr(0, blank);
        if (blank != std::string::npos) timePart = trimmed(d.substr(blank));
    }
    if (!datePart.empty()) {
        int a = 0, b = 0, c = 0;
        char s1 = 0, s2 = 0, extra = 0;
        if (std::sscanf(datePart.c_str(), "%d%c%d%c%d%c", &a, &s1, &b, &s2, &c, &extra) != 5 || s1 != s2)
            return std::nullopt;
        if (s1 == '-') year = a, month = b, day = c;
        else if (s1 == '/') month = a, day = b, year = c < 30 ? 2000 + c : c < 100 ? 1900 + c : c;
        else return std::nullopt;
    }
    if (!timePart.empty()) {
        char ampm[3] = {0, 0, 0};
        int n = std::sscanf(timePart.c_str(), "%d:%d:%d %2s", &hour, &minute, &second, ampm);
        if (n < 3) {
            second = 0;
            n = std::sscanf(timePart.c_str(), "%d:%d %2s", &hour, &minute, ampm);
            if (n < 2) return std::nullopt;
        }
        if (equalsNoCase(ampm, "PM") && hour < 12) hour += 12;
        if (equalsNoCase(ampm, "AM") && hour == 12) hour = 0;
    }
    if (year < 1000 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    char buf[80];
    std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", year, month, day, hour, minute, second);
    return std::string(buf);
}

// The longest column comment MySQL takes, in characters.
constexpr size_t kMaxCommentChars = 1024;

// Bytes a column may take of InnoDB's row limit.
int64_t rowBytes(const ColumnDefinition& c) {
    const std::string& t = c.typeName;
    if (t.rfind("VARCHAR(", 0) == 0) {
        int64_t bytes = std::atoll(t.c_str() + 8) * kBytesPerChar;
        return bytes + (bytes > 255 ? 2 : 1);
    }
    if (isLongType(t)) return 12;
    if (t.rfind("DECIMAL", 0) == 0) return 30;
    if (t == "TINYINT(1)" || t == "TINYINT UNSIGNED") return 1;
    if (t == "SMALLINT") return 2;
    if (t == "INT" || t == "FLOAT") return 4;
    return 8;
}

bool isKeyColumn(const TableDefinition& table, const ColumnDefinition& c, bool convertSpaces) {
    return c.isPrimaryKey || table.keyClauses.find(quoted(c.name, convertSpaces)) != std::string::npos;
}

// Turns the widest text columns outside any key into TEXT until the row
// fits InnoDB's limit; each one is named.
void fitRowLimit(TableDefinition& table, bool convertSpaces, std::vector<NotCarriedItem>* notes) {
    int64_t total = 0, nullable = 0;
    for (const auto& c : table.columns) {
        total += rowBytes(c);
        nullable += c.isNullable ? 1 : 0;
    }
    total += (nullable + 7) / 8;
    while (total > kMaxRowBytes) {
        ColumnDefinition* widest = nullptr;
        for (auto& c : table.columns)
            if (c.typeName.rfind("VARCHAR(", 0) == 0 && !isKeyColumn(table, c, convertSpaces) &&
                (!widest || rowBytes(c) > rowBytes(*widest)))
                widest = &c;
        if (!widest) return;  // the server will say why the table cannot be made
        total -= rowBytes(*widest);
        if (notes)
            notes->push_back({table.name, "column " + widest->name,
                              "created as TEXT instead of " + widest->typeName +
                                  ": the table's text columns together pass MySQL's row limit of 65535 bytes"});
        widest->typeName = "TEXT";
        total += rowBytes(*widest);
    }
}

}  // namespace

std::optional<std::string> mysqlDefault(const std::string& accessDefault, const std::string& type,
                                        const ServerFeatures& server) {
    std::string d = trimmed(accessDefault);
    if (!d.empty() && d[0] == '=') d = trimmed(d.substr(1));
    if (d.empty() || equalsNoCase(d, "Null")) return std::string();
    const bool text = isTextType(type);
    std::optional<std::string> literal;
    if (d.size() >= 2 && (d[0] == '"' || d[0] == '\'') && d.back() == d[0]) {
        std::string inner;
        for (size_t i = 1; i + 1 < d.size(); ++i) {
            if (d[i] == d[0] && i + 2 < d.size() && d[i + 1] == d[0]) ++i;
            inner += d[i];
        }
        literal = text || type.find("BLOB") != std::string::npos ? sqlTextLiteral(inner)
                  : isPlainNumber(inner)                         ? inner
                                                                 : std::optional<std::string>();
    } else if (isPlainNumber(d)) {
        literal = text ? sqlTextLiteral(d) : d;
    } else if (d.size() >= 2 && d[0] == '#' && d.back() == '#') {
        if (type == "DATETIME" || type == "DATETIME(6)") literal = accessDateLiteral(d);
    } else if (!text && (equalsNoCase(d, "Yes") || equalsNoCase(d, "True") || equalsNoCase(d, "On"))) {
        literal = "1";
    } else if (!text && (equalsNoCase(d, "No") || equalsNoCase(d, "False") || equalsNoCase(d, "Off"))) {
        literal = "0";
    } else if ((type == "DATETIME" || type == "DATETIME(6)") && equalsNoCase(d, "Now()")) {
        return std::string("CURRENT_TIMESTAMP");
    }
    if (!literal) return std::nullopt;
    if (isLongType(type)) {
        if (!server.expressionDefaults) return std::nullopt;
        return "(" + *literal + ")";
    }
    return literal;
}

std::string createTableStatement(TableDefinition& table, bool convertSpaces, std::vector<NotCarriedItem>* notes,
                                 const ServerFeatures& server) {
    std::string pk;
    for (const auto& c : table.columns) {
        if (!c.isPrimaryKey) continue;
        if (!pk.empty()) pk += ",";
        pk += quoted(c.name, convertSpaces);
        if (c.typeName == "GUID") pk += kGuidKeyPrefix;
        else if (isBinaryTypeName(c.typeName) || c.typeName == "BLOB") pk += kBinaryKeyPrefix;
    }
    pk = " PRIMARY KEY (" + pk + ")";

    for (auto& c : table.columns) {
        if (isBinaryTypeName(c.typeName)) c.isNullable = true;
        c.typeName = mysqlTypeFor(c);
        if (c.isPrimaryKey) c.isNullable = false;
    }
    fitRowLimit(table, convertSpaces, notes);

    std::string sql = "CREATE TABLE " + quoted(table.name, convertSpaces) + " ( ";
    for (size_t k = 0; k < table.columns.size(); ++k) {
        ColumnDefinition& c = table.columns[k];
        if (k > 0) sql += " , ";
        sql += quoted(c.name, convertSpaces);
        if (convertSpaces) sql += " ";
        sql += c.typeName;
        if (!c.isNullable) sql += " NOT NULL ";
        if (c.autoIncrement) sql += " AUTO_INCREMENT ";
        if (c.hasDefault) {
            if (c.typeName == "TINYINT(1)") {
                const std::string& d = c.defaultValue;
                bool no = containsNoCase(d, "no") || containsNoCase(d, "false") || d == "0";
                c.defaultValue = no ? "0" : "1";
            }
            std::optional<std::string> def =
                server.defaults ? mysqlDefault(c.defaultValue, c.typeName, server) : std::nullopt;
            if (def && !def->empty()) {
                c.defaultValue = *def;
                sql += " DEFAULT " + *def;
            } else {
                if (!def && notes && !trimmed(c.defaultValue).empty())
                    notes->push_back({table.name, "default of column " + c.name,
                                      "left out: MySQL has no form of the Access default " + c.defaultValue +
                                          " for a " + c.typeName + " column"});
                c.hasDefault = false;
            }
        }
        if (!c.comment.empty()) {
            std::string kept = firstCharacters(c.comment, kMaxCommentChars);
            if (kept.size() < c.comment.size() && notes)
                notes->push_back({table.name, "comment of column " + c.name,
                                  "cut to its first 1024 characters, the most MySQL keeps: " + c.comment});
            c.comment = std::move(kept);
            sql += " COMMENT " + sqlTextLiteral(c.comment);
        }
    }
    if (pk.find("()") == std::string::npos) sql += "," + pk;
    sql += table.keyClauses;
    // Access text is Unicode; a latin1 server default would lose characters.
    sql += " ) DEFAULT CHARSET=utf8mb4;";
    return sql;
}

}  // namespace veltrano::tomysql
