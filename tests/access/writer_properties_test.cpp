// Table and column properties the writer keeps (Required, DefaultValue and
// whatever else a caller hands over): the DEFAULT syntax, reading them back
// with our reader and with mdbtools, Required refusing null rows, the long
// value of big property sets through DROP TABLE and a refused statement, and
// a copy of a sample keeping the properties of its tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "access/read/database.h"
#include "access/sql/jet_sql.h"
#include "access/write/writer.h"
#include "testutil.h"
#include "writer_check.h"

namespace {

using namespace veltrano::access;
using veltrano::FieldValue;
using writer_test::shellQuote;

std::string firstColumnDefault(const std::string& sql) {
    auto r = parseJetSql(sql);
    if (!r.isOk()) return "<refused " + r.status().description() + ">";
    const auto& col = std::get<CreateTableStmt>(r.value()).columns.at(0);
    return col.hasDefault ? col.defaultValue : "<none>";
}

TEST(WriterProperties, DefaultLiteralsAreKeptAsWrittenAndMalformedOnesRefused) {
    struct Case {
        const char* column;
        const char* want;
    };
    for (const Case& c : {Case{"[a] double NOT NULL DEFAULT -1.5", "-1.5"}, Case{"[a] long DEFAULT 2e3 NOT NULL", "2e3"},
                          Case{"[a] text(10) DEFAULT 'it''s, (really)'", "'it''s, (really)'"},
                          Case{"[a] text(10) DEFAULT \"x\"", "\"x\""}, Case{"[a] guid DEFAULT GenGUID()", "GenGUID()"},
                          Case{"[a] datetime DEFAULT Now ( )", "Now ( )"}, Case{"[a] bit DEFAULT True", "True"},
                          Case{"[a] text(5) DEFAULT Left('abcdef', 3)", "Left('abcdef', 3)"},
                          Case{"[a] long DEFAULT +7 PRIMARY KEY", "+7"}, Case{"[a] long NULL", "<none>"}}) {
        EXPECT_EQ(firstColumnDefault(std::string("CREATE TABLE [t](") + c.column + ",[b] long);"), c.want) << c.column;
    }
    for (const char* bad : {"[a] long DEFAULT", "[a] long DEFAULT ,[b] long", "[a] long DEFAULT Now(", "[a] text DEFAULT 'abc",
                            "[a] long DEFAULT 1 DEFAULT 2", "[a] long DEFAULT f(x)", "[a] long DEFAULT -", "[a] text(2.5)",
                            "[a] long DEFAULT (1)"}) {
        auto r = parseJetSql(std::string("CREATE TABLE [t](") + bad + ");");
        ASSERT_FALSE(r.isOk()) << bad;
        EXPECT_EQ(r.status().code(), 0x80040E14u) << bad;
    }
    EXPECT_FALSE(parseJetSql("CREATE TABLE [t]([a] text DEFAULT '" + std::string(300, 'x') + "');").isOk());
}

struct Fixture {
    std::string dir, file;
    WriteConnection c;
    explicit Fixture(const std::string& name) {
        dir = writer_test::tempDir(name);
        file = dir + "/db.mdb";
        EXPECT_TRUE(createDatabase(file).isOk());
        EXPECT_TRUE(c.open(file, "").isOk());
    }
    void exec(const std::string& sql, const std::vector<ObjectProperties>& props = {}) {
        Status s = props.empty() ? c.execute(sql) : c.execute(sql, props);
        ASSERT_TRUE(s.isOk()) << sql << ": " << s.description();
    }
};

Value text(const std::string& s) { return Value::ofBytes(ValueKind::Text, s); }

const Value* findProperty(const std::vector<PropertySet>& sets, const std::string& object, const std::string& name) {
    for (const auto& s : sets)
        if (s.objectName == object)
            if (const Value* v = s.find(name)) return v;
    return nullptr;
}

TEST(WriterProperties, RequiredDefaultsAndGivenPropertiesReadBackByOurReaderAndMdbtools) {
    Fixture f("props-read");
    const std::string longRule = "Len([note]) < 1000 And [note] Not Like '*" + std::string(300, 'z') + "*'";
    f.exec("CREATE TABLE [items]([id] identity,[code] text(8) NOT NULL,[qty] long NOT NULL DEFAULT 0,"
           "[note] text(200) DEFAULT 'none',[g] autoguid,[when] datetime DEFAULT Now(),"
           "CONSTRAINT PrimaryKey primary key([id]));",
           {{"", {{"Description", text("Stock items"), 0}}},
            {"code", {{"Caption", text("Code"), 0}, {"AllowZeroLength", Value::ofInteger(ValueKind::Boolean, 0), 1}}},
            {"qty", {{"DecimalPlaces", Value::ofInteger(ValueKind::Byte, 2), 0}, {"ColumnWidth", Value::ofInteger(ValueKind::Integer, -1), 0},
                     {"Scale", Value::ofReal(ValueKind::Double, 2.5), 0}}},
            {"note", {{"ValidationRule", text(longRule), 1}, {"Odd", Value::ofBytes(ValueKind::Decimal, "1.5"), 0}}}});
    f.exec("CREATE TABLE [small]([a] long NOT NULL);");
    f.exec("CREATE TABLE [plain]([a] long);");
    ASSERT_TRUE(f.c.close().isOk());

    auto db = Database::open(f.file);
    ASSERT_TRUE(db.isOk()) << db.status().description();
    auto def = (*db)->tableDef("items");
    ASSERT_TRUE(def.isOk());
    const TableDef& t = **def;
    EXPECT_TRUE(t.columnByName("code")->required);
    EXPECT_TRUE(t.columnByName("qty")->required);
    EXPECT_FALSE(t.columnByName("note")->required);
    EXPECT_EQ(t.columnByName("qty")->defaultValue, "0");
    EXPECT_EQ(t.columnByName("note")->defaultValue, "'none'");
    EXPECT_EQ(t.columnByName("g")->defaultValue, "GenGUID()");  // as Access gives GUID auto-numbers
    EXPECT_EQ(t.columnByName("when")->defaultValue, "Now()");
    EXPECT_FALSE(t.columnByName("id")->hasDefault);
    for (const auto& c : t.columns)  // Access keeps 0x02 on Required columns too
        EXPECT_TRUE(c.flags & column_flag::kNullable) << c.name;
    auto sets = (*db)->tableProperties("items");
    ASSERT_TRUE(sets.isOk());
    ASSERT_FALSE(sets->empty());
    EXPECT_EQ(sets->front().objectName, "");  // the table's block first
    const Value* v = findProperty(*sets, "", "Description");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->bytes, "Stock items");
    ASSERT_TRUE((v = findProperty(*sets, "qty", "DecimalPlaces")));
    EXPECT_EQ(v->kind, ValueKind::Byte);
    EXPECT_EQ(v->integer, 2);
    ASSERT_TRUE((v = findProperty(*sets, "qty", "ColumnWidth")));
    EXPECT_EQ(v->integer, -1);
    ASSERT_TRUE((v = findProperty(*sets, "qty", "Scale")));
    EXPECT_EQ(v->real, 2.5);
    ASSERT_TRUE((v = findProperty(*sets, "note", "ValidationRule")));
    EXPECT_EQ(v->bytes, longRule);
    EXPECT_FALSE(findProperty(*sets, "note", "Odd"));  // a kind properties do not hold is left out
    ASSERT_TRUE((v = findProperty(*sets, "code", "AllowZeroLength")));
    EXPECT_EQ(v->integer, 0);
    EXPECT_TRUE((*(*db)->tableDef("small"))->columnByName("a")->required);
    EXPECT_TRUE((*db)->tableProperties("plain")->empty());  // no blob at all
    db->reset();

    std::string schema, props;
    writer_test::run("mdb-schema " + shellQuote(f.file) + " access 2>&1", &schema);
    for (const char* want : {"[code]\t\t\tText (8) NOT NULL", "[qty]\t\t\tLong Integer NOT NULL", "[note]\t\t\tText (200),"})
        EXPECT_NE(schema.find(want), std::string::npos) << want << "\n" << schema;
    writer_test::run("mdb-prop " + shellQuote(f.file) + " items 2>&1", &props);
    for (const char* want : {"Description: Stock items", "DefaultValue: GenGUID()", "DecimalPlaces: 2", "Caption: Code",
                             "Required: yes", "DefaultValue: 'none'"})
        EXPECT_NE(props.find(want), std::string::npos) << want << "\n" << props;
    auto rep = writer_test::checkIndexes(f.file);
    for (const auto& p : rep.problems) ADD_FAILURE() << p;
}

TEST(WriterProperties, RequiredColumnsRefuseRowsThatLeaveThemNull) {
    Fixture f("props-required");
    f.exec("CREATE TABLE [r]([id] identity NOT NULL,[need] text(5) NOT NULL,[dflt] long NOT NULL DEFAULT 1,[opt] long);");
    auto a = f.c.openTableForAppend("r");
    ASSERT_TRUE(a.isOk()) << a.status().description();
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(3, FieldValue(5)).isOk());
    Status s = a->update();
    EXPECT_FALSE(s.isOk());
    EXPECT_NE(s.description().find("'need' cannot contain a Null value"), std::string::npos) << s.description();
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(1, FieldValue("x")).isOk());
    ASSERT_TRUE(a->setField(1, FieldValue::null()).isOk());  // the last assignment counts
    EXPECT_FALSE(a->update().isOk());
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(1, FieldValue("")).isOk());  // an empty text is not null
    EXPECT_TRUE(a->update().isOk());
    ASSERT_TRUE(a->addNew().isOk());  // a new row starts over
    EXPECT_FALSE(a->update().isOk());
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(f.c.close().isOk());
    auto db = Database::open(f.file);
    ASSERT_TRUE(db.isOk());
    EXPECT_EQ(*(*db)->countRows("r"), 1u);
}

TEST(WriterProperties, ConstantDefaultsFillFieldsARowLeavesUnassigned) {
    EXPECT_EQ(defaultFieldValue(" -2.5e1 ")->asNumber(), -25.0);
    EXPECT_EQ(defaultFieldValue("='it''s'")->asText(), "it's");
    EXPECT_EQ(defaultFieldValue("\"a\"\"b\"")->asText(), "a\"b");
    EXPECT_TRUE(defaultFieldValue("Yes")->asBoolean());
    EXPECT_TRUE(defaultFieldValue("Null")->isNull());
    EXPECT_TRUE(defaultFieldValue("Date ( )")->isDateTime());
    for (const char* expression : {"Left('ab',1)", "'a' & 'b'", "0x10", "inf", "[x]*2", "1 + 1", "'open", "'a'b'", ""})
        EXPECT_FALSE(defaultFieldValue(expression).has_value()) << expression;

    Fixture f("props-defaults");
    f.exec("CREATE TABLE [d]([n] long DEFAULT 5,[t] text(10) DEFAULT 'it''s',[b] bit DEFAULT True,[w] datetime DEFAULT Now(),"
           "[e] double DEFAULT -2.5e1,[x] text(10) NOT NULL DEFAULT Left('ab',1),[r] long NOT NULL DEFAULT 7,[big] byte DEFAULT 300);");
    auto a = f.c.openTableForAppend("d");
    ASSERT_TRUE(a.isOk());
    ASSERT_TRUE(a->addNew().isOk());
    EXPECT_FALSE(a->update().isOk()) << "300 does not fit a byte";
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(0, FieldValue::null()).isOk());  // an assigned null stays null
    ASSERT_TRUE(a->setField(7, FieldValue(1)).isOk());
    ASSERT_TRUE(a->update().isOk());  // [x]'s default cannot be worked out here, so its rule is not checked
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(f.c.close().isOk());
    auto db = Database::open(f.file);
    ASSERT_TRUE(db.isOk());
    auto cur = (*db)->openCursor("d");
    ASSERT_TRUE(cur.isOk());
    ASSERT_TRUE((*cur)->next());
    EXPECT_TRUE((*cur)->value(0).isNull());
    EXPECT_EQ((*cur)->value(1).bytes, "it's");
    EXPECT_EQ((*cur)->value(2).integer, 1);
    EXPECT_GT((*cur)->value(3).real, 45000.0);  // a date after 2023
    EXPECT_EQ((*cur)->value(4).real, -25.0);
    EXPECT_TRUE((*cur)->value(5).isNull());
    EXPECT_EQ((*cur)->value(6).integer, 7);
    EXPECT_FALSE((*cur)->next());
}

TEST(WriterProperties, BigPropertySetsSurviveDropAndRefusedStatementsAndFreeTheirPages) {
    Fixture f("props-drop");
    auto many = [](int n) {
        std::vector<ObjectProperties> props{{"", {}}};
        for (int i = 0; i < n; ++i)
            props[0].values.push_back({"P" + std::to_string(i), text(std::string(200, static_cast<char>('a' + i % 26))), 0});
        return props;
    };
    f.exec("CREATE TABLE [keep]([a] long NOT NULL);", many(3));      // one LVAL row
    f.exec("CREATE TABLE [huge]([a] long NOT NULL);", many(40));     // a chain of rows over pages
    f.exec("CREATE TABLE [mid]([a] long NOT NULL);", many(5));
    const auto before = veltrano::access::testing::readBytes(f.file);
    EXPECT_EQ(f.c.execute("CREATE TABLE [bad]([a] long);", {{"nope", {{"Caption", text("x"), 0}}}}).code(), 0x80040E14u);
    EXPECT_EQ(f.c.execute("CREATE TABLE [bad]([a] long DEFAULT 'x);").code(), 0x80040E14u);
    ASSERT_TRUE(f.c.close().isOk());
    EXPECT_TRUE(veltrano::access::testing::readBytes(f.file) == before) << "a refused statement changes nothing";
    ASSERT_TRUE(f.c.open(f.file, "").isOk());
    f.exec("DROP TABLE [huge]");
    f.exec("DROP TABLE [mid]");
    const auto size = std::filesystem::file_size(f.file);
    f.exec("CREATE TABLE [again]([a] long);", many(40));
    ASSERT_TRUE(f.c.close().isOk());
    EXPECT_EQ(std::filesystem::file_size(f.file), size) << "the dropped tables' property pages were reused";
    auto db = Database::open(f.file);
    ASSERT_TRUE(db.isOk());
    for (const char* table : {"keep", "again"}) {
        auto sets = (*db)->tableProperties(table);
        ASSERT_TRUE(sets.isOk());
        const Value* v = findProperty(*sets, "", "P2");
        ASSERT_TRUE(v) << table;
        EXPECT_EQ(v->bytes, std::string(200, 'c')) << table;
    }
    EXPECT_EQ(findProperty(*(*db)->tableProperties("again"), "", "P39")->bytes, std::string(200, 'n'));
    EXPECT_TRUE((*(*db)->tableDef("keep"))->columnByName("a")->required);
    db->reset();
    auto rep = writer_test::checkIndexes(f.file);
    for (const auto& p : rep.problems) ADD_FAILURE() << p;
    std::string props;
    writer_test::run("mdb-prop " + shellQuote(f.file) + " again 2>&1 | grep -c '^\tP'", &props);
    EXPECT_EQ(props, "40\n");
}

// mdb-prop lines of a table, sorted, without the GUIDs and NameMap that
// identify objects of one file.
std::string portableProps(const std::string& file, const std::string& table) {
    std::string out;
    writer_test::run("mdb-prop " + shellQuote(file) + " " + shellQuote(table) + " 2>&1 | grep -v -e 'GUID: {' -e 'NameMap:' | sort",
                     &out);
    return out;
}

TEST(WriterProperties, ACopyKeepsTheSourcesPropertiesRequiredAndDefaults) {
    const std::string cli = std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli";
    if (!std::filesystem::exists(cli)) GTEST_SKIP() << "veltrano-cli is not built";
    std::string dir = writer_test::tempDir("props-copy");
    for (const char* name : {"testV2000.mdb", "testV1997.mdb", "fixedTextTestV2000.mdb"}) {
        SCOPED_TRACE(name);
        const std::string src = std::string(VELTRANO_TESTDATA_DIR) + "/" + name, dest = dir + "/" + name;
        std::string log, tables, schemaSrc, schemaDest;
        ASSERT_EQ(writer_test::run(shellQuote(cli) + " copy " + shellQuote(src) + " " + shellQuote(dest) + " 2>&1", &log), 0) << log;
        writer_test::run("mdb-schema " + shellQuote(src) + " access 2>&1 | grep -v '^--'", &schemaSrc);
        writer_test::run("mdb-schema " + shellQuote(dest) + " access 2>&1 | grep -v '^--'", &schemaDest);
        EXPECT_EQ(schemaDest, schemaSrc);  // NOT NULL of Required columns included
        writer_test::run("mdb-tables -1 " + shellQuote(src), &tables);
        std::istringstream in(tables);
        for (std::string t; std::getline(in, t);) EXPECT_EQ(portableProps(dest, t), portableProps(src, t)) << t;
    }
    auto db = Database::open(dir + "/testV2000.mdb");
    ASSERT_TRUE(db.isOk());
    EXPECT_EQ((*(*db)->tableDef("Table4"))->columnByName("data")->defaultValue, "GenGUID()");
    EXPECT_TRUE((*(*db)->tableDef("Table1"))->columnByName("C")->hasDefault);
    db->reset();

    // Rows older than their column's Required rule (Access lets the rule be
    // added without testing them) are copied as they are.
    Fixture f("props-copy-src");
    f.exec("CREATE TABLE [late]([id] long,[t] text(5));", {{"t", {{"Required", Value::ofInteger(ValueKind::Boolean, 1), 1}}}});
    auto a = f.c.openTableForAppend("late");
    ASSERT_TRUE(a.isOk());
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(0, FieldValue(1)).isOk());
    EXPECT_FALSE(a->update().isOk());  // the rule holds for new rows
    a->acceptNullsInRequiredColumns();
    ASSERT_TRUE(a->update().isOk());
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(f.c.close().isOk());
    const std::string dest = dir + "/late.mdb";
    std::string log;
    ASSERT_EQ(writer_test::run(shellQuote(cli) + " copy " + shellQuote(f.file) + " " + shellQuote(dest) + " 2>&1", &log), 0) << log;
    auto copy = Database::open(dest);
    ASSERT_TRUE(copy.isOk());
    EXPECT_EQ(*(*copy)->countRows("late"), 1u);
    EXPECT_TRUE((*(*copy)->tableDef("late"))->columnByName("t")->required);
}

}  // namespace
