#include "to_mysql/run_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "mysql/mysql_rs.h"

namespace veltrano::tomysql::test {

const Login* testServer() {
    static const Login* login = []() -> const Login* {
        const char* host = std::getenv("VELTRANO_TEST_MYSQL_HOST");
        const char* port = std::getenv("VELTRANO_TEST_MYSQL_PORT");
        if (!host || !*host || !port || !*port) return nullptr;
        auto* l = new Login;
        l->host = host;
        l->port = std::atoi(port);
        const char* user = std::getenv("VELTRANO_TEST_MYSQL_USER");
        const char* password = std::getenv("VELTRANO_TEST_MYSQL_PASSWORD");
        l->user = user && *user ? user : "root";
        l->password = password ? password : "";
        return l;
    }();
    return login;
}

bool openTestConnection(MYSQL_CONNECTION& conn) {
    const Login* s = testServer();
    return s && conn.OpenConnection(s->host, s->user, s->password, "", s->port, 0) == 0;
}

std::string scalar(MYSQL_CONNECTION& conn, const std::string& sql) {
    auto rs = conn.Execute(sql);
    EXPECT_EQ(conn.Error().Number(), 0) << sql << ": " << conn.Error().Description();
    if (rs->State() != 0 || rs->RecordCount() < 1) return "<NONE>";
    rs->MoveFirst();
    FieldValue v = rs->Fields(0).Value();
    return v.isText() ? v.asText() : "<NULL>";
}

std::vector<std::string> rows(MYSQL_CONNECTION& conn, const std::string& sql) {
    std::vector<std::string> out;
    auto rs = conn.Execute(sql);
    EXPECT_EQ(conn.Error().Number(), 0) << sql << ": " << conn.Error().Description();
    if (rs->State() != 0) return out;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
        std::string line;
        for (int32_t i = 0; i < rs->FieldCount(); ++i) {
            if (i) line += '|';
            FieldValue v = rs->Fields(i).Value();
            line += v.isText() ? v.asText() : "<NULL>";
        }
        out.push_back(line);
    }
    return out;
}

std::string uniqueName(const std::string& tag) {
    static std::atomic<int> counter{0};
    return "vt_tm_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" + tag;
}

void dropDatabase(const std::string& name) {
    MYSQL_CONNECTION c;
    if (openTestConnection(c)) c.Execute("DROP DATABASE IF EXISTS `" + name + "`");
}

int ScriptedHost::ask(const std::string& text, int buttonSet, int) {
    told.push_back({text, buttonSet});
    if (buttonSet == kSetOk) return kOk;
    if (answers.empty()) return kClosed;
    int a = answers.front();
    answers.pop_front();
    return a;
}

std::vector<std::string> ScriptedHost::texts() const {
    std::vector<std::string> out;
    for (const auto& t : told) out.push_back(t.text);
    return out;
}

namespace {
class FakeRows : public SourceRows {
public:
    explicit FakeRows(const FakeSource::Table& t) : t_(t) { row_.resize(t.columns.size()); }
    const std::vector<std::string>& columnNames() const override { return t_.columns; }
    bool next() override {
        if (t_.generate) {
            if (next_ >= t_.generatedRows) return false;
            t_.generate(next_++, row_);
            return true;
        }
        if (next_ >= static_cast<int64_t>(t_.rows.size())) return false;
        row_ = t_.rows[static_cast<size_t>(next_++)];
        return true;
    }
    const FieldValue& value(size_t i) const override { return row_[i]; }

private:
    const FakeSource::Table& t_;
    std::vector<FieldValue> row_;
    int64_t next_ = 0;
};
}  // namespace

FakeSource::FakeSource() {
    types[2] = "SHORT";
    types[3] = "LONG";
    types[4] = "SINGLE";
    types[5] = "DOUBLE";
    types[6] = "CURRENCY";
    types[7] = "DATETIME";
    types[11] = "BIT";
    types[17] = "BYTE";
    types[72] = "GUID";
    types[128] = "VARBINARY";
    types[130] = "VARCHAR";
    types[131] = "DECIMAL";
}

FakeSource::Table& FakeSource::add(const std::string& name) {
    tables.emplace_back();
    tables.back().schema.name = name;
    return tables.back();
}

FakeSource::Table* FakeSource::find(const std::string& name) {
    for (auto& t : tables)
        if (t.schema.name == name) return &t;
    return nullptr;
}

access::Result<std::vector<std::string>> FakeSource::tableNames() {
    std::vector<std::string> out;
    for (const auto& t : tables) out.push_back(t.schema.name);
    return out;
}

access::Status FakeSource::readSchema(const std::string& table, TableSchema& schema) {
    Table* t = find(table);
    if (!t) return access::Status::notFound("no table " + table);
    schema = t->schema;
    return access::Status::ok();
}

access::Result<int64_t> FakeSource::countRows(const std::string& table) {
    Table* t = find(table);
    if (!t) return access::Status::notFound("no table " + table);
    return t->generate ? t->generatedRows : static_cast<int64_t>(t->rows.size());
}

access::Result<std::unique_ptr<SourceRows>> FakeSource::openRows(const std::string& table) {
    Table* t = find(table);
    if (!t) return access::Status::notFound("no table " + table);
    return std::unique_ptr<SourceRows>(std::make_unique<FakeRows>(*t));
}

void addColumn(FakeSource::Table& t, const std::string& name, int dataType, std::optional<int64_t> length,
               bool autoIncrement) {
    SchemaColumn c;
    c.ordinalPosition = static_cast<int>(t.schema.columns.size()) + 1;
    c.columnName = name;
    c.dataType = dataType;
    c.characterMaximumLength = length;
    t.schema.columns.push_back(c);
    t.schema.catalogColumns.push_back({name, dataType == 130 && length && *length == 0 ? kTypeLongText : dataType,
                                       autoIncrement});
    t.columns.push_back(name);
}

}  // namespace veltrano::tomysql::test

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "access/provider/provider.h"
#include "to_mysql/provider_source.h"

namespace veltrano::tomysql::test {

namespace {

std::string canonicalNumber(const std::string& t, bool single) {
    double d = std::strtod(t.c_str(), nullptr);
    char buf[64];
    // MySQL's text of a FLOAT has 6 significant digits (2583.2092 reads as 2583.21): compare at that.
    if (single) return std::string(buf, static_cast<size_t>(std::snprintf(buf, sizeof buf, "%.6g", static_cast<float>(d))));
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

// Decimal text without a minus on zero and without trailing zeros.
std::string canonicalDecimal(std::string t) {
    if (t.find('.') != std::string::npos) {
        while (!t.empty() && t.back() == '0') t.pop_back();
        if (!t.empty() && t.back() == '.') t.pop_back();
    }
    if (t == "-0") t = "0";
    return t;
}

std::string canonicalCell(const FieldValue& v, const std::string& type) {
    if (v.isNull() || v.isEmpty()) return "\\N";
    if (v.isDateTime()) return formatOleDate(v.asDateTime()).substr(0, 19);
    if (v.isBoolean()) return v.asBoolean() ? "1" : "0";
    std::string t = v.isText() ? v.asText() : v.toDisplayText();
    // Access keeps 100 ns, DATETIME(6) microseconds; MySQL always prints six digits.
    if (type == "DATETIME(6)") return (t.size() == 19 ? t + ".000000" : t).substr(0, 26);
    if (type == "FLOAT") return canonicalNumber(t, true);
    if (type == "DOUBLE") return canonicalNumber(t, false);
    if (type.rfind("DECIMAL", 0) == 0 || type == "INT" || type == "SMALLINT" || type.rfind("TINYINT", 0) == 0)
        return canonicalDecimal(t);
    return t;
}

}  // namespace

std::vector<SampleFile> sampleFiles() {
    std::vector<SampleFile> out;
    for (const auto& e : std::filesystem::directory_iterator(VELTRANO_TESTDATA_DIR)) {
        if (e.path().extension() != ".mdb") continue;
        const std::string name = e.path().filename().string();
        out.push_back({e.path().string(), name.find("with-password") != std::string::npos ? "password" : ""});
    }
    std::sort(out.begin(), out.end(), [](const SampleFile& a, const SampleFile& b) { return a.path < b.path; });
    return out;
}

void expectSameAsSource(MYSQL_CONNECTION& conn, const std::string& db, const std::string& mdbPath,
                        const std::string& password, bool convertSpaces, size_t refused) {
    SCOPED_TRACE(mdbPath);
    access::Connection cnn;
    ASSERT_TRUE(cnn.open(accessConnectionString(mdbPath, !password.empty(), password)).isOk());
    ProviderSource source(cnn);
    const TypeNames types = source.typeNames();
    auto names = source.tableNames();
    ASSERT_TRUE(names.isOk()) << names.status().description();
    for (const std::string& name : *names) {
        SCOPED_TRACE(name);
        TableSchema schema;
        access::Status st = source.readSchema(name, schema);
        ASSERT_TRUE(st.isOk()) << st.description();
        TableDefinition def = buildTableDefinition(schema, types, convertSpaces);
        createTableStatement(def, convertSpaces);
        const std::string table = mysqlName(name, convertSpaces);
        const std::string where = " WHERE TABLE_SCHEMA = '" + db + "' AND TABLE_NAME = '" + table + "'";

        EXPECT_EQ(scalar(conn, "SELECT COUNT(*) FROM information_schema.COLUMNS" + where),
                  std::to_string(schema.columns.size()));
        std::vector<std::string> key;
        for (const auto& c : schema.primaryKeyColumns) key.push_back(mysqlName(c, convertSpaces));
        std::sort(key.begin(), key.end());
        std::string keyText;
        for (const auto& k : key) keyText += (keyText.empty() ? "" : ",") + k;
        std::string got = scalar(conn, "SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY COLUMN_NAME) FROM "
                                       "information_schema.STATISTICS" + where + " AND INDEX_NAME = 'PRIMARY'");
        EXPECT_EQ(got == "<NULL>" ? "" : got, keyText);
        size_t indexes = 0;
        for (const auto& ix : schema.indexes) indexes += ix.primaryKey ? 0 : 1;
        if (def.keyClauses.size() >= 8 && def.keyClauses.find(", KEY (`") != std::string::npos) ++indexes;
        // The index MySQL makes behind each foreign key is not one of the table's.
        EXPECT_EQ(scalar(conn, "SELECT COUNT(DISTINCT INDEX_NAME) FROM information_schema.STATISTICS" + where +
                                   " AND INDEX_NAME <> 'PRIMARY' AND INDEX_NAME NOT IN (SELECT CONSTRAINT_NAME FROM "
                                   "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = TABLE_SCHEMA)"),
                  std::to_string(indexes));

        // Rows, as multisets of canonical lines.
        auto opened = source.openRows(name);
        ASSERT_TRUE(opened.isOk()) << opened.status().description();
        auto& rowsRead = *opened;
        std::vector<size_t> fieldOf;
        for (const auto& c : def.columns) {
            const auto& names = rowsRead->columnNames();
            fieldOf.push_back(static_cast<size_t>(std::find(names.begin(), names.end(), c.name) - names.begin()));
        }
        std::vector<std::string> expected;
        while (rowsRead->next()) {
            std::string line;
            for (size_t k = 0; k < def.columns.size(); ++k)
                line += canonicalCell(rowsRead->value(fieldOf[k]), def.columns[k].typeName) + '\x1F';
            expected.push_back(line);
        }
        std::vector<std::string> actual;
        auto rs = conn.Execute("SELECT * FROM `" + db + "`.`" + table + "`");
        ASSERT_EQ(conn.Error().Number(), 0) << conn.Error().Description();
        if (rs->State() == 0 && rs->RecordCount() > 0) {
            for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
                std::string line;
                for (size_t k = 0; k < def.columns.size(); ++k)
                    line += canonicalCell(rs->Fields(static_cast<int32_t>(k)).Value(), def.columns[k].typeName) + '\x1F';
                actual.push_back(line);
            }
        }
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        EXPECT_EQ(actual.size() + refused, expected.size());
        const bool contained = std::includes(expected.begin(), expected.end(), actual.begin(), actual.end());
        EXPECT_TRUE(contained);
        if (!contained && !actual.empty() && !expected.empty())
            ADD_FAILURE() << "first row read: " << expected[0] << "\nfirst row stored: " << actual[0];
    }
}

}  // namespace veltrano::tomysql::test
