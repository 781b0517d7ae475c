#include <gtest/gtest.h>

#include "mysql/connect_error.h"
#include "mysql/server_support.h"

namespace veltrano::test {
namespace {

using ConnectionTest = MySqlTest;

TEST(ConnectFailure, ReportsTheLibrarysNumberAndTextAndKeepsTheParameters) {
    const ServerLogin* s = testServer();
    if (!s) GTEST_SKIP();
    MYSQL_CONNECTION conn;
    // Port 1 on the loopback: nothing listens there.
    EXPECT_EQ(conn.OpenConnection(s->host, s->user, s->password, "", 1, 0), 1);
    EXPECT_EQ(conn.State(), 1);
    EXPECT_EQ(conn.Error().Number(), 2002);
    EXPECT_NE(conn.Error().Description().find("Can't connect"), std::string::npos)
        << conn.Error().Description();
    EXPECT_EQ(conn.Hostname(), s->host);
    EXPECT_EQ(conn.Username(), s->user);
    // Shown to a user, the library's "(115)" or "(111)" comes with what it means.
    EXPECT_NE(explainedConnectError(conn.Error().Number(), conn.Error().Description())
                  .find("\nconnection refused: is the server running and is the port right?"),
              std::string::npos);
    MYSQL_CONNECTION unknown;
    unknown.OpenConnection("no-such-host.invalid", s->user, s->password, "", s->port, 0);
    EXPECT_NE(explainedConnectError(unknown.Error().Number(), unknown.Error().Description())
                  .find("the host name is not known"),
              std::string::npos)
        << unknown.Error().Description();

    EXPECT_EQ(conn.OpenConnection(s->host, s->user, "definitely wrong", "", s->port, 0), 1);
    EXPECT_EQ(conn.Error().Number(), 1045);
    EXPECT_NE(conn.Error().Description().find("Access denied"), std::string::npos);
    EXPECT_EQ(conn.Password(), "definitely wrong");

    // Everything on a closed connection is neutral and leaves Error alone.
    int64_t affected = 7;
    auto rs = conn.Execute("SELECT 1", affected);
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->State(), 1);
    EXPECT_EQ(affected, 7);
    EXPECT_EQ(conn.Error().Number(), 0);
    EXPECT_EQ(conn.QueryString(), "SELECT 1");
    EXPECT_EQ(conn.QueryInfo(), "");
    EXPECT_EQ(conn.LastInsertID(), 0);
    EXPECT_EQ(conn.WarningCount(), 0);
    EXPECT_FALSE(conn.SelectDb("mysql"));
    EXPECT_NE(conn.Error().Number(), 0);
    conn.Ping();
    conn.CloseConnection();
    EXPECT_EQ(conn.State(), 1);
}

TEST_F(ConnectionTest, ReopeningClosesTheOldHandleAndSpeaksUtf8mb4) {
    std::string first = scalar(conn_, "SELECT CONNECTION_ID()");
    EXPECT_EQ(scalar(conn_, "SELECT @@character_set_client"), "utf8mb4");
    EXPECT_EQ(scalar(conn_, "SELECT @@character_set_results"), "utf8mb4");
    ASSERT_TRUE(openTestConnection(conn_));
    EXPECT_NE(scalar(conn_, "SELECT CONNECTION_ID()"), first);
    EXPECT_EQ(conn_.QueryString(), "SELECT CONNECTION_ID()");
    conn_.CloseConnection();
    EXPECT_EQ(conn_.QueryString(), "");
    EXPECT_EQ(conn_.State(), 1);
}

TEST_F(ConnectionTest, OptionsApplyAtEveryOpenUntilCleared) {
    conn_.SetOption(kOptInitCommand, "SET @vt_marker = 'set by option'");
    conn_.SetOption(99, "ignored");
    conn_.SetOption(kOptConnectTimeout, "5");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(openTestConnection(conn_)) << conn_.Error().Description();
        EXPECT_EQ(scalar(conn_, "SELECT @vt_marker"), "set by option");
    }
    conn_.ClearOptions();
    ASSERT_TRUE(openTestConnection(conn_));
    EXPECT_EQ(scalar(conn_, "SELECT @vt_marker"), "<NULL>");
}

TEST_F(ConnectionTest, ExecuteOfRowAndNonRowStatements) {
    int64_t affected = -5;
    auto rs = conn_.Execute("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20))", affected);
    EXPECT_EQ(rs->State(), 1);
    EXPECT_EQ(affected, 0);
    rs = conn_.Execute("INSERT INTO t VALUES (1,'a'),(2,'b'),(3,'c')", affected);
    EXPECT_EQ(rs->State(), 1);
    EXPECT_EQ(affected, 3);
    EXPECT_EQ(conn_.Error().Number(), 0);
    EXPECT_EQ(conn_.QueryInfo(), "Records: 3  Duplicates: 0  Warnings: 0");
    EXPECT_EQ(conn_.WarningCount(), 0);
    run(conn_, "INSERT IGNORE INTO t VALUES (1, 'duplicate')");
    EXPECT_EQ(conn_.WarningCount(), 1);

    rs = conn_.Execute("  SELECT * FROM t WHERE id > 5  ", affected);
    EXPECT_EQ(rs->State(), 0);
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(rs->FieldCount(), 2);
    EXPECT_EQ(rs->QueryString(), "SELECT * FROM t WHERE id > 5");
    EXPECT_EQ(conn_.QueryString(), "  SELECT * FROM t WHERE id > 5  ");

    rs = conn_.Execute("SHOW TABLES;", affected);
    EXPECT_EQ(rs->State(), 0);
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(affected, 1);

    // A rejected statement: closed result set, count 0, the server's error.
    affected = 9;
    rs = conn_.Execute("SELEKT nonsense", affected);
    EXPECT_EQ(rs->State(), 1);
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(rs->FieldCount(), 0);
    EXPECT_EQ(affected, 0);
    EXPECT_EQ(conn_.Error().Number(), 1064);
    EXPECT_NE(conn_.Error().Description().find("SQL syntax"), std::string::npos);

    // A blank statement runs nothing but clears the error.
    affected = 42;
    rs = conn_.Execute(" \t ", affected);
    EXPECT_EQ(affected, 42);
    EXPECT_EQ(conn_.Error().Number(), 0);
    EXPECT_EQ(conn_.QueryString(), " \t ");
    EXPECT_EQ(rs->State(), 1);
}

TEST_F(ConnectionTest, DirectionOneSharesOneResultSetDirectionZeroDoesNot) {
    run(conn_, "CREATE TABLE t (id INT)");
    run(conn_, "INSERT INTO t VALUES (1),(2)");
    auto a = conn_.Execute("SELECT id FROM t ORDER BY id");
    auto b = conn_.Execute("SELECT 'other'");
    EXPECT_NE(a, b);
    EXPECT_EQ(a->RecordCount(), 2);
    EXPECT_EQ(a->Fields(0).Value(), FieldValue("1"));
    EXPECT_EQ(b->Fields(0).Value(), FieldValue("other"));

    session().direction = 1;
    auto c = conn_.Execute("SELECT id FROM t ORDER BY id");
    EXPECT_EQ(c->RecordCount(), 2);
    auto d = conn_.Execute("SELECT 'other'");
    EXPECT_EQ(c, d);
    EXPECT_EQ(c->RecordCount(), 1);
    EXPECT_EQ(c->Fields(0).Value(), FieldValue("other"));
    auto e = conn_.Execute("INSERT INTO t VALUES (3)");
    EXPECT_EQ(e, c);
    EXPECT_EQ(c->State(), 1);
}

TEST_F(ConnectionTest, ResultSetsOutliveTheirConnectionSafely) {
    for (int direction : {0, 1}) {
        session().direction = static_cast<int16_t>(direction);
        std::shared_ptr<MYSQL_RS> rs;
        {
            MYSQL_CONNECTION other;
            ASSERT_TRUE(openTestConnection(other));
            other.AutoUpdate(true);
            rs = other.Execute("SELECT 'kept' AS v");
        }
        EXPECT_EQ(rs->Fields("v").Value(), FieldValue("kept"));
        rs->Fields(0).Value(FieldValue("changed"));  // computed: ignored
        rs->Requery();                               // no connection: nothing
        EXPECT_EQ(rs->RecordCount(), 1);
        rs->MoveNext();
        rs->CloseRecordset();
        EXPECT_EQ(rs->State(), 1);
    }
}

TEST_F(ConnectionTest, SelectDbFlushQueryInfoAndLastInsertId) {
    EXPECT_EQ(conn_.DbName(), db_);
    EXPECT_FALSE(conn_.SelectDb("vt_mysql_no_such_database"));
    EXPECT_EQ(conn_.Error().Number(), 1049);
    EXPECT_EQ(conn_.DbName(), db_);

    run(conn_, "CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v INT)");
    run(conn_, "INSERT INTO t (v) VALUES (10)");
    run(conn_, "INSERT INTO t (v) VALUES (11)");
    EXPECT_EQ(conn_.LastInsertID(), 2);
    run(conn_, "ALTER TABLE t AUTO_INCREMENT = 5000000000");
    run(conn_, "ALTER TABLE t MODIFY id BIGINT AUTO_INCREMENT");
    run(conn_, "INSERT INTO t (v) VALUES (12)");
    EXPECT_EQ(conn_.LastInsertID(), 5000000000LL);  // whole, not cut to 32 bits
    EXPECT_EQ(conn_.QueryInfo(), "");

    // FLUSH waits for statements of other test programs sharing the server.
    run(conn_, "SET SESSION lock_wait_timeout = 30");
    conn_.Flush(2);
    EXPECT_EQ(conn_.QueryString(), "FLUSH LOGS");
    EXPECT_EQ(conn_.Error().Number(), 0) << conn_.Error().Description();
    conn_.Flush(0);
    EXPECT_EQ(conn_.QueryString(), "FLUSH HOSTS, LOGS, PRIVILEGES, STATUS, TABLES");
    conn_.Flush(6);
    EXPECT_EQ(conn_.QueryString(), "FLUSH HOSTS, LOGS, PRIVILEGES, STATUS, TABLES");
}

TEST_F(ConnectionTest, AKilledConnectionGivesAnErrorAndPingReconnects) {
    std::string id = scalar(conn_, "SELECT CONNECTION_ID()");
    MYSQL_CONNECTION killer;
    ASSERT_TRUE(openTestConnection(killer));
    run(killer, "KILL CONNECTION " + id);

    auto rs = conn_.Execute("SELECT 1");
    EXPECT_NE(conn_.Error().Number(), 0);
    EXPECT_EQ(rs->State(), 1);
    auto again = conn_.Execute("SELECT 1");  // still lost: no silent reconnect
    EXPECT_NE(conn_.Error().Number(), 0);

    conn_.Ping();
    EXPECT_EQ(scalar(conn_, "SELECT 1"), "1");
    EXPECT_NE(scalar(conn_, "SELECT CONNECTION_ID()"), id);
    EXPECT_EQ(scalar(conn_, "SELECT DATABASE()"), db_);
    EXPECT_EQ(scalar(conn_, "SELECT @@character_set_client"), "utf8mb4");
}

}  // namespace
}  // namespace veltrano::test
