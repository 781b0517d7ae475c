// The Jet SQL the wizard sends, exactly as it builds it (blanks included),
// and the forms it must refuse.
#include <gtest/gtest.h>

#include "access/sql/jet_sql.h"

namespace {

using namespace veltrano::access;

TEST(WriteSql, TheWizardsStatementsParseWithTheirTypesAndKeys) {
    auto r = parseJetSql("CREATE TABLE [t]([id] identity,[name] varchar(50),[price] number,[big] long ,[e] char(20),"
                         "[c1] char(255),[m] memo,[d] datetime,CONSTRAINT PrimaryKey primary key([id],[name]));");
    ASSERT_TRUE(r.isOk()) << r.status().description();
    const auto& ct = std::get<CreateTableStmt>(r.value());
    EXPECT_EQ(ct.table, "t");
    ASSERT_EQ(ct.columns.size(), 8u);
    EXPECT_EQ(ct.primaryKeyName, "PrimaryKey");
    EXPECT_EQ(ct.primaryKey, (std::vector<std::string>{"id", "name"}));
    struct Want {
        ColumnType type;
        uint16_t length;
        bool autoNumber;
    };
    const Want want[] = {{ColumnType::Long, 4, true},    {ColumnType::Text, 100, false}, {ColumnType::Double, 8, false},
                         {ColumnType::Long, 4, false},   {ColumnType::Text, 40, false},  {ColumnType::Text, 510, false},
                         {ColumnType::Memo, 0, false},   {ColumnType::DateTime, 8, false}};
    for (size_t i = 0; i < 8; ++i) {
        auto columnType = resolveColumnType(ct.columns[i]);
        ASSERT_TRUE(columnType.isOk()) << i;
        EXPECT_EQ(columnType->type, want[i].type) << i;
        EXPECT_EQ(columnType->length, want[i].length) << i;
        EXPECT_EQ(columnType->autoNumber, want[i].autoNumber) << i;
    }
    auto ix = parseJetSql("CREATE UNIQUE INDEX [u_code] ON [items] ( [code], [lang]);");
    ASSERT_TRUE(ix.isOk());
    const auto& ci = std::get<CreateIndexStmt>(ix.value());
    EXPECT_TRUE(ci.unique);
    EXPECT_EQ(ci.table, "items");
    EXPECT_EQ(ci.columns.size(), 2u);
    auto drop = parseJetSql("DROP TABLE [odd name; with blanks]");
    ASSERT_TRUE(drop.isOk());
    EXPECT_EQ(std::get<DropTableStmt>(drop.value()).table, "odd name; with blanks");
    for (const char* word : {"byte", "short", "smallint", "single", "currency", "bit", "yesno", "text(10)",
                             "decimal(10,2)", "longbinary", "guid", "integer", "BIT", "Currency"}) {
        auto st = parseJetSql(std::string("CREATE TABLE [x]([a] ") + word + ");");
        ASSERT_TRUE(st.isOk()) << word;
        EXPECT_TRUE(resolveColumnType(std::get<CreateTableStmt>(st.value()).columns[0]).isOk()) << word;
    }
}

TEST(WriteSql, RefusalsAreCommandErrorsNamingTheProblem) {
    struct Case {
        const char* sql;
        const char* words;
    };
    for (const Case& c : {Case{"CREATE TABLE [t]([a] ,[b] integer);", "[a] has no data type"},
                          Case{"CREATE TABLE [t]([a] (20),[b] integer);", "[a] has no data type"},
                          Case{"CREATE TABLE [t]([a] integer,CONSTRAINT PrimaryKey primary key([a]);", "Syntax error"},
                          Case{"CREATE TABLE [t([a] integer);", "Syntax error"},
                          Case{"CREATE INDEX ON [t] ([a]);", "Syntax error"},
                          Case{"DROP [t]", "Syntax error"}}) {
        auto r = parseJetSql(c.sql);
        ASSERT_FALSE(r.isOk()) << c.sql;
        EXPECT_EQ(r.status().code(), 0x80040E14u) << c.sql;
        EXPECT_NE(r.status().description().find(c.words), std::string::npos) << c.sql << " -> " << r.status().description();
    }
    for (const char* word : {"wibble", "char(0)", "char(256)", "decimal(29,2)", "decimal(5,6)", "integer(3)"}) {
        auto st = parseJetSql(std::string("CREATE TABLE [x]([a] ") + word + ");");
        ASSERT_TRUE(st.isOk()) << word;
        auto columnType = resolveColumnType(std::get<CreateTableStmt>(st.value()).columns[0]);
        EXPECT_FALSE(columnType.isOk()) << word;
        EXPECT_EQ(columnType.status().code(), 0x80040E14u);
    }
    EXPECT_TRUE(checkObjectName(std::string(64, 'x'), "table").isOk());
    EXPECT_FALSE(checkObjectName(std::string(65, 'x'), "table").isOk());
    EXPECT_TRUE(checkObjectName("Ünïcødé names ok", "table").isOk());
    for (const char* bad : {"", " lead", "a.b", "a!b", "a`b", "tab\tx"}) EXPECT_FALSE(checkObjectName(bad, "field").isOk()) << bad;
}

}  // namespace
