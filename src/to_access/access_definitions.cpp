#include "to_access/access_definitions.h"

#include <algorithm>
#include <cstdlib>

namespace veltrano {

namespace {

bool contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

// The leading digits of `text` as a number (0 when it does not start with one),
// capped so that absurd lengths cannot overflow.
long leadingNumber(std::string_view text) {
    long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        n = std::min<long>(n * 10 + (c - '0'), 1000000000L);
    }
    return n;
}

// The type's own name: "int" for "int(10) unsigned", "enum" for "enum('a')".
std::string_view baseName(std::string_view type) {
    size_t end = type.find_first_of("( ");
    return type.substr(0, end);
}

// The numbers between the type's parentheses: "decimal(20,4)" gives 20 and 4.
// Absent numbers stay at their defaults.
void typeArguments(std::string_view type, long& first, long& second) {
    size_t open = type.find('(');
    if (open == std::string_view::npos) return;
    std::string_view rest = type.substr(open + 1);
    if (!rest.empty() && rest[0] >= '0' && rest[0] <= '9') first = leadingNumber(rest);
    size_t comma = rest.find(',');
    size_t close = rest.find(')');
    if (comma != std::string_view::npos && comma < close) {
        std::string_view s = rest.substr(comma + 1);
        while (!s.empty() && s[0] == ' ') s.remove_prefix(1);
        if (!s.empty() && s[0] >= '0' && s[0] <= '9') second = leadingNumber(s);
    }
}

// UTF-16 code units of a UTF-8 text: what an Access text length counts. A
// character beyond the Basic Multilingual Plane (four UTF-8 bytes, an emoji
// for instance) takes two.
long utf16Units(std::string_view s) {
    long n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80) ++n;
        if (c >= 0xF0) ++n;
    }
    return n;
}

// Whether a column of this collation can hold characters beyond the Basic
// Multilingual Plane, each of which needs two UTF-16 units in Access.
bool holdsAstralCharacters(std::string_view collation) {
    return collation.starts_with("utf8mb4") || collation.starts_with("utf16") ||
           collation.starts_with("utf32");
}

// The longest text an enum or set column can hold, in characters. Values are
// quoted with '' and may contain doubled quotes.
long longestEnumValue(std::string_view type, bool isSet) {
    size_t open = type.find('(');
    if (open == std::string_view::npos) return 0;
    long longest = 0, total = 0, count = 0;
    size_t i = open + 1;
    while (i < type.size()) {
        if (type[i] != '\'') {
            ++i;
            continue;
        }
        std::string value;
        ++i;
        while (i < type.size()) {
            if (type[i] == '\'') {
                if (i + 1 < type.size() && type[i + 1] == '\'') {
                    value += '\'';
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            value += type[i++];
        }
        long len = utf16Units(value);
        longest = std::max(longest, len);
        total += len;
        ++count;
    }
    // A set value is any combination of its members joined by commas.
    return isSet ? total + std::max(0L, count - 1) : longest;
}

constexpr long kAccessTextLimit = 255;  // longest Jet text column
constexpr long kDoubleDigits = 15;      // digits a double keeps exactly
constexpr long kAccessDecimalDigits = 28;

struct MappedType {
    std::string word;
    std::string suffix;
};

// A Jet text column of `length` UTF-16 units; memo beyond Jet's longest text.
// Jet wants at least one character (MySQL allows char(0)).
MappedType textType(const char* word, long length) {
    if (length > kAccessTextLimit) return {"memo", ""};
    return {word, "(" + std::to_string(std::max(length, 1L)) + ")"};
}

// Types whose values the word search below would lose or reject. Returns
// false when the word search's answer holds the column's values.
// `astral`: the column's character set can hold characters that take two
// UTF-16 units. `longestUnits`: the UTF-16 length of the column's longest
// value, when it was measured (else negative).
bool mendedType(std::string_view type, bool astral, int64_t longestUnits, MappedType& out) {
    std::string_view base = baseName(type);
    bool isUnsigned = contains(type, "unsigned");

    if (base == "bigint") {
        out = {isUnsigned ? "decimal(20,0)" : "decimal(19,0)", ""};
        return true;
    }
    if ((base == "int" || base == "integer") && isUnsigned) {
        out = {"decimal(10,0)", ""};
        return true;
    }
    if (base == "decimal" || base == "numeric" || base == "dec" || base == "fixed") {
        long precision = 10, scale = 0;
        typeArguments(type, precision, scale);
        if (precision <= kDoubleDigits) return false;
        if (precision <= kAccessDecimalDigits) {
            out = {"decimal(" + std::to_string(precision) + "," + std::to_string(scale) + ")", ""};
        } else {
            // Wider than any Access number: keep the digits as text (sign and point included).
            out = textType("varchar", precision + 2);
        }
        return true;
    }
    if (base == "char" || base == "varchar") {
        long length = 1;
        typeArguments(type, length, length);
        const char* word = base == "char" ? "char" : "varchar";
        if (!astral) {
            if (length <= kAccessTextLimit && length >= 1) return false;
            out = textType(word, length);
            return true;
        }
        // Up to 255 characters that could need 510 units: when the values
        // the table holds fit 255, the column stays text (and indexable).
        if (length <= kAccessTextLimit && length * 2 > kAccessTextLimit && longestUnits >= 0 &&
            longestUnits <= kAccessTextLimit) {
            out = textType(word, kAccessTextLimit);
            return true;
        }
        out = textType(word, length * 2);
        return true;
    }
    if (base == "enum" || base == "set") {
        long longest = longestEnumValue(type, base == "set");
        out = longest <= 20 ? MappedType{"char(20)", ""} : textType("varchar", longest);
        return true;
    }
    static constexpr std::string_view kBinary[] = {
        "binary", "varbinary", "bit", "tinyblob", "blob", "mediumblob", "longblob",
        "geometry", "point", "linestring", "polygon", "multipoint", "multilinestring",
        "multipolygon", "geometrycollection"};
    for (std::string_view b : kBinary) {
        if (base == b) {
            out = {"longbinary", ""};
            return true;
        }
    }
    return false;
}

// The word list: the first row one of whose words occurs anywhere in the type
// text gives the Access word.
struct TypeRow {
    std::vector<std::string_view> words;
    const char* accessWord;
};

const std::vector<TypeRow>& typeRows() {
    static const std::vector<TypeRow> rows = {
        {{"tinyint", "smallint", "mediumint"}, "integer"},
        {{"bigint"}, "long "},
        {{"int"}, "integer"},
        {{"float", "double"}, "double"},
        {{"decimal"}, "number"},
        {{"datetime", "date", "timestamp"}, "datetime"},
        {{"time"}, "datetime"},
        {{"year"}, "number"},
        {{"varchar"}, "varchar"},
        {{"char"}, "char"},
        {{"mediumtext", "longblob", "longtext"}, "memo"},
        {{"tinyblob"}, "char(255)"},
        {{"tinytext"}, "char(255)"},
        {{"text", "blob"}, "memo"},
        {{"integer"}, "number"},
        {{"real", "numeric"}, "number"},
        {{"enum", "set"}, "char(20)"},
    };
    return rows;
}

MappedType mapType(std::string_view type, bool astral = false, int64_t longestUnits = -1) {
    MappedType mended;
    if (mendedType(type, astral, longestUnits, mended)) return mended;
    for (const TypeRow& row : typeRows()) {
        for (std::string_view w : row.words) {
            if (!contains(type, w)) continue;
            MappedType m{row.accessWord, ""};
            if (contains(type, "char")) {
                // Length between "(" and the first "," or ")".
                size_t p = type.find('(');
                long length = p == std::string_view::npos ? 0 : leadingNumber(type.substr(p + 1));
                m.suffix = "(" + std::to_string(length) + ")";
            }
            return m;
        }
    }
    // A type no row names (json, uuid, inet6, ...): its text form fits a memo.
    return {"memo", ""};
}

}  // namespace

std::string access_type_for(std::string_view mysqlType) { return mapType(mysqlType).word; }

std::string size_suffix_for(std::string_view mysqlType) { return mapType(mysqlType).suffix; }

bool isAutoIncrement(const MySqlColumnRow& row) { return contains(row.extra, "auto_increment"); }

AccessColumn accessColumnFor(const MySqlColumnRow& row) {
    AccessColumn c;
    c.name = "[" + accessName(row.name) + "]";
    MappedType m = mapType(row.type, holdsAstralCharacters(row.collation), row.longestUnits);
    bool autoNumber = isAutoIncrement(row) && row.valuesFitAutoNumber;
    c.typeText = autoNumber ? "identity" : m.word;
    c.sizeSuffix = autoNumber ? "" : m.suffix;
    c.isPrimaryKey = row.key == "PRI";
    return c;
}

bool textMayOutgrowAccess(const MySqlColumnRow& row) {
    std::string_view base = baseName(row.type);
    if ((base != "char" && base != "varchar") || !holdsAstralCharacters(row.collation)) return false;
    long length = 1;
    typeArguments(row.type, length, length);
    return length <= kAccessTextLimit && length * 2 > kAccessTextLimit;
}

bool comparesBeyondAccess(std::string_view collation) {
    if (collation.empty()) return false;  // not a text column
    return !collation.ends_with("_ci") || contains(collation, "nopad") || contains(collation, "_0900_");
}

std::vector<std::string> indexStatementsFor(const std::string& table,
                                            const std::vector<MySqlKeyRow>& keys) {
    std::vector<std::string> statements;
    std::string remembered;
    for (const MySqlKeyRow& k : keys) {
        if (k.indexName == "PRIMARY") continue;
        if (statements.empty() || k.indexName != remembered) {
            if (!statements.empty()) statements.back() += ");";
            std::string s = "CREATE ";
            if (k.nonUnique == "0") s += "UNIQUE ";
            s += "INDEX [" + accessName(k.indexName) + "] ON [" + accessName(table) + "] ( [" +
                 accessName(k.columnName) + "]";
            statements.push_back(std::move(s));
            remembered = k.indexName;
        } else {
            statements.back() += ", [" + accessName(k.columnName) + "]";
        }
    }
    if (!statements.empty()) statements.back() += ");";
    return statements;
}

namespace {

// One MySQL index, its SHOW KEYS rows gathered.
struct MySqlIndex {
    std::string name;
    bool unique = false;
    std::string type;  // Index_type
    std::vector<std::string> columns;
    bool prefix = false;  // some column is indexed by a prefix only
};

std::vector<MySqlIndex> gatherIndexes(const std::vector<MySqlKeyRow>& keys) {
    std::vector<MySqlIndex> indexes;
    for (const MySqlKeyRow& k : keys) {
        if (indexes.empty() || indexes.back().name != k.indexName) {
            indexes.push_back({k.indexName, k.nonUnique == "0", k.indexType, {}, false});
        }
        indexes.back().columns.push_back(k.columnName);
        indexes.back().prefix = indexes.back().prefix || !k.subPart.empty();
    }
    return indexes;
}

std::string indexLabel(const MySqlIndex& index) {
    if (index.name == "PRIMARY") return "primary key";
    return (index.unique ? "unique index " : "index ") + index.name;
}

// Why Access cannot hold `index` over the carried `columns`, or "" when it can.
std::string unindexableReason(const MySqlIndex& index, const std::vector<MySqlColumnRow>& carried,
                              const std::vector<AccessColumn>& defined) {
    if (index.type == "FULLTEXT") return "Access has no full-text indexes";
    if (index.type == "SPATIAL") return "Access has no spatial indexes";
    if (index.prefix) return "it indexes only the first characters of a column; Access indexes whole columns";
    if (index.columns.size() > kAccessMaxIndexColumns)
        return "an Access index holds at most " + std::to_string(kAccessMaxIndexColumns) + " columns";
    for (const std::string& column : index.columns) {
        if (column.empty()) return "it indexes an expression; Access indexes columns";
        auto at = std::find_if(carried.begin(), carried.end(), [&](const MySqlColumnRow& c) { return c.name == column; });
        if (at == carried.end()) return "its column " + column + " is not carried";
        const AccessColumn& c = defined[static_cast<size_t>(at - carried.begin())];
        if (c.typeText == "memo" || c.typeText == "longbinary")
            return "its column " + column + " is a memo or OLE column, which Access cannot index";
    }
    return {};
}

constexpr const char* kMergedKeysReason =
    "rows differ only in letter case or trailing blanks, which Access compares as equal";

}  // namespace

AccessTableStructure buildTableStructure(const std::string& table,
                                         const std::vector<MySqlColumnRow>& columns,
                                         const std::vector<MySqlKeyRow>& keys,
                                         const std::set<std::string>& keysAccessWouldMerge) {
    AccessTableStructure s;
    const size_t carriedCount = std::min(columns.size(), kAccessMaxColumns);
    const std::vector<MySqlColumnRow> carried(columns.begin(), columns.begin() + static_cast<std::ptrdiff_t>(carriedCount));
    for (size_t j = carriedCount; j < columns.size(); ++j)
        s.notCarried.push_back({table, "column " + columns[j].name,
                                "an Access table holds at most " + std::to_string(kAccessMaxColumns) + " columns"});
    for (const MySqlColumnRow& row : carried) {
        s.columnDefinitions.push_back(accessColumnFor(row));
        s.sourceColumns.push_back(row.name);
        if (isAutoIncrement(row) && !row.valuesFitAutoNumber)
            s.notCarried.push_back({table, "auto-numbering of column " + row.name,
                                    "its values lie beyond an Access AutoNumber (a 32-bit Long); "
                                    "the column keeps them as exact numbers, with its key"});
    }

    std::vector<MySqlIndex> indexes = gatherIndexes(keys);
    // The primary key first: it counts against the table's indexes too. The
    // Key column of SHOW COLUMNS names its columns when SHOW KEYS gave no rows.
    auto primary = std::find_if(indexes.begin(), indexes.end(), [](const MySqlIndex& i) { return i.name == "PRIMARY"; });
    std::string leftOut;
    if (primary != indexes.end()) {
        leftOut = unindexableReason(*primary, carried, s.columnDefinitions);
        if (leftOut.empty() && keysAccessWouldMerge.count(primary->name)) leftOut = kMergedKeysReason;
    } else if (std::any_of(s.columnDefinitions.begin(), s.columnDefinitions.end(), [](const AccessColumn& c) {
                   return c.isPrimaryKey && (c.typeText == "memo" || c.typeText == "longbinary");
               })) {
        leftOut = "it covers a memo or OLE column, which Access cannot index";
    }
    if (!leftOut.empty()) {
        for (AccessColumn& c : s.columnDefinitions) c.isPrimaryKey = false;
        s.notCarried.push_back({table, "primary key", leftOut + "; the key was left out"});
    }
    size_t accessIndexes = primary_key_clause(s.columnDefinitions).empty() ? 0 : 1;

    for (const MySqlIndex& index : indexes) {
        if (index.name == "PRIMARY") continue;
        std::string why = unindexableReason(index, carried, s.columnDefinitions);
        if (why.empty() && accessIndexes >= kAccessMaxIndexes)
            why = "an Access table holds at most " + std::to_string(kAccessMaxIndexes) + " indexes";
        if (!why.empty()) {
            s.notCarried.push_back({table, (index.type == "FULLTEXT" ? "FULLTEXT " : index.type == "SPATIAL" ? "SPATIAL " : "") + indexLabel(index), why});
            continue;
        }
        bool unique = index.unique;
        if (unique && keysAccessWouldMerge.count(index.name)) {
            unique = false;
            s.notCarried.push_back({table, indexLabel(index), std::string(kMergedKeysReason) + "; the index was made non-unique"});
        }
        std::string statement = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX [" +
                                accessName(index.name) + "] ON [" + accessName(table) + "] ( ";
        for (size_t j = 0; j < index.columns.size(); ++j)
            statement += (j ? ", [" : "[") + accessName(index.columns[j]) + "]";
        s.indexStatements.push_back(statement + ");");
        ++accessIndexes;
    }
    return s;
}

std::string primary_key_clause(const std::vector<AccessColumn>& columns) {
    std::string clause = ",CONSTRAINT PrimaryKey primary key(";
    bool any = false;
    for (const AccessColumn& c : columns) {
        if (!c.isPrimaryKey) continue;
        if (any) clause += ",";
        clause += c.name;
        any = true;
    }
    return any ? clause + ")" : std::string();
}

std::string tableDefinitionText(const std::string& table, const std::vector<AccessColumn>& columns) {
    if (columns.empty()) return {};
    std::string s = "CREATE TABLE [" + accessName(table) + "](";
    for (size_t j = 0; j < columns.size(); ++j) {
        const AccessColumn& c = columns[j];
        s += c.name + " " + c.typeText + c.sizeSuffix;
        s += j + 1 < columns.size() ? "," : primary_key_clause(columns) + ");";
    }
    return s;
}

std::string accessName(std::string_view name) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        bool refused = static_cast<unsigned char>(c) < 0x20 || c == '.' || c == '!' || c == '`' ||
                       c == '[' || c == ']';
        out += refused ? '_' : c;
    }
    return out.empty() ? std::string("_") : out;
}

std::string mysqlQuoted(std::string_view name) {
    std::string q = "`";
    for (char c : name) {
        if (c == '`') q += '`';
        q += c;
    }
    return q + "`";
}

}  // namespace veltrano
