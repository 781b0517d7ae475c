#include <gtest/gtest.h>

#include "mysql/server_support.h"
#include "mysql/sql_text.h"

namespace veltrano::test {
namespace {

using RowEditTest = MySqlTest;

TEST(SqlLiteral, WritesValuesTheSameWayInEverySqlMode) {
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue::null(), 253), "NULL");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("O'Brien", 253), "'O''Brien'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("a\\n", 253), "_utf8mb4 X'615C6E'");  // a backslash, not a line feed
    EXPECT_EQ(MYSQL_RS::SqlLiteral(std::string("\0", 1), 253), "_utf8mb4 X'00'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("a\"b\tc\n", 253), "'a\"b\tc\n'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("\xff\x01", 252, true), "X'FF01'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue(5), 3), "'5'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue(1e15), 8), "'1000000000000000'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue(-0.25), 246), "'-0.25'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue::boolean(true), 1), "'1'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue(), 253), "''");

    const double may7 = calendarToOleDate({2003, 5, 7, 14, 30, 0, 0});
    EXPECT_EQ(MYSQL_RS::SqlLiteral("not a date", kMySqlTypeDate), "'0000-00-00'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("2003-02-30", kMySqlTypeDate), "'0000-00-00'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("nope", kMySqlTypeTime), "'00:00:00'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("nope", kMySqlTypeDateTime), "'0000-00-00 00:00:00'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue::dateTime(may7), kMySqlTypeDateTime), "'2003-05-07 14:30:00'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue::dateTime(may7), kMySqlTypeDate), "'2003-05-07'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral(FieldValue::dateTime(may7), kMySqlTypeTime), "'14:30:00'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("2003/5/7", kMySqlTypeDateTime), "'2003-05-07 00:00:00'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("2003-05-07 14:30:00.125", kMySqlTypeDateTime),
              "'2003-05-07 14:30:00.125'");
    EXPECT_EQ(MYSQL_RS::SqlLiteral("-100:00:01", kMySqlTypeTime), "'-100:00:01'");  // TIME passes 24h

    EXPECT_EQ(sqlIdentifier("a `b`"), "`a ``b```");
}

TEST_F(RowEditTest, UpdateWritesStagedColumnsKeyedByThePrimaryKey) {
    run(conn_, "CREATE TABLE t (id INT, k2 VARCHAR(10), name VARCHAR(20), note TEXT, PRIMARY KEY (id, k2))");
    run(conn_, "INSERT INTO t VALUES (1, 'a', 'one', NULL), (2, 'b', 'two', NULL)");
    auto rs = run(conn_, "SELECT * FROM t ORDER BY id");
    rs->Fields("name").Value("uno");
    rs->Fields("NOTE").Value(FieldValue::null());
    rs->Fields("note").Value("first");
    EXPECT_EQ(rs->EditMode(), kEditInProgress);
    EXPECT_EQ(rs->Fields("name").Value(), FieldValue("one"));  // not saved yet
    EXPECT_EQ(rs->Update(), 1);
    EXPECT_EQ(conn_.QueryString(), "UPDATE `" + db_ +
                                       "`.`t` SET `name`='uno',`note`='first' WHERE `id`='1' AND `k2`='a'");
    EXPECT_EQ(rs->EditMode(), kEditNone);
    EXPECT_EQ(rs->Fields("name").Value(), FieldValue("uno"));  // saved edits show through
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_TRUE(rs->StagedEdits()->Item(1, true)->Item("name")->Updated());

    // Staged again: only the changed item goes out.
    rs->Fields("name").Value("eins");
    EXPECT_FALSE(rs->StagedEdits()->Item(1, true)->Item("NAME")->Updated());
    EXPECT_EQ(rs->Update(), 1);
    EXPECT_EQ(conn_.QueryString(), "UPDATE `" + db_ + "`.`t` SET `name`='eins' WHERE `id`='1' AND `k2`='a'");
    EXPECT_EQ(scalar(conn_, "SELECT CONCAT(name, note) FROM t WHERE id = 1"), "einsfirst");

    // Equal values: the server reports no row changed; the change stays staged.
    rs->MoveNext();
    rs->Fields("name").Value("two");
    EXPECT_EQ(rs->Update(), 0);
    EXPECT_FALSE(rs->StagedEdits()->Item(2, true)->Item("name")->Updated());

    // Computed columns and rows without a current row are never changed.
    auto computed = run(conn_, "SELECT id, UPPER(name) AS up FROM t");
    computed->Fields("up").Value("X");
    EXPECT_EQ(computed->EditMode(), kEditNone);
    EXPECT_EQ(computed->Update(), -1);
}

TEST_F(RowEditTest, NamesAndValuesRoundTripInEverySqlMode) {
    const std::string table = "order `items` select";
    const std::string value = std::string("O'Brien \"q\" back\\slash\\n tab\t nul") + std::string(1, '\0') +
                              "end";
    for (const char* mode : {"", "NO_BACKSLASH_ESCAPES", "ANSI_QUOTES", "NO_BACKSLASH_ESCAPES,ANSI_QUOTES"}) {
        SCOPED_TRACE(mode);
        run(conn_, std::string("SET SESSION sql_mode = '") + mode + "'");
        run(conn_, "DROP TABLE IF EXISTS " + sqlIdentifier(table));
        run(conn_, "CREATE TABLE " + sqlIdentifier(table) +
                       " (`my key` VARCHAR(60) PRIMARY KEY, `select` BLOB, `tick``s` VARCHAR(60),"
                       " l VARCHAR(20) CHARACTER SET latin1)");
        run(conn_, "INSERT INTO " + sqlIdentifier(table) + " (`my key`) VALUES ('seed')");
        auto rs = run(conn_, "SELECT * FROM " + sqlIdentifier(table));
        ASSERT_EQ(rs->AddNew(), 0);
        EXPECT_EQ(rs->EditMode(), kEditAdd);
        rs->Fields("my key").Value(value);
        rs->Fields("select").Value(std::string("\xff\x00\\", 3));
        rs->Fields("tick`s").Value("Grüße 😀");
        rs->Fields("l").Value("Grüße");
        ASSERT_EQ(rs->Update(), 1) << conn_.Error().Description();
        EXPECT_EQ(rs->StagedNewRows()->Count(), 1);

        rs->Requery();
        ASSERT_GT(rs->FindFirst("my key", value, 0), 0);
        EXPECT_EQ(rs->Fields(1).Value(), FieldValue(std::string("\xff\x00\\", 3)));
        EXPECT_EQ(rs->Fields(2).Value(), FieldValue("Grüße 😀"));
        EXPECT_EQ(rs->Fields(3).Value(), FieldValue("Grüße"));

        // The key with quotes, backslashes and a zero byte finds its row.
        rs->Fields("l").Value("it's \\ fine");
        EXPECT_EQ(rs->Update(), 1) << conn_.Error().Description();
        EXPECT_EQ(scalar(conn_, "SELECT l FROM " + sqlIdentifier(table) + " WHERE `my key` <> 'seed'"),
                  "it's \\ fine");
        EXPECT_EQ(rs->Delete(), 1) << conn_.Error().Description();
        EXPECT_EQ(scalar(conn_, "SELECT COUNT(*) FROM " + sqlIdentifier(table)), "1");
    }
}

TEST_F(RowEditTest, WithoutPrimaryKeyNothingIsSent) {
    run(conn_, "CREATE TABLE t (a INT, b INT)");
    run(conn_, "INSERT INTO t VALUES (1, 1)");
    auto rs = run(conn_, "SELECT * FROM t");
    rs->Fields("b").Value(FieldValue(2));
    const std::string before = conn_.QueryString();
    EXPECT_EQ(rs->Update(), 0);
    EXPECT_EQ(rs->Delete(), 0);
    EXPECT_EQ(conn_.QueryString(), before);
    EXPECT_EQ(scalar(conn_, "SELECT b FROM t"), "1");
}

TEST_F(RowEditTest, AliasedTablesAndColumnsEditTheRealOnes) {
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20))");
    run(conn_, "INSERT INTO t VALUES (1, 'a')");
    auto rs = run(conn_, "SELECT x.id AS ident, x.name AS n FROM t AS x");
    rs->Fields("n").Value("b");
    EXPECT_EQ(rs->Update(), 1) << conn_.Error().Description();
    EXPECT_EQ(scalar(conn_, "SELECT name FROM t"), "b");
}

TEST_F(RowEditTest, MovesSaveOrDropPendingEditsByAutoUpdate) {
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))");
    run(conn_, "INSERT INTO t VALUES (1, 'a'), (2, 'b')");
    auto rs = run(conn_, "SELECT * FROM t ORDER BY id");
    rs->Fields("v").Value("dropped");
    rs->MoveNext();  // AutoUpdate false: dropped
    EXPECT_EQ(rs->EditMode(), kEditNone);
    EXPECT_EQ(rs->StagedEdits()->Count(), 0);
    EXPECT_EQ(scalar(conn_, "SELECT v FROM t WHERE id = 1"), "a");

    conn_.AutoUpdate(true);
    rs = run(conn_, "SELECT * FROM t ORDER BY id");
    rs->Fields("v").Value("saved");
    rs->MoveNext();  // saved with the key of the row being left
    EXPECT_EQ(scalar(conn_, "SELECT v FROM t WHERE id = 1"), "saved");
    EXPECT_EQ(scalar(conn_, "SELECT v FROM t WHERE id = 2"), "b");

    // From the last row to EOF the edit ends but is neither saved nor dropped.
    rs = run(conn_, "SELECT * FROM t ORDER BY id");
    rs->MoveLast();
    rs->Fields("v").Value("later");
    rs->MoveNext();
    EXPECT_EQ(rs->EditMode(), kEditNone);
    EXPECT_FALSE(rs->StagedEdits()->Item(2, true)->Item("v")->Updated());
    EXPECT_EQ(scalar(conn_, "SELECT v FROM t WHERE id = 2"), "b");
    rs->MoveLast();
    EXPECT_EQ(rs->Fields("v").Value(), FieldValue("b"));
    rs->Fields("id").Value("2");  // a later change of the row sends the old one along
    EXPECT_EQ(rs->Update(), 1);
    EXPECT_EQ(scalar(conn_, "SELECT v FROM t WHERE id = 2"), "later");

    // A find that moves the cursor finishes the edit of the row it leaves.
    conn_.AutoUpdate(false);
    rs = run(conn_, "SELECT * FROM t ORDER BY id");
    rs->Fields("v").Value("never");
    EXPECT_EQ(rs->FindFirst("id", "2", 0), 2);
    EXPECT_EQ(rs->Update(), -1);
    EXPECT_EQ(scalar(conn_, "SELECT v FROM t WHERE id = 2"), "later");

    // Closing finishes too.
    conn_.AutoUpdate(true);
    rs = run(conn_, "SELECT * FROM t ORDER BY id");
    rs->Fields("v").Value("closing");
    rs->CloseRecordset();
    EXPECT_EQ(scalar(conn_, "SELECT v FROM t WHERE id = 1"), "closing");
}

TEST_F(RowEditTest, AddNewCancelAndRefusals) {
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, d DATE, dt DATETIME, tm TIME)");
    run(conn_, "CREATE TABLE u (id INT PRIMARY KEY)");
    run(conn_, "INSERT INTO t VALUES (1, '2000-01-01', '2000-01-01 10:00:00', '10:00:00')");
    run(conn_, "INSERT INTO u VALUES (1)");
    EXPECT_EQ(run(conn_, "SELECT * FROM t WHERE id = 0")->AddNew(), -1);
    EXPECT_EQ(run(conn_, "SELECT t.id, u.id FROM t JOIN u ON t.id = u.id")->AddNew(), -1);

    auto rs = run(conn_, "SELECT * FROM t");
    ASSERT_EQ(rs->AddNew(), 0);
    EXPECT_EQ(rs->AddNew(), -1);
    rs->Fields("id").Value(FieldValue(2));
    rs->CancelUpdate();
    EXPECT_EQ(rs->EditMode(), kEditNone);
    EXPECT_EQ(rs->StagedNewRows()->Count(), 0);

    ASSERT_EQ(rs->AddNew(), 0);
    rs->Fields("id").Value(FieldValue(1));  // duplicate key: refused by the server
    EXPECT_EQ(rs->Update(), 0);
    EXPECT_EQ(conn_.Error().Number(), 1062);
    EXPECT_EQ(rs->StagedNewRows()->Count(), 0);
    EXPECT_EQ(rs->EditMode(), kEditNone);

    ASSERT_EQ(rs->AddNew(), 0);
    rs->Fields("id").Value(FieldValue(3));
    rs->Fields("d").Value("no date at all");
    rs->Fields("dt").Value(FieldValue::dateTime(calendarToOleDate({2003, 5, 7, 14, 30, 0, 0})));
    rs->Fields("tm").Value("25:30:00");
    EXPECT_EQ(rs->Update(), 1) << conn_.Error().Description();
    EXPECT_EQ(scalar(conn_, "SELECT CONCAT_WS('|', d, dt, tm) FROM t WHERE id = 3"),
              "0000-00-00|2003-05-07 14:30:00|25:30:00");

    // Editing the shared result set of the Access-to-MySQL direction keeps it open.
    session().direction = 1;
    auto shared = run(conn_, "SELECT * FROM t ORDER BY id");
    shared->Fields("tm").Value("11:00:00");
    EXPECT_EQ(shared->Update(), 1);
    EXPECT_EQ(shared->State(), 0);
    EXPECT_EQ(shared->Fields("tm").Value(), FieldValue("11:00:00"));
}

TEST_F(RowEditTest, DeletedRowsStayMarked) {
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))");
    run(conn_, "INSERT INTO t VALUES (1, 'a'), (2, 'b')");
    auto rs = run(conn_, "SELECT * FROM t ORDER BY id");
    rs->MoveNext();
    EXPECT_EQ(rs->Delete(), 1);
    EXPECT_EQ(rs->EditMode(), kEditDeleted);
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Fields("v").Value(), FieldValue("b"));
    rs->Fields("v").Value("ignored");
    EXPECT_EQ(rs->Update(), -1);
    EXPECT_EQ(rs->Delete(), -1);
    rs->MoveFirst();
    EXPECT_EQ(rs->EditMode(), kEditNone);
    rs->Fields("v").Value("x");
    EXPECT_EQ(rs->Delete(), -1);  // not while an edit is under way
    rs->CancelUpdate();
    EXPECT_EQ(scalar(conn_, "SELECT COUNT(*) FROM t"), "1");
}

}  // namespace
}  // namespace veltrano::test
