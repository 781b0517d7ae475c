// The provider facade: connection texts, schema lists, catalogs, queries.
#include <gtest/gtest.h>

#include <map>

#include "access/provider/provider.h"
#include "testutil.h"

namespace veltrano::access {
namespace {

using testing::sample;

std::string connectText(const std::string& file, const std::string& password = "", bool withPassword = false) {
    std::string s = " Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + sample(file) +
                    ";Mode=ReadWrite;Persist Security Info=False;";
    if (withPassword) s += "Jet OLEDB:Database Password=" + password;
    return s;
}

// Walks the rowset from the first row and collects one field of each row.
std::vector<std::string> column(Rowset& rs, const std::string& name) {
    std::vector<std::string> out;
    EXPECT_TRUE(rs.moveFirst().isOk());
    while (!rs.eof()) {
        auto v = rs.field(name);
        EXPECT_TRUE(v.isOk()) << v.status().toString();
        out.push_back(v.isOk() ? v->toDisplayText() : "?");
        EXPECT_TRUE(rs.moveNext().isOk());
    }
    return out;
}

TEST(Provider, ConnectionTextsAreParsedAsTheWizardBuildsThem) {
    auto s = parseConnectionString(" Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x/a b.mdb;"
                                   "Mode=ReadWrite;Persist Security Info=False;Jet OLEDB:Database Password=p;wd");
    ASSERT_TRUE(s.isOk());
    EXPECT_EQ(s->dataSource, "/x/a b.mdb");
    EXPECT_EQ(s->mode, "ReadWrite");
    EXPECT_TRUE(s->passwordGiven);
    EXPECT_EQ(s->password, "p;wd");  // a ';' inside the last value does not cut it

    s = parseConnectionString("provider=x;DATA SOURCE=\"/q;uoted.mdb\";Persist Security Info=False;");
    ASSERT_TRUE(s.isOk());
    EXPECT_EQ(s->dataSource, "/q;uoted.mdb");
    EXPECT_FALSE(s->passwordGiven);

    s = parseConnectionString("Data Source=/a.mdb;Jet OLEDB:Database Password= sp ;");
    ASSERT_TRUE(s.isOk());
    EXPECT_EQ(s->password, " sp ");  // passwords keep their blanks

    EXPECT_FALSE(parseConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;").isOk());
    EXPECT_FALSE(parseConnectionString("nonsense").isOk());
}

TEST(Provider, OpenReportsThePasswordAndMissingFileCodes) {
    Connection c;
    EXPECT_EQ(c.open(connectText("V2000_with-password.mdb")).code(), 0x80040E4Du);
    EXPECT_EQ(c.open(connectText("V2000_with-password.mdb", "nope", true)).code(), 0x80040E4Du);
    EXPECT_FALSE(c.isOpen());
    EXPECT_TRUE(c.open(connectText("V2000_with-password.mdb", "password", true)).isOk());
    EXPECT_TRUE(c.isOpen());
    Status missing = c.open(connectText("no-such-file.mdb"));
    EXPECT_FALSE(missing.isOk());
    EXPECT_FALSE(missing.description().empty());
    EXPECT_FALSE(c.isOpen());
}

TEST(Provider, TableListAndProviderTypesFeedTheTypeNameTable) {
    Connection c;
    ASSERT_TRUE(c.open(connectText("testV2000.mdb")).isOk());
    auto tables = c.openSchema(SchemaKind::Tables);
    ASSERT_TRUE(tables.isOk());
    ASSERT_TRUE((*tables)->setFilter("table_type = 'table'").isOk());
    EXPECT_EQ(column(**tables, "TABLE_NAME"), (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
    ASSERT_TRUE((*tables)->setFilter("").isOk());
    EXPECT_GT((*tables)->recordCount(), 4);  // the system tables come back unfiltered
    ASSERT_TRUE((*tables)->setFilter("table_name = 'TABLE3' AND table_type = 'TABLE'").isOk());
    EXPECT_EQ(column(**tables, "table_name"), std::vector<std::string>{"Table3"});
    EXPECT_FALSE((*tables)->setFilter("no_such_field = 'x'").isOk());
    EXPECT_FALSE((*tables)->setFilter("table_name = 'open").isOk());

    // Indexing names by code with the last row of a code winning gives
    // exactly these names.
    auto types = c.openSchema(SchemaKind::ProviderTypes);
    ASSERT_TRUE(types.isOk());
    std::map<int, std::string> names;
    for ((void)(*types)->moveFirst(); !(*types)->eof(); (void)(*types)->moveNext())
        names[static_cast<int>((*types)->field("data_type")->asNumber())] = (*types)->field("type_name")->asText();
    EXPECT_EQ(names, (std::map<int, std::string>{{2, "Short"}, {3, "Long"}, {4, "Single"}, {5, "Double"},
                                                 {6, "Currency"}, {7, "DateTime"}, {11, "Bit"}, {17, "Byte"},
                                                 {20, "BigInt"}, {72, "GUID"}, {128, "VarBinary"}, {130, "VarChar"}, {131, "Decimal"}}));
}

TEST(Provider, ColumnsAndPrimaryKeysDescribeEachTable) {
    Connection c;
    ASSERT_TRUE(c.open(connectText("testV2000.mdb")).isOk());
    auto cols = c.openSchema(SchemaKind::Columns);
    ASSERT_TRUE(cols.isOk());
    ASSERT_TRUE((*cols)->setFilter("table_name = 'table1'").isOk());
    EXPECT_EQ(column(**cols, "column_name"), (std::vector<std::string>{"A", "B", "C", "D", "E", "F", "G", "H", "I"}));
    EXPECT_EQ(column(**cols, "ordinal_position"), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    EXPECT_EQ(column(**cols, "data_type"), (std::vector<std::string>{"130", "130", "17", "2", "3", "5", "7", "6", "11"}));
    EXPECT_EQ(column(**cols, "character_maximum_length"), (std::vector<std::string>{"50", "100", "", "", "", "", "", "", ""}));
    EXPECT_EQ(column(**cols, "column_default"), (std::vector<std::string>{"", "", "0", "0", "0", "0", "", "0", ""}));
    ASSERT_TRUE((*cols)->moveFirst().isOk());
    EXPECT_TRUE((*cols)->field("column_default")->isNull());
    EXPECT_FALSE((*cols)->field("column_hasdefault")->asBoolean());

    auto pk = c.openSchema(SchemaKind::PrimaryKeys);
    ASSERT_TRUE(pk.isOk());
    ASSERT_TRUE((*pk)->setFilter("table_name = 'Table3'").isOk());
    EXPECT_EQ(column(**pk, "column_name"), std::vector<std::string>{"a"});

    auto cat = c.tableCatalog("Table3");
    ASSERT_TRUE(cat.isOk());
    EXPECT_TRUE(cat->findColumn("a")->autoIncrement);
    EXPECT_EQ(cat->findColumn("B")->type, adox::kVarWChar);
    ASSERT_EQ(cat->indexes.size(), 2u);
    EXPECT_EQ(cat->indexes[1].name, "PrimaryKey");
    EXPECT_TRUE(cat->indexes[1].primaryKey);
    EXPECT_TRUE(cat->indexes[1].unique);
    EXPECT_EQ(cat->indexes[1].columns, std::vector<std::string>{"a"});
    EXPECT_FALSE(c.tableCatalog("Nope").isOk());
}

TEST(Provider, MemoAndLongBinaryReportZeroLengthAndTheirCatalogCodes) {
    Connection c;
    ASSERT_TRUE(c.open(connectText("test2V1997.mdb")).isOk());
    auto cat = c.tableCatalog("MSP_PROJECTS");
    ASSERT_TRUE(cat.isOk());
    auto cols = c.openSchema(SchemaKind::Columns);
    ASSERT_TRUE(cols.isOk());
    int memos = 0;
    for (const auto& col : cat->columns) {
        if (col.type != adox::kLongVarWChar && col.type != adox::kLongVarBinary) continue;
        ++memos;
        ASSERT_TRUE((*cols)->setFilter("table_name = 'MSP_PROJECTS' AND column_name = '" + col.name + "'").isOk());
        ASSERT_FALSE((*cols)->eof());
        EXPECT_EQ((*cols)->field("character_maximum_length")->asNumber(), 0) << col.name;
    }
    EXPECT_GT(memos, 0);
}

TEST(Provider, CountAndSelectQueries) {
    Connection c;
    ASSERT_TRUE(c.open(connectText("compIndexTestV2000.mdb")).isOk());
    auto count = c.execute("select count(*) as nRecords from [Table1]");
    ASSERT_TRUE(count.isOk()) << count.status().toString();
    EXPECT_EQ((*count)->field("nRecords")->asNumber(), 512);

    auto all = c.execute("SELECT * FROM [table1];");
    ASSERT_TRUE(all.isOk());
    long rows = 0;
    for (; !(*all)->eof(); (void)(*all)->moveNext()) {
        auto id = (*all)->field("CD_AGENTE");
        ASSERT_TRUE(id.isOk());
        EXPECT_TRUE(id->isNumber() || id->isNull());
        ++rows;
    }
    EXPECT_EQ(rows, 512);
    EXPECT_FALSE((*all)->moveNext().isOk());  // past the end
    ASSERT_TRUE((*all)->moveFirst().isOk());
    EXPECT_FALSE((*all)->eof());
    EXPECT_EQ((*all)->fieldName(1), "RS_AGENTE");
    EXPECT_FALSE((*all)->field("nope").isOk());

    EXPECT_EQ(c.execute("select * from [Missing]").status().code(), 0x80040E14u);
    EXPECT_EQ(c.execute("delete from [Table1]").status().code(), 0x80040E14u);
    EXPECT_EQ(c.execute("select * from [Table1] where 1").status().code(), 0x80040E14u);
}

TEST(Provider, ValuesComeAsFieldValuesAndTypedValues) {
    Connection c;
    ASSERT_TRUE(c.open(connectText("testV2000.mdb")).isOk());
    auto rs = c.execute("select * from [Table1]");
    ASSERT_TRUE(rs.isOk());
    for (; !(*rs)->eof(); (void)(*rs)->moveNext()) {
        if ((*rs)->field("A")->asText() != "abcdefg") continue;
        EXPECT_EQ((*rs)->field("F")->asNumber(), 444.555);
        EXPECT_EQ((*rs)->field("H")->asNumber(), 3.5);
        EXPECT_EQ((*rs)->value("H")->integer, 35000);
        EXPECT_TRUE((*rs)->field("I")->asBoolean());
        EXPECT_EQ(formatOleDate((*rs)->field("G")->asDateTime()), "1974-09-21 00:00:00");
        return;
    }
    FAIL() << "row not found";
}

}  // namespace
}  // namespace veltrano::access
