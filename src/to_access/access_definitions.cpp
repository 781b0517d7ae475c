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

// Characters (not bytes) of a UTF-8 text.
long utf8Length(std::string_view s) {
    long n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
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
        long len = utf8Length(value);
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

MappedType textType(const char* word, long length) {
    if (length > kAccessTextLimit) return {"memo", ""};
    return {word, "(" + std::to_string(length) + ")"};
}

// Types whose values the word search below would lose or reject. Returns
// false when the word search's answer holds the column's values.
bool mendedType(std::string_view type, MappedType& out) {
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
        if (length <= kAccessTextLimit) return false;
        out = {"memo", ""};
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

MappedType mapType(std::string_view type) {
    MappedType mended;
    if (mendedType(type, mended)) return mended;
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

AccessColumn accessColumnFor(const MySqlColumnRow& row) {
    AccessColumn c;
    c.name = "[" + accessName(row.name) + "]";
    MappedType m = mapType(row.type);
    c.typeText = row.extra == "auto_increment" ? "identity" : m.word;
    c.sizeSuffix = row.extra == "auto_increment" ? "" : m.suffix;
    c.isPrimaryKey = row.key == "PRI";
    return c;
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

AccessTableStructure buildTableStructure(const std::string& table,
                                         const std::vector<MySqlColumnRow>& columns,
                                         const std::vector<MySqlKeyRow>& keys) {
    AccessTableStructure s;
    s.columnDefinitions.reserve(columns.size());
    for (const MySqlColumnRow& row : columns) s.columnDefinitions.push_back(accessColumnFor(row));
    // Access cannot index memo and long binary columns: a key over one (a
    // MySQL key on a prefix of a blob or text) would make the whole CREATE
    // TABLE fail and the data stay behind, so such a table gets no key.
    bool keyUnindexable = std::any_of(s.columnDefinitions.begin(), s.columnDefinitions.end(), [](const AccessColumn& c) {
        return c.isPrimaryKey && (c.typeText == "memo" || c.typeText == "longbinary");
    });
    if (keyUnindexable)
        for (AccessColumn& c : s.columnDefinitions) c.isPrimaryKey = false;
    s.indexStatements = indexStatementsFor(table, keys);
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
