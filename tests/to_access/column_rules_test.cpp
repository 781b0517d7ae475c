// MySQL column rules kept as Access properties by a real run, read back by
// our reader, and views named as copied tables.
#include <gtest/gtest.h>

#include "access/read/database.h"
#include "common/conversion_session.h"
#include "mysql/mysql_connection.h"
#include "to_access/column_rules.h"
#include "to_access/conversion_run.h"
#include "tova_support.h"

namespace veltrano::tatest {
namespace {

TEST(MysqlCheckToJet, ClausesTranslateOrAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"`qty` >= 0 and `qty` < 1000", "[qty] >= 0 And [qty] < 1000"},
        {"`code` like 'A%_' or `code` is null", "[code] Like \"A*?\" Or [code] Is Null"},
        {"`a` in ('x','it''s') and `b` between 1 and 2", "[a] In (\"x\",\"it's\") And [b] Between 1 And 2"},
        {"`a` != 'say \"hi\"'", "[a] <> \"say \"\"hi\"\"\""},
    };
    for (const auto& [mysql, jet] : cases) {
        std::string failure;
        EXPECT_EQ(checkClauseToJet(mysql, failure), jet) << mysql;
        EXPECT_EQ(failure, "") << mysql;
    }
    for (const char* refused : {"char_length(`a`) > 2", "`a` like '5*%'", "`a` like '5\\%'", "`a` regexp '^x'", "`a` > 'open"}) {
        std::string failure;
        checkClauseToJet(refused, failure);
        EXPECT_NE(failure, "") << refused;
    }
}

TEST(ColumnRules, KeptAsPropertiesAndViewsNamed) {
    if (!testLogin()) GTEST_SKIP() << "no test server (run through scripts/test)";
    resetSession();
    ScratchDatabase db("rules");
    db.exec("CREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL DEFAULT 'none' COMMENT 'Shown name', "
            "qty INT DEFAULT 5 CHECK (qty >= 0), made DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP, "
            "code VARCHAR(5) DEFAULT (concat('a','b')), CONSTRAINT odd CHECK (char_length(name) > 0))");
    db.exec("INSERT INTO items (id, name, qty) VALUES (1, 'one', 3)");
    db.exec("CREATE TABLE parts (id INT PRIMARY KEY, item INT, CONSTRAINT part_item FOREIGN KEY (item) REFERENCES items (id))");
    db.exec("CREATE VIEW big AS SELECT id, qty FROM items WHERE qty > 1");
    ScratchFolder folder;
    const std::string file = folder.file("rules.mdb");
    prepareSession(db.name(), {"items", "big", "parts"}, file);
    MYSQL_CONNECTION source;
    ASSERT_TRUE(openConnection(source));
    ScriptedHost host;
    toaccess::ConversionRun run(session(), source, host);
    ASSERT_EQ(run.run({}), toaccess::RunOutcome::Finished);

    auto read = access::Database::open(file);
    ASSERT_TRUE(read.isOk()) << read.status().description();
    auto def = (*read)->tableDef("items");
    ASSERT_TRUE(def.isOk());
    const access::ColumnDef* name = (*def)->columnByName("name");
    const access::ColumnDef* qty = (*def)->columnByName("qty");
    const access::ColumnDef* made = (*def)->columnByName("made");
    ASSERT_TRUE(name && qty && made);
    EXPECT_TRUE(name->required);
    EXPECT_EQ(name->defaultValue, "\"none\"");
    EXPECT_FALSE(qty->required);
    EXPECT_EQ(qty->defaultValue, "5");
    EXPECT_EQ(made->defaultValue, "Now()");
    EXPECT_FALSE(made->required);  // a zero date would have no Access value

    auto sets = (*read)->tableProperties("items");
    ASSERT_TRUE(sets.isOk());
    std::string description, rule;
    for (const auto& set : *sets) {
        if (const auto* d = set.find("Description"); d && set.objectName == "name") description = d->bytes;
        if (const auto* r = set.find("ValidationRule")) rule = r->bytes;
    }
    EXPECT_EQ(description, "Shown name");
    EXPECT_EQ(rule, "([qty] >= 0)");

    std::vector<std::string> named;
    for (const auto& n : session().notCarried) named.push_back(n.table + ": " + n.item);
    auto has = [&](const std::string& s) { return std::find(named.begin(), named.end(), s) != named.end(); };
    EXPECT_TRUE(has("big: view definition"));
    EXPECT_FALSE(has("parts: foreign key part_item (item) to items (id)"));  // carried as a relationship
    EXPECT_TRUE(has("items: CHECK odd (char_length(`name`) > 0)"));
    bool defaultNamed = false;
    for (const auto& n : named) defaultNamed = defaultNamed || n.find("of column code") != std::string::npos;
    EXPECT_TRUE(defaultNamed);
    // The view's rows are there as a table.
    auto rows = (*read)->countRows("big");
    ASSERT_TRUE(rows.isOk());
    EXPECT_EQ(*rows, 1u);
}

}  // namespace
}  // namespace veltrano::tatest
