// Relationships, saved queries and column rules carried by a real run into
// the throwaway server: foreign keys as information_schema lists them,
// views that run, and every item that is not carried named with its reason.
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "access/provider/provider.h"
#include "access/write/writer.h"
#include "common/conversion_report.h"
#include "common/conversion_session.h"
#include "to_mysql/conversion_run.h"
#include "to_mysql/provider_source.h"
#include "to_mysql/run_support.h"

namespace veltrano::tomysql {
namespace {

std::string sample(const std::string& name) { return std::string(VELTRANO_TESTDATA_DIR) + "/" + name; }

class SchemaExtras : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::testServer()) GTEST_SKIP() << "VELTRANO_TEST_MYSQL_HOST/PORT not set";
        ASSERT_TRUE(test::openTestConnection(check_));
    }
    void TearDown() override {
        for (const auto& d : dbs_) test::dropDatabase(d);
    }
    std::string newDb(const std::string& tag) {
        dbs_.push_back(test::uniqueName(tag));
        return dbs_.back();
    }

    // One run of `file` into `db`; the session keeps what it reported.
    RunOutcome convert(const std::string& file, const std::string& db, std::vector<std::string> tables = {},
                       bool append = false, bool views = true, bool foreignKeys = true) {
        resetSession();
        ConversionSession& s = session();
        s.direction = 1;
        s.sourcePath = file;
        access::Connection cnn;
        EXPECT_TRUE(cnn.open(accessConnectionString(file, false, "")).isOk());
        ProviderSource source(cnn);
        s.typeNames = source.typeNames();
        if (tables.empty()) {
            auto names = source.tableNames();
            EXPECT_TRUE(names.isOk());
            if (names.isOk()) tables = *names;
        }
        EXPECT_TRUE(buildDefinitions(s, source, tables).isOk());
        MYSQL_CONNECTION mysql;
        EXPECT_TRUE(test::openTestConnection(mysql));
        test::ScriptedHost host;
        ConversionRun run(s, mysql, source, host);
        run.carryViews = views;
        run.carryForeignKeys = foreignKeys;
        TargetChoice target;
        target.append = append;
        target.existingName = db;
        target.newName = db;
        return run.convert(target);
    }

    // "item: reason" of every item not carried.
    static std::vector<std::string> notCarried() {
        std::vector<std::string> out;
        for (const auto& n : session().notCarried) out.push_back(report::notCarriedLine(n));
        return out;
    }
    static bool named(const std::string& part) {
        for (const auto& line : notCarried())
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

    MYSQL_CONNECTION check_;
    std::vector<std::string> dbs_;
};

TEST_F(SchemaExtras, RelationshipsBecomeForeignKeysWithTheirCascades) {
    const std::string db = newDb("fk");
    ASSERT_EQ(convert(sample("indexTestV2000.mdb"), db), RunOutcome::Completed);
    EXPECT_EQ(test::rows(check_, "SELECT k.CONSTRAINT_NAME, k.TABLE_NAME, k.COLUMN_NAME, k.REFERENCED_TABLE_NAME, "
                                 "k.REFERENCED_COLUMN_NAME, r.UPDATE_RULE, r.DELETE_RULE FROM "
                                 "information_schema.KEY_COLUMN_USAGE k JOIN information_schema.REFERENTIAL_CONSTRAINTS r "
                                 "ON r.CONSTRAINT_SCHEMA = k.CONSTRAINT_SCHEMA AND r.CONSTRAINT_NAME = k.CONSTRAINT_NAME "
                                 "WHERE k.TABLE_SCHEMA = '" + db + "' ORDER BY 1"),
              (std::vector<std::string>{"Table2Table1|Table1|otherfk1|Table2|id|RESTRICT|CASCADE",
                                        "Table3Table1|Table1|otherfk2|Table3|id|CASCADE|RESTRICT"}));
    // Access's hidden relationship indexes (".rC" beside Table2's primary
    // key) did not become keys; the foreign keys' own indexes remain.
    EXPECT_EQ(test::rows(check_, "SELECT DISTINCT TABLE_NAME, INDEX_NAME FROM information_schema.STATISTICS WHERE "
                                 "TABLE_SCHEMA = '" + db + "' ORDER BY 1, 2"),
              (std::vector<std::string>{"Table1|id", "Table1|PRIMARY", "Table1|Table2Table1", "Table1|Table3Table1",
                                        "Table2|id", "Table2|PRIMARY", "Table3|id", "Table3|PRIMARY"}));
    EXPECT_EQ(session().carriedExtras.size(), 2u);

    // Without the option, no foreign key and nothing named for them.
    const std::string plain = newDb("nofk");
    ASSERT_EQ(convert(sample("indexTestV2000.mdb"), plain, {}, false, true, false), RunOutcome::Completed);
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                                   "CONSTRAINT_SCHEMA = '" + plain + "'"),
              "0");
    EXPECT_FALSE(named("foreign key"));
}

TEST_F(SchemaExtras, MissingTablesAndBrokenRowsAreNamedWithoutFailingTheRun) {
    // Table3 is left out: its relationship is named, the other carried.
    const std::string db = newDb("fkpart");
    ASSERT_EQ(convert(sample("indexTestV2000.mdb"), db, {"Table1", "Table2"}), RunOutcome::Completed);
    EXPECT_TRUE(named("Table1: foreign key Table3Table1 (otherfk2) to Table3 (id): the table Table3 is not in"));
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                                   "CONSTRAINT_SCHEMA = '" + db + "'"),
              "1");

    // Appending Table1 to a database whose Table2 is empty: every row of
    // Table1 points nowhere, and the report says how many.
    const std::string target = newDb("fkorphan");
    ASSERT_EQ(convert(sample("indexTestV2000.mdb"), target, {"Table2", "Table3"}), RunOutcome::Completed);
    check_.Execute("DELETE FROM `" + target + "`.`Table2`");
    ASSERT_EQ(convert(sample("indexTestV2000.mdb"), target, {"Table1"}, true), RunOutcome::Completed);
    EXPECT_TRUE(named("foreign key Table2Table1 (otherfk1) to Table2 (id): its rows break it: 4 row(s) of Table1 have "
                      "no matching row in Table2"));
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM `" + target + "`.`Table1`"), "4");
    // The one to Table3, there before the append, is carried.
    EXPECT_EQ(test::scalar(check_, "SELECT CONSTRAINT_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                                   "CONSTRAINT_SCHEMA = '" + target + "'"),
              "Table3Table1");
}

TEST_F(SchemaExtras, SelectQueriesBecomeViewsThatRunAndTheRestAreNamed) {
    const std::string db = newDb("views");
    ASSERT_EQ(convert(sample("queryTestV2000.mdb"), db), RunOutcome::Completed);
    EXPECT_EQ(test::rows(check_, "SELECT TABLE_NAME FROM information_schema.VIEWS WHERE TABLE_SCHEMA = '" + db + "'"),
              (std::vector<std::string>{"SelectQuery"}));
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM `" + db + "`.`SelectQuery`"), "0");
    for (const char* q : {"UpdateQuery", "AppendQuery", "DeleteQuery", "MakeTableQuery", "CrosstabQuery",
                          "PassthroughQuery", "DataDefinitionQuery"})
        EXPECT_TRUE(named(std::string("query ") + q + " [")) << q;
    EXPECT_TRUE(named("query UnionQuery [Select Table1.col1"));
    EXPECT_TRUE(named("this is an update query"));

    const std::string none = newDb("noviews");
    ASSERT_EQ(convert(sample("queryTestV2000.mdb"), none, {}, false, false), RunOutcome::Completed);
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA = '" + none + "'"), "0");
    EXPECT_FALSE(named("query "));
}

TEST_F(SchemaExtras, ColumnRulesBecomeCommentsAndChecks) {
    const std::string file = std::string(VELTRANO_BINARY_DIR) + "/rules_" + std::to_string(::getpid()) + ".mdb";
    std::filesystem::remove(file);
    struct Remove {
        std::string path;
        ~Remove() { std::filesystem::remove(path); }
    } remove{file};
    ASSERT_TRUE(access::createDatabase(file).isOk());
    {
        access::WriteConnection w;
        ASSERT_TRUE(w.open(file, "").isOk());
        auto text = [](const std::string& s) { return access::Value::ofBytes(access::ValueKind::Text, s); };
        auto yes = access::Value::ofInteger(access::ValueKind::Boolean, 0);
        auto required = access::Value::ofInteger(access::ValueKind::Boolean, 1);
        ASSERT_TRUE(w.execute("CREATE TABLE Items (ID LONG, Qty LONG, Code TEXT(10), Note TEXT(20), Tag TEXT(5))",
                              {{"", {{"ValidationRule", text("[Qty]<1000"), 0}}},
                               {"Qty", {{"Description", text("How many, 'boxed'"), 0},
                                        {"ValidationRule", text(">=0"), 0},
                                        {"Required", required, 1}}},
                               {"Tag", {{"Required", required, 1}}},
                               {"Code", {{"ValidationRule", text("Like \"[A-Z]*\""), 0},
                                         {"AllowZeroLength", yes, 0}}},
                               {"Note", {{"ValidationRule", text("<>\"bad\""), 0}}}})
                        .isOk());
        auto app = w.openTableForAppend("Items");
        ASSERT_TRUE(app.isOk());
        // The rows predate the rules: "bad" breaks one, and no row has a Tag.
        app->acceptNullsInRequiredColumns();
        for (auto [id, qty, note] : {std::tuple{1, 5, "ok"}, std::tuple{2, 7, "bad"}}) {
            ASSERT_TRUE(app->addNew().isOk());
            ASSERT_TRUE(app->setField(0, FieldValue(static_cast<double>(id))).isOk());
            ASSERT_TRUE(app->setField(1, FieldValue(static_cast<double>(qty))).isOk());
            ASSERT_TRUE(app->setField(3, FieldValue(std::string(note))).isOk());
            ASSERT_TRUE(app->update().isOk());
        }
        ASSERT_TRUE(app->close().isOk());
        ASSERT_TRUE(w.close().isOk());
    }
    const std::string db = newDb("rules");
    ASSERT_EQ(convert(file, db), RunOutcome::Completed);
    EXPECT_EQ(test::scalar(check_, "SELECT COLUMN_COMMENT FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" + db +
                                   "' AND COLUMN_NAME = 'Qty'"),
              "How many, 'boxed'");
    std::vector<std::string> checks =
        test::rows(check_, "SELECT CONSTRAINT_NAME FROM information_schema.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = '" +
                               db + "' AND CONSTRAINT_TYPE = 'CHECK' ORDER BY 1");
    EXPECT_EQ(checks, (std::vector<std::string>{"Items_Qty_rule", "Items_rule"}));
    // The rules hold in MySQL now.
    check_.Execute("INSERT INTO `" + db + "`.`Items` (ID, Qty) VALUES (3, -1)");
    EXPECT_NE(check_.Error().Number(), 0);
    check_.Execute("INSERT INTO `" + db + "`.`Items` (ID, Qty) VALUES (4, 1000)");
    EXPECT_NE(check_.Error().Number(), 0);
    EXPECT_TRUE(named("Items: validation rule Like \"[A-Z]*\" of column Code: it has no MySQL form"));
    EXPECT_TRUE(named("Items: validation rule <>\"bad\" of column Note: MySQL refused CHECK"));
    EXPECT_TRUE(named("Items: rule AllowZeroLength = No of column(s) Code"));
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM `" + db + "`.`Items`"), "2");
    // Required: NOT NULL where every row complies; otherwise the rows stay and the rule is named.
    EXPECT_EQ(test::rows(check_, "SELECT COLUMN_NAME, IS_NULLABLE, COLUMN_COMMENT FROM information_schema.COLUMNS WHERE "
                                 "TABLE_SCHEMA = '" + db + "' AND COLUMN_NAME IN ('Qty', 'Tag') ORDER BY 1"),
              (std::vector<std::string>{"Qty|NO|How many, 'boxed'", "Tag|YES|"}));
    EXPECT_TRUE(named("Items: rule Required of column Tag: 2 row(s) have no value there"));
}

}  // namespace
}  // namespace veltrano::tomysql
