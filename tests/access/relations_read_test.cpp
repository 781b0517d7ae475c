// Relationships and saved queries read from sample files, checked against
// the rows mdbtools exports and against statements checked by hand.
#include <gtest/gtest.h>

#include <algorithm>

#include "access/provider/provider.h"
#include "access/read/relationships.h"
#include "access/read/saved_queries.h"
#include "testutil.h"

namespace veltrano::access {
namespace {

using testing::runCommand;
using testing::sample;

std::unique_ptr<Database> openSample(const std::string& name) {
    auto db = Database::open(sample(name));
    EXPECT_TRUE(db.isOk()) << db.status().description();
    return db.isOk() ? std::move(*db) : nullptr;
}

TEST(Relationships, ReadAsStoredWithFlagsAndWithoutSystemOnes) {
    auto db = openSample("indexTestV2000.mdb");
    ASSERT_TRUE(db);
    auto rels = readRelationships(*db);
    ASSERT_TRUE(rels.isOk()) << rels.status().description();
    ASSERT_EQ(rels->size(), 2u);  // the two MSysNavPane ones are left out

    // Every user row mdbtools exports is one of ours, column for column.
    std::string rows = runCommand("mdb-export -H " + sample("indexTestV2000.mdb") + " MSysRelationships");
    if (!rows.empty()) {
        for (const auto& r : *rels) {
            std::string line = "\"" + r.name + "\"," + std::to_string(r.flags) + ",1,0,\"" + r.referencingTable +
                               "\",\"" + r.columns[0].first + "\",\"" + r.referencedTable + "\",\"" +
                               r.columns[0].second + "\"";
            EXPECT_NE(rows.find(line), std::string::npos) << line;
        }
    }
    const Relationship& del = (*rels)[0].name == "Table2Table1" ? (*rels)[0] : (*rels)[1];
    const Relationship& upd = (*rels)[0].name == "Table2Table1" ? (*rels)[1] : (*rels)[0];
    EXPECT_TRUE(del.enforced());
    EXPECT_TRUE(del.cascadeDelete());
    EXPECT_FALSE(del.cascadeUpdate());
    EXPECT_EQ(del.referencingTable, "Table1");
    EXPECT_EQ(del.referencedTable, "Table2");
    EXPECT_TRUE(upd.cascadeUpdate());
    EXPECT_FALSE(upd.cascadeDelete());
}

TEST(Relationships, HiddenIndexesAreMarkedOnBothSides) {
    Connection cnn;
    ASSERT_TRUE(cnn.open("Data Source=" + sample("indexTestV2000.mdb")).isOk());
    auto referencing = cnn.tableCatalog("Table1");
    auto referenced = cnn.tableCatalog("Table2");
    ASSERT_TRUE(referencing.isOk() && referenced.isOk());
    auto marked = [](const TableCatalog& t, const std::string& name) {
        for (const auto& i : t.indexes)
            if (i.name == name) return i.relationshipIndex;
        ADD_FAILURE() << "no index " << name << " in " << t.name;
        return false;
    };
    EXPECT_TRUE(marked(*referencing, "Table2Table1"));
    EXPECT_TRUE(marked(*referenced, ".rC"));
    for (const auto& i : referenced->indexes) EXPECT_FALSE(i.primaryKey && i.relationshipIndex) << i.name;
}

TEST(SavedQueries, EveryKindRebuilt) {
    Connection cnn;
    ASSERT_TRUE(cnn.open("Data Source=" + sample("queryTestV2000.mdb")).isOk());
    auto queries = cnn.savedQueries();
    ASSERT_TRUE(queries.isOk()) << queries.status().description();

    // The same names mdbtools lists.
    std::string listed = runCommand("mdb-queries -L " + sample("queryTestV2000.mdb"));
    std::vector<std::string> ours;
    for (const auto& q : *queries) {
        ours.push_back(q.name);
        if (!listed.empty()) {
            EXPECT_NE(listed.find(q.name), std::string::npos) << q.name;
        }
    }
    ASSERT_EQ(ours.size(), 9u);

    auto find = [&](const std::string& name) -> const SavedQuery& {
        for (const auto& q : *queries)
            if (q.name == name) return q;
        static SavedQuery none;
        ADD_FAILURE() << "no query " << name;
        return none;
    };
    struct Expected {
        const char* name;
        QueryKind kind;
        const char* sql;
    };
    const Expected expected[] = {
        {"SelectQuery", QueryKind::Select,
         "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\r\n"
         "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
         "(Table3.col1 = Table2.col1) AND (Table3.col1 = Table2.col2)\r\n"
         "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\r\n"
         "ORDER BY Table2.col1;"},
        {"DeleteQuery", QueryKind::Delete,
         "DELETE Table1.col1, Table1.col2, Table1.col3\r\nFROM Table1\r\nWHERE (((Table1.col1)>\"blah\"));"},
        {"MakeTableQuery", QueryKind::MakeTable,
         "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\r\n"
         "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = Table3.col3\r\n"
         "GROUP BY Table2.col2, Table3.col2\r\n"
         "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
    };
    for (const auto& e : expected) {
        const SavedQuery& q = find(e.name);
        EXPECT_EQ(q.kind, e.kind) << e.name;
        EXPECT_EQ(q.sql, e.sql) << e.name;
    }
    EXPECT_EQ(find("CrosstabQuery").kind, QueryKind::Crosstab);
    EXPECT_EQ(find("CrosstabQuery").sql.rfind("TRANSFORM Count([Table2].[col2]) AS CountOfcol2", 0), 0u);
    EXPECT_NE(find("CrosstabQuery").sql.find("\r\nPIVOT [Table1].[col1];"), std::string::npos);
    EXPECT_EQ(find("UnionQuery").kind, QueryKind::Union);
    EXPECT_NE(find("UnionQuery").sql.find("UNION ALL"), std::string::npos);
    EXPECT_EQ(find("DataDefinitionQuery").kind, QueryKind::DataDefinition);
    EXPECT_EQ(find("PassthroughQuery").kind, QueryKind::PassThrough);
    EXPECT_EQ(find("AppendQuery").kind, QueryKind::Append);
    EXPECT_EQ(find("UpdateQuery").kind, QueryKind::Update);
}

}  // namespace
}  // namespace veltrano::access
