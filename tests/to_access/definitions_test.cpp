// Access table definitions from MySQL column and key rows, and the reading of
// MySQL date texts.
#include <gtest/gtest.h>

#include "mysql/mysql_field.h"
#include "to_access/date_change.h"
#include "to_access/access_definitions.h"

namespace veltrano {
namespace {

struct TypeCase {
    const char* mysql;
    const char* word;
    const char* suffix;
};

TEST(AccessTypeFor, WordListAndLengths) {
    const TypeCase cases[] = {
        {"tinyint(4)", "integer", ""},
        {"tinyint(1)", "integer", ""},
        {"smallint(5) unsigned", "integer", ""},
        {"mediumint(8) unsigned", "integer", ""},
        {"int(11)", "integer", ""},
        {"float", "double", ""},
        {"double(10,3) unsigned", "double", ""},
        {"decimal(10,2)", "number", ""},
        {"decimal(15,5)", "number", ""},
        {"date", "datetime", ""},
        {"datetime", "datetime", ""},
        {"timestamp(14)", "datetime", ""},
        {"time", "datetime", ""},
        {"year(4)", "number", ""},
        {"varchar(50)", "varchar", "(50)"},
        {"varchar(255) binary", "varchar", "(255)"},
        {"char(1)", "char", "(1)"},
        {"tinytext", "char(255)", ""},
        {"text", "memo", ""},
        {"mediumtext", "memo", ""},
        {"longtext", "memo", ""},
        {"enum('a','b')", "char(20)", ""},
        {"set('x','y')", "char(20)", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(access_type_for(c.mysql), c.word) << c.mysql;
        EXPECT_EQ(size_suffix_for(c.mysql), c.suffix) << c.mysql;
    }
}

// Types whose listed word would lose values or make the statement fail get a
// word that holds them.
TEST(AccessTypeFor, TypesTheWordListCannotHoldGetAWiderType) {
    const TypeCase cases[] = {
        {"bigint(20)", "decimal(19,0)", ""},
        {"bigint(20) unsigned", "decimal(20,0)", ""},
        {"int(10) unsigned", "decimal(10,0)", ""},
        {"int(10) unsigned zerofill", "decimal(10,0)", ""},
        {"int unsigned", "decimal(10,0)", ""},
        {"decimal(16,2)", "decimal(16,2)", ""},
        {"decimal(28,10) unsigned", "decimal(28,10)", ""},
        {"decimal(40,5)", "varchar", "(42)"},
        {"decimal(65,30)", "varchar", "(67)"},
        {"varchar(256)", "memo", ""},
        {"char(255)", "char", "(255)"},
        {"varchar(1000)", "memo", ""},
        {"binary(16)", "longbinary", ""},
        {"varbinary(200)", "longbinary", ""},
        {"bit(1)", "longbinary", ""},
        {"bit(64)", "longbinary", ""},
        {"tinyblob", "longbinary", ""},
        {"blob", "longbinary", ""},
        {"mediumblob", "longbinary", ""},
        {"longblob", "longbinary", ""},
        {"geometry", "longbinary", ""},
        {"point", "longbinary", ""},
        {"multipoint", "longbinary", ""},
        {"polygon", "longbinary", ""},
        {"json", "memo", ""},
        {"uuid", "memo", ""},
        {"inet6", "memo", ""},
        // Enum and set values are data, not type words.
        {"enum('date','time')", "char(20)", ""},
        {"enum('point')", "char(20)", ""},
        {"enum('char','x')", "char(20)", ""},
        {"enum('a much longer value than twenty','b')", "varchar", "(31)"},
        {"set('alpha','beta','gamma','delta')", "varchar", "(22)"},
        {"enum('it''s','no')", "char(20)", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(access_type_for(c.mysql), c.word) << c.mysql;
        EXPECT_EQ(size_suffix_for(c.mysql), c.suffix) << c.mysql;
    }
}

// Access counts text in UTF-16 units: a character set with characters beyond
// the BMP needs two per character.
TEST(AccessColumnFor, TextLengthsInUtf16Units) {
    auto column = [](const char* type, const char* collation, int64_t longest = -1) {
        MySqlColumnRow row{"c", type, "", ""};
        row.collation = collation;
        row.longestUnits = longest;
        AccessColumn c = accessColumnFor(row);
        return c.typeText + c.sizeSuffix;
    };
    EXPECT_EQ(column("varchar(5)", "utf8mb4_general_ci"), "varchar(10)");
    EXPECT_EQ(column("char(3)", "utf16_bin"), "char(6)");
    EXPECT_EQ(column("varchar(200)", "latin1_swedish_ci"), "varchar(200)");
    EXPECT_EQ(column("varchar(200)", "utf8mb3_general_ci"), "varchar(200)");
    EXPECT_EQ(column("varchar(200)", "utf8mb4_general_ci"), "memo");  // not measured
    EXPECT_EQ(column("varchar(200)", "utf8mb4_general_ci", 255), "varchar(255)");
    EXPECT_EQ(column("varchar(200)", "utf8mb4_general_ci", 256), "memo");
    EXPECT_EQ(column("char(0)", "latin1_swedish_ci"), "char(1)");
    EXPECT_EQ(access_type_for("enum('😀😀😀😀😀😀😀😀😀😀😀','x')"), "varchar");
    EXPECT_EQ(size_suffix_for("enum('😀😀😀😀😀😀😀😀😀😀😀','x')"), "(22)");

    for (const char* c : {"utf8mb4_bin", "utf8mb4_nopad_bin", "utf8mb4_0900_ai_ci", "latin1_general_cs", "binary",
                          "utf8mb4_general_nopad_ci"})
        EXPECT_TRUE(comparesBeyondAccess(c)) << c;
    for (const char* c : {"", "utf8mb4_general_ci", "latin1_swedish_ci", "utf8mb4_unicode_520_ci"})
        EXPECT_FALSE(comparesBeyondAccess(c)) << c;
}

TEST(TableDefinition, ColumnsKeyAndIndexesAsJetStatements) {
    std::vector<MySqlColumnRow> cols = {
        {"id", "int(11)", "PRI", "auto_increment"},
        {"name", "varchar(50)", "", ""},
        {"price", "decimal(10,2)", "", ""},
    };
    auto s = buildTableStructure("t", cols, {{"0", "PRIMARY", "id"}});
    EXPECT_EQ(tableDefinitionText("t", s.columnDefinitions),
              "CREATE TABLE [t]([id] identity,[name] varchar(50),[price] number,"
              "CONSTRAINT PrimaryKey primary key([id]));");
    EXPECT_TRUE(s.indexStatements.empty());

    // Composite key in table order, not key order; no key gives no clause.
    std::vector<MySqlColumnRow> two = {{"b", "int(11)", "PRI", ""}, {"a", "char(2)", "PRI", ""}};
    EXPECT_EQ(primary_key_clause(buildTableStructure("x", two, {}).columnDefinitions),
              ",CONSTRAINT PrimaryKey primary key([b],[a])");
    std::vector<MySqlColumnRow> plain = {{"a", "int(11)", "", ""}};
    EXPECT_EQ(tableDefinitionText("t", buildTableStructure("t", plain, {}).columnDefinitions),
              "CREATE TABLE [t]([a] integer);");
    EXPECT_EQ(tableDefinitionText("t", {}), "");

    // Access cannot index a long binary or memo column: no key rather than no table.
    std::vector<MySqlColumnRow> blobKey = {{"name", "varchar(50)", "", ""}, {"data", "blob", "PRI", ""}};
    EXPECT_EQ(tableDefinitionText("g", buildTableStructure("g", blobKey, {}).columnDefinitions),
              "CREATE TABLE [g]([name] varchar(50),[data] longbinary);");

    std::vector<MySqlKeyRow> keys = {
        {"0", "PRIMARY", "id"},   {"0", "u_code", "code"}, {"0", "u_code", "lang"},
        {"1", "k", "c"},          {"1", "name two", "x y"},
    };
    auto idx = indexStatementsFor("items", keys);
    ASSERT_EQ(idx.size(), 3u);
    EXPECT_EQ(idx[0], "CREATE UNIQUE INDEX [u_code] ON [items] ( [code], [lang]);");
    EXPECT_EQ(idx[1], "CREATE INDEX [k] ON [items] ( [c]);");
    EXPECT_EQ(idx[2], "CREATE INDEX [name two] ON [items] ( [x y]);");
}

// Characters Access refuses in names would make the statements fail and the
// table's data stay behind.
TEST(TableDefinition, NamesAccessRefusesAreMadeAcceptable) {
    std::vector<MySqlColumnRow> cols = {{"unit [kg]", "double", "", ""}, {"a.b!c`d", "int(11)", "", ""},
                                        {" lead", "int(11)", "", ""}};
    auto s = buildTableStructure("odd [t].x", cols, {{"1", "k[1]", "unit [kg]"}});
    EXPECT_EQ(tableDefinitionText("odd [t].x", s.columnDefinitions),
              "CREATE TABLE [odd _t__x]([unit _kg_] double,[a_b_c_d] integer,[lead] integer);");
    EXPECT_EQ(s.indexStatements.at(0), "CREATE INDEX [k_1_] ON [odd _t__x] ( [unit _kg_]);");
    EXPECT_EQ(accessName("Crème brûlée 名前"), "Crème brûlée 名前");
}

TEST(MysqlQuoted, BackquotesInNamesCannotEndTheQuoting) {
    EXPECT_EQ(mysqlQuoted("plain"), "`plain`");
    EXPECT_EQ(mysqlQuoted("a`b"), "`a``b`");
    EXPECT_EQ(mysqlQuoted("x`; drop table y; `"), "`x``; drop table y; ```");
}

double ole(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return calendarToOleDate({y, m, d, h, mi, s, ms});
}

TEST(DateChange, ReadsDateTextsDirectlyWithTheirTime) {
    EXPECT_EQ(date_change(FieldValue("2003-01-05")), FieldValue::dateTime(ole(2003, 1, 5)));
    EXPECT_EQ(date_change(FieldValue("1999-12-31 23:59:59")),
              FieldValue::dateTime(ole(1999, 12, 31, 23, 59, 59)));
    EXPECT_DOUBLE_EQ(date_change(FieldValue("2020-02-29 12:00:00.250")).asDateTime(),
                     ole(2020, 2, 29, 12, 0, 0, 250));
    // Before Access's zero day the time is still a positive fraction.
    EXPECT_EQ(formatOleDate(date_change(FieldValue("1899-12-29 06:00:00")).asDateTime()),
              "1899-12-29 06:00:00");
    EXPECT_EQ(formatOleDate(date_change(FieldValue("1000-01-01 00:00:01")).asDateTime()),
              "1000-01-01 00:00:01");
}

// A binary read's date parts give what their text gives, Null included.
TEST(DateChange, DatePartsGiveWhatTheirTextGives) {
    struct Case {
        const char* text;
        MySqlTimeParts parts;
    };
    const int32_t kDate = kMySqlTypeDate, kDateTime = kMySqlTypeDateTime, kTime = kMySqlTypeTime;
    const Case cases[] = {
        {"2003-01-05", {kDate, false, 2003, 1, 5, 0, 0, 0, 0}},
        {"1999-12-31 23:59:59", {kDateTime, false, 1999, 12, 31, 23, 59, 59, 0}},
        {"2020-02-29 12:00:00.000500", {kDateTime, false, 2020, 2, 29, 12, 0, 0, 500}},
        {"2020-02-29 12:00:00.000499", {kDateTime, false, 2020, 2, 29, 12, 0, 0, 499}},
        {"2020-02-29 23:59:59.999999", {kDateTime, false, 2020, 2, 29, 23, 59, 59, 999999}},
        {"1899-12-29 06:00:00", {kDateTime, false, 1899, 12, 29, 6, 0, 0, 0}},
        {"0000-00-00 00:00:00", {kDateTime, false, 0, 0, 0, 0, 0, 0, 0}},
        {"2003-00-10", {kDate, false, 2003, 0, 10, 0, 0, 0, 0}},
        {"2003-02-30 01:02:03", {kDateTime, false, 2003, 2, 30, 1, 2, 3, 0}},
        {"0099-05-01", {kDate, false, 99, 5, 1, 0, 0, 0, 0}},
        {"838:59:59", {kTime, false, 0, 0, 0, 838, 59, 59, 0}},
        {"-01:30:00.5", {kTime, true, 0, 0, 0, 1, 30, 0, 500000}},
        {"00:00:00", {kTime, false, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(date_change(c.parts), date_change(FieldValue(c.text))) << c.text;
}

TEST(DateChange, TimeIsThatTimeOnAccessZeroDay) {
    EXPECT_DOUBLE_EQ(date_change(FieldValue("10:20:30")).asDateTime(), ole(1899, 12, 30, 10, 20, 30));
    EXPECT_DOUBLE_EQ(date_change(FieldValue("00:00:00")).asDateTime(), 0.0);
    EXPECT_EQ(formatOleDate(date_change(FieldValue("838:59:59")).asDateTime()),
              "1900-02-02 22:59:59");
    EXPECT_EQ(formatOleDate(date_change(FieldValue("-01:30:00")).asDateTime()),
              "1899-12-29 22:30:00");
}

TEST(DateChange, ZeroImpossibleAndMissingDatesAreNull) {
    for (const char* t : {"0000-00-00", "0000-00-00 00:00:00", "2003-00-10", "2003-04-00",
                          "2003-02-29", "2003-13-01"})
        EXPECT_TRUE(date_change(FieldValue(t)).isNull()) << t;
    EXPECT_TRUE(date_change(FieldValue::null()).isNull());
    EXPECT_TRUE(date_change(FieldValue()).isNull());
    // Texts that are no date are handed on for the target to judge.
    for (const char* t : {"", "yesterday", "2003-01-05 25:00:00", "12:60:00", "2003/01/05"})
        EXPECT_EQ(date_change(FieldValue(t)), FieldValue(t)) << t;
}

}  // namespace
}  // namespace veltrano
