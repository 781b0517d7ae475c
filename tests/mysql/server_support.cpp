#include "mysql/server_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace veltrano {
void PrintTo(const FieldValue& value, std::ostream* os) {
    switch (value.kind()) {
        case FieldValue::Kind::Empty: *os << "Empty"; break;
        case FieldValue::Kind::Null: *os << "Null"; break;
        case FieldValue::Kind::Text: *os << "Text(" << ::testing::PrintToString(value.asText()) << ")"; break;
        default: *os << "Value(" << value.toDisplayText() << ")";
    }
}
}  // namespace veltrano

namespace veltrano::test {

const ServerLogin* testServer() {
    static const ServerLogin* login = [] () -> const ServerLogin* {
        const char* host = std::getenv("VELTRANO_TEST_MYSQL_HOST");
        const char* port = std::getenv("VELTRANO_TEST_MYSQL_PORT");
        if (!host || !*host || !port || !*port) return nullptr;
        auto* l = new ServerLogin;
        l->host = host;
        l->port = std::atoi(port);
        const char* user = std::getenv("VELTRANO_TEST_MYSQL_USER");
        const char* password = std::getenv("VELTRANO_TEST_MYSQL_PASSWORD");
        l->user = user ? user : "root";
        l->password = password ? password : "";
        return l;
    }();
    return login;
}

bool openTestConnection(MYSQL_CONNECTION& conn) {
    const ServerLogin* s = testServer();
    if (!s) return false;
    return conn.OpenConnection(s->host, s->user, s->password, "", s->port, 0) == 0;
}

std::shared_ptr<MYSQL_RS> run(MYSQL_CONNECTION& conn, const std::string& sql) {
    auto rs = conn.Execute(sql);
    EXPECT_EQ(conn.Error().Number(), 0) << sql << ": " << conn.Error().Description();
    return rs;
}

std::string scalar(MYSQL_CONNECTION& conn, const std::string& sql) {
    auto rs = run(conn, sql);
    FieldValue v = rs->Fields(0).Value();
    if (v.isNull()) return "<NULL>";
    if (v.isEmpty()) return "<EMPTY>";
    return v.asText();
}

void MySqlTest::SetUp() {
    if (!testServer()) GTEST_SKIP() << "VELTRANO_TEST_MYSQL_HOST/PORT not set";
    resetSession();
    session().direction = 0;
    ASSERT_TRUE(openTestConnection(conn_)) << conn_.Error().Description();
    static std::atomic<int> counter{0};
    db_ = "vt_mysql_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    run(conn_, "DROP DATABASE IF EXISTS `" + db_ + "`");
    run(conn_, "CREATE DATABASE `" + db_ + "` CHARACTER SET utf8mb4");
    ASSERT_TRUE(conn_.SelectDb(db_)) << conn_.Error().Description();
}

void MySqlTest::TearDown() {
    if (db_.empty()) return;
    MYSQL_CONNECTION cleanup;  // conn_ may have been closed or killed by the test
    if (openTestConnection(cleanup)) cleanup.Execute("DROP DATABASE IF EXISTS `" + db_ + "`");
    resetSession();
}

}  // namespace veltrano::test
