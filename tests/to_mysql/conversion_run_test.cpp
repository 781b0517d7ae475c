// The run against the throwaway server, with sources held in memory.
#include "to_mysql/conversion_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "common/conversion_session.h"
#include "mysql/mysql_connection.h"
#include "to_mysql/run_support.h"

namespace veltrano::tomysql {
namespace {

using test::addColumn;
using test::FakeSource;
using test::ScriptedHost;

class RunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::testServer()) GTEST_SKIP() << "VELTRANO_TEST_MYSQL_HOST/PORT not set";
        resetSession();
        session().direction = 1;
        ASSERT_TRUE(test::openTestConnection(mysql_)) << mysql_.Error().Description();
        db_ = test::uniqueName("run");
    }
    void TearDown() override {
        for (const auto& d : extraDbs_) test::dropDatabase(d);
        if (!db_.empty()) test::dropDatabase(db_);
        resetSession();
    }

    // Builds the definitions of all (or the named) tables and runs into db_.
    RunOutcome convert(std::vector<std::string> names = {}, TargetChoice target = {}) {
        ConversionSession& s = session();
        s.typeNames = source_.types;
        if (names.empty()) names = *source_.tableNames();
        (void)buildDefinitions(s, source_, names);
        if (target.newName.empty() && !target.append) target.newName = db_;
        ConversionRun run(s, mysql_, source_, host_);
        run.batchBytes = batchBytes_;
        run.keepAliveInterval = interval_;
        run.useLoadData = useLoad_;
        RunOutcome o = run.convert(target);
        refused_ = run.refusedRows();
        return o;
    }

    // Orders: ID (auto-increment key), Customer text(50); rows 1..n.
    FakeSource::Table& orders(int n) {
        auto& t = source_.add("Orders");
        addColumn(t, "ID", 3, {}, true);
        addColumn(t, "Customer", 130, 50);
        t.schema.primaryKeyColumns = {"ID"};
        t.schema.indexes = {{"PrimaryKey", true, true, {"ID"}}};
        for (int i = 1; i <= n; ++i)
            t.rows.push_back({FieldValue(i), FieldValue("c" + std::to_string(i))});
        return t;
    }

    MYSQL_CONNECTION mysql_;
    FakeSource source_;
    ScriptedHost host_;
    std::string db_;
    std::vector<std::string> extraDbs_;
    size_t batchBytes_ = 1 << 20;
    std::chrono::milliseconds interval_{0};  // window events after every row
    bool useLoad_ = true;
    int64_t refused_ = 0;
};

TEST_F(RunTest, EveryValueArrivesByteForByteWhateverTheSqlMode) {
    auto& t = source_.add("Kinds Of Data");
    addColumn(t, "ID", 3);
    addColumn(t, "Name", 130, 50);
    addColumn(t, "Memo", 130, 0);
    addColumn(t, "Blob", 128);
    addColumn(t, "Guid", 72);
    addColumn(t, "Money", 6);
    addColumn(t, "Exact", 131);
    t.schema.columns.back().numericPrecision = 20;
    t.schema.columns.back().numericScale = 6;
    addColumn(t, "When", 7);
    addColumn(t, "Flag", 11);
    addColumn(t, "Ratio", 5);
    const std::string tricky = "O'Brien \"x\" \\n \\ end; -- \xF0\x9F\x98\x80 \xC3\xA9";
    const std::string bytes("\x00\x27\x5C\xFF\x22", 5);
    t.rows.push_back({FieldValue(1), FieldValue(tricky), FieldValue(std::string(70000, 'm')),
                      FieldValue(bytes), FieldValue("{6B29FC40-CA47-1067-B31D-00DD010662DA}"),
                      FieldValue("922337203685477.5807"), FieldValue("-12345678901234.123456"),
                      FieldValue::dateTime(37748.604166666664), FieldValue::boolean(true),
                      FieldValue("0.1")});
    t.rows.push_back({FieldValue(2), FieldValue::null(), FieldValue(""), FieldValue::null(),
                      FieldValue::null(), FieldValue("0.0001"), FieldValue("0"),
                      FieldValue::dateTime(0.5), FieldValue::boolean(false), FieldValue(-1e300)});
    t.schema.columns[2].characterMaximumLength = 0;
    // Every mode that changes how literals read, at once.
    mysql_.Execute("SET SESSION sql_mode = 'ANSI_QUOTES,NO_BACKSLASH_ESCAPES,STRICT_ALL_TABLES'");
    session().convertSpaces = true;
    interval_ = std::chrono::hours(1);
    for (bool load : {true, false}) {
        SCOPED_TRACE(load ? "LOAD DATA" : "INSERT");
        useLoad_ = load;
        host_.told.clear();
        host_.answers = {kYes};  // the second round replaces the database
        ASSERT_EQ(convert(), RunOutcome::Completed);
        EXPECT_EQ(session().convertedRecords, 2);
        ASSERT_EQ(host_.told.size(), load ? 0u : 1u) << host_.told[0].text;

        const std::string q =
            "SELECT HEX(`Name`), LENGTH(`Memo`), HEX(`Blob`), `Guid`, `Money`, `Exact`, `When`, "
            "`Flag`, "
            "`Ratio` FROM `" +
            db_ + "`.`Kinds_Of_Data` ORDER BY `ID`";
        auto got = test::rows(mysql_, q);
        ASSERT_EQ(got.size(), 2u);
        std::string hex;
        for (unsigned char ch : tricky) {
            const char* d = "0123456789ABCDEF";
            hex += d[ch >> 4];
            hex += d[ch & 15];
        }
        EXPECT_EQ(
            got[0],
            hex +
                "|70000|00275CFF22|{6B29FC40-CA47-1067-B31D-00DD010662DA}|922337203685477.5807|"
                "-12345678901234.123456|2003-05-07 14:30:00|1|0.1");
        EXPECT_EQ(got[1], "<NULL>|0|<NULL>|<NULL>|0.0001|0.000000|1899-12-30 12:00:00|0|-1e300");
        // New databases and tables hold Unicode even when the server default is latin1.
        EXPECT_EQ(
            test::scalar(mysql_,
                         "SELECT DEFAULT_CHARACTER_SET_NAME FROM information_schema.SCHEMATA WHERE "
                         "SCHEMA_NAME = '" +
                             db_ + "'"),
            "utf8mb4");
    }
}

TEST_F(RunTest, RefusedRowsAreReportedByNumberAndTheRestIsStored) {
    for (std::string engine : {"InnoDB", "InnoDB+INSERT", "MyISAM"}) {
        SCOPED_TRACE(engine);
        useLoad_ = engine != "InnoDB+INSERT";
        if (!useLoad_) engine = "InnoDB";
        source_.tables.clear();
        host_.told.clear();
        mysql_.Execute("SET SESSION default_storage_engine = " + engine);
        mysql_.Execute("SET SESSION sql_mode = 'STRICT_TRANS_TABLES'");
        auto& t = orders(3000);
        // Rows 7 and 2500 repeat an earlier key; row 2600 is too long for its column.
        t.rows[6][0] = FieldValue(1);
        t.rows[2499][0] = FieldValue(3);
        t.rows[2599][1] = FieldValue(std::string(51, 'x'));
        batchBytes_ = 4096;  // many batches, so refusals land mid-batch
        interval_ = std::chrono::hours(1);
        ASSERT_EQ(convert({}, TargetChoice{false, "", db_}), RunOutcome::Completed);
        EXPECT_EQ(refused_, 3);
        EXPECT_EQ(session().convertedRecords, 2997);
        EXPECT_EQ(test::scalar(mysql_, "SELECT COUNT(*) FROM `" + db_ + "`.`Orders`"), "2997");
        std::vector<std::string> numbers;
        for (const auto& m : host_.texts())
            if (m.rfind("Error populating", 0) == 0) numbers.push_back(m);
        EXPECT_EQ(numbers,
                  (std::vector<std::string>{"Error populating 'Orders' table, Record #7",
                                            "Error populating 'Orders' table, Record #2500",
                                            "Error populating 'Orders' table, Record #2600"}));
        // The server's own message comes first.
        auto texts = host_.texts();
        auto first = std::find(texts.begin(), texts.end(), numbers[0]);
        ASSERT_TRUE(first != texts.begin() && first != texts.end());
        EXPECT_NE((first - 1)->find("Duplicate"), std::string::npos) << *(first - 1);
        host_.answers = {kYes};  // overwrite the database on the next round
    }
}

TEST_F(RunTest, TableExistsQuestionAndItsAnswers) {
    for (const char* name : {"A", "B", "C", "D", "E"}) {
        auto& t = source_.add(name);
        addColumn(t, "V", 130, 10);
        t.rows = {{FieldValue("new")}};
    }
    mysql_.Execute("CREATE DATABASE `" + db_ + "`");
    for (const char* name : {"A", "B", "C", "D", "E"}) {
        mysql_.Execute("CREATE TABLE `" + db_ + "`.`" + name + "` (V TEXT)");
        mysql_.Execute("INSERT INTO `" + db_ + "`.`" + name + "` VALUES ('old')");
    }
    auto content = [&](const char* name) {
        return test::scalar(mysql_, "SELECT GROUP_CONCAT(V) FROM `" + db_ + "`.`" + name + "`");
    };
    const TargetChoice append{true, db_, ""};

    // Skip, Overwrite, then Skip all for the rest.
    host_.answers = {kSkip, kOverwrite, kSkipAll};
    ASSERT_EQ(convert({}, append), RunOutcome::Completed);
    EXPECT_EQ(host_.told[0].text, "Table \"A \" already exists.");
    EXPECT_EQ(host_.told[0].buttonSet, kSetTableExists);
    EXPECT_EQ(content("A"), "old");
    EXPECT_EQ(content("B"), "new");
    EXPECT_EQ(content("C"), "old");
    EXPECT_EQ(content("E"), "old");
    EXPECT_EQ(host_.told.size(), 3u);
    std::vector<bool> converted;
    for (const auto& t : session().tables) converted.push_back(t.converted);
    EXPECT_EQ(converted, (std::vector<bool>{false, true, false, false, false}));

    // Overwrite all replaces every later table without asking.
    session().skipAllExisting = false;
    host_.told.clear();
    host_.answers = {kOverwriteAll};
    ASSERT_EQ(convert({}, append), RunOutcome::Completed);
    EXPECT_EQ(host_.told.size(), 1u);
    for (const char* name : {"A", "C", "E"}) EXPECT_EQ(content(name), "new") << name;

    // Cancel ends the run at once; closing the question counts as a failed creation.
    session().overwriteAllExisting = false;
    host_.answers = {kCancel};
    EXPECT_EQ(convert({}, append), RunOutcome::CancelledAtQuestion);
    host_.told.clear();
    host_.answers = {kClosed};
    EXPECT_EQ(convert({}, append), RunOutcome::Failed);
    ASSERT_EQ(host_.told.size(), 3u);
    EXPECT_NE(host_.told[1].text.find("already exists"), std::string::npos);
    EXPECT_EQ(host_.told[2].text, "An error occurred while creating 'A' table");
}

TEST_F(RunTest, TargetDatabaseNewExistingOrAppended) {
    orders(3);
    // Append without a choice.
    EXPECT_EQ(convert({}, TargetChoice{true, kSelectDatabasePrompt, ""}), RunOutcome::NotStarted);
    EXPECT_EQ(host_.texts(),
              std::vector<std::string>{"Please select a database from the list or type it."});

    ASSERT_EQ(convert(), RunOutcome::Completed);
    // It exists now: No keeps it, Yes drops and re-creates it empty.
    mysql_.Execute("CREATE TABLE `" + db_ + "`.`Extra` (x INT)");
    host_.told.clear();
    host_.answers = {kNo};
    EXPECT_EQ(convert(), RunOutcome::NotStarted);
    EXPECT_EQ(host_.texts(),
              std::vector<std::string>{"Database already exists, Do you want to overwrite it ?"});
    EXPECT_EQ(test::scalar(mysql_,
                           "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                               db_ + "'"),
              "2");
    host_.answers = {kYes};
    EXPECT_EQ(convert(), RunOutcome::Completed);
    EXPECT_EQ(test::scalar(mysql_,
                           "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                               db_ + "'"),
              "1");
    EXPECT_FALSE(session().appending);

    // Name cleaning applies to the database name too.
    const std::string spaced = db_ + " two";
    extraDbs_.push_back(db_ + "_two");
    session().convertSpaces = true;
    EXPECT_EQ(convert({}, TargetChoice{false, "", spaced}), RunOutcome::Completed);
    EXPECT_EQ(session().targetDatabase, db_ + "_two");
}

TEST_F(RunTest, CancelStopsBetweenRowsAndKeepsWhatWasSent) {
    auto& t = source_.add("Big");
    addColumn(t, "N", 3);
    t.generatedRows = 40000;  // past the old 16-bit count
    t.generate = [](int64_t r, std::vector<FieldValue>& row) {
        row[0] = FieldValue(static_cast<long long>(r));
    };
    orders(5);  // never reached
    int ticks = 0;
    host_.onKeepAlive = [&] {
        if (++ticks == 200) host_.cancel = true;
    };
    batchBytes_ = 1 << 16;
    EXPECT_EQ(convert(), RunOutcome::Cancelled);
    EXPECT_EQ(session().tables[0].recordCount, 40000);
    EXPECT_EQ(session().totalRecords, 40005);
    const std::string stored = test::scalar(mysql_, "SELECT COUNT(*) FROM `" + db_ + "`.`Big`");
    EXPECT_EQ(stored, std::to_string(session().convertedRecords));
    EXPECT_GT(session().convertedRecords, 0);
    EXPECT_LT(session().convertedRecords, 40000);
    // Rows come in order, so what is stored is a prefix.
    EXPECT_EQ(test::scalar(mysql_, "SELECT MAX(N) FROM `" + db_ + "`.`Big`"),
              std::to_string(session().convertedRecords - 1));
    EXPECT_FALSE(session().tables[1].converted);
    // The table cut short is not listed as converted; the report says how far it got.
    EXPECT_FALSE(session().tables[0].converted);
    ASSERT_EQ(session().partialTables.size(), 1u);
    EXPECT_EQ(session().partialTables[0].storedRecords, session().convertedRecords);
}

TEST_F(RunTest, UniqueMemoKeysTakeThePrefixTheDataNeeds) {
    auto& t = source_.add("Notes");
    addColumn(t, "ID", 3);
    addColumn(t, "Body", 130, 0);   // memo
    addColumn(t, "Other", 130, 0);  // memo
    for (const char* name : {"A", "B", "C", "D"}) addColumn(t, name, 130, 255);
    t.schema.indexes = {{"ByBody", false, true, {"Body"}},
                        {"ByOther", false, true, {"Other"}},
                        {"ByAll", false, true, {"A", "B", "C", "D"}}};  // past the key limit whole
    const std::string common(60, 'x');
    const std::string same(800, 'y');
    auto text = [](const std::string& s) { return FieldValue(s); };
    t.rows = {{FieldValue(1), text(common + "a"), text(same + "1"), text("a"), text("b"), text("c"), text("d")},
              {FieldValue(2), text(common + "b"), text(same + "2"), text("a"), text("b"), text("c"), text("e")},
              {FieldValue(3), FieldValue::null(), FieldValue::null(), text("a"), text("b"), text("c"), text("f")}};
    ASSERT_EQ(convert(), RunOutcome::Completed);
    EXPECT_EQ(refused_, 0);
    EXPECT_EQ(test::scalar(mysql_, "SELECT COUNT(*) FROM `" + db_ + "`.`Notes`"), "3");
    const std::string stats = "SELECT CONCAT(NON_UNIQUE, ':', SUB_PART) FROM information_schema.STATISTICS "
                              "WHERE TABLE_SCHEMA = '" + db_ + "' AND INDEX_NAME = ";
    // 61 characters keep the rows apart: the first tried prefix past 60 is 100.
    EXPECT_EQ(test::scalar(mysql_, stats + "'ByBody'"), "0:100");
    // No prefix within the key limit does: the key is made non-unique and named.
    EXPECT_EQ(test::scalar(mysql_, stats + "'ByOther'"), "1:10");
    EXPECT_EQ(test::rows(mysql_, stats + "'ByAll'"), std::vector<std::string>(4, "0:192"));
    std::vector<std::string> items;
    for (const auto& n : session().notCarried) items.push_back(n.item);
    EXPECT_EQ(items.size(), 6u);  // four prefixed columns, ByBody's prefix, ByOther non-unique
    EXPECT_NE(std::find(items.begin(), items.end(), "index ByOther"), items.end());
}

TEST_F(RunTest, AServerWithoutLocalInfileTakesMultiRowInsertsQuietly) {
    const char* port = std::getenv("VELTRANO_TEST_MYSQL_NOINFILE_PORT");
    if (!port) GTEST_SKIP() << "VELTRANO_TEST_MYSQL_NOINFILE_PORT not set (scripts/test starts that server)";
    const test::Login& login = *test::testServer();
    mysql_.OpenConnection(login.host, login.user, login.password, "", std::atoi(port), 0);
    ASSERT_EQ(mysql_.Error().Number(), 0) << mysql_.Error().Description();
    ASSERT_EQ(test::scalar(mysql_, "SELECT @@local_infile"), "0");
    orders(3000);
    batchBytes_ = 1 << 12;
    EXPECT_EQ(convert(), RunOutcome::Completed);
    EXPECT_EQ(test::scalar(mysql_, "SELECT COUNT(DISTINCT Customer) FROM `" + db_ + "`.`Orders`"), "3000");
    EXPECT_EQ(session().convertedRecords, 3000);
    EXPECT_TRUE(host_.told.empty()) << host_.told[0].text;
    // Multi-row statements, not one per row.
    auto inserts = test::rows(mysql_, "SHOW SESSION STATUS LIKE 'Com_insert'");
    ASSERT_EQ(inserts.size(), 1u);
    EXPECT_LT(std::atoi(inserts[0].substr(inserts[0].find('|') + 1).c_str()), 100);
    mysql_.Execute("DROP DATABASE `" + db_ + "`");
    db_.clear();
}

TEST_F(RunTest, AServerThatGoesAwayEndsTheRunWithAMessage) {
    auto& t = source_.add("Big");
    addColumn(t, "N", 3);
    t.generatedRows = 20000;
    t.generate = [](int64_t r, std::vector<FieldValue>& row) {
        row[0] = FieldValue(static_cast<long long>(r));
    };
    const std::string id = test::scalar(mysql_, "SELECT CONNECTION_ID()");
    int ticks = 0;
    host_.onKeepAlive = [&] {
        if (++ticks != 20) return;
        MYSQL_CONNECTION killer;
        ASSERT_TRUE(test::openTestConnection(killer));
        killer.Execute("KILL " + id);
    };
    batchBytes_ = 1 << 14;
    EXPECT_EQ(convert(), RunOutcome::Failed);
    ASSERT_GE(host_.told.size(), 2u);
    EXPECT_EQ(host_.told[1].text.rfind("Error populating 'Big' table, Record #", 0), 0u)
        << host_.told[1].text;
    EXPECT_LE(host_.told.size(), 3u);  // not one message per remaining row
    // The table's rows were one transaction, gone with the connection:
    // none may be reported stored.
    EXPECT_EQ(session().convertedRecords, 0);
    ASSERT_EQ(session().partialTables.size(), 1u);
    EXPECT_EQ(session().partialTables[0].storedRecords, 0);
}

TEST_F(RunTest, DefinitionsOnlySendsNoRowsAndMovesTheBarByTables) {
    orders(10);
    auto& t = source_.add("Second");
    addColumn(t, "X", 2);
    session().definitionOnly = true;
    ASSERT_EQ(convert(), RunOutcome::Completed);
    EXPECT_EQ(test::scalar(mysql_, "SELECT COUNT(*) FROM `" + db_ + "`.`Orders`"), "0");
    EXPECT_EQ(session().convertedRecords, 0);
    EXPECT_EQ(host_.percents, (std::vector<int>{0, 50, 100}));
    EXPECT_TRUE(session().tables[1].converted);
}

}  // namespace
}  // namespace veltrano::tomysql
