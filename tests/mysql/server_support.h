// Test support: the MariaDB server that scripts/test starts, and a fixture
// that gives every test its own database so test programs can share it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/conversion_session.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"

namespace veltrano {
// Readable values in test failure messages.
void PrintTo(const FieldValue& value, std::ostream* os);
}  // namespace veltrano

namespace veltrano::test {

struct ServerLogin {
    std::string host, user, password;
    int port = 0;
};

// Null when VELTRANO_TEST_MYSQL_HOST / _PORT are not set.
const ServerLogin* testServer();

// Opens conn on the test server; false (with the reason in conn.Error()) on failure.
bool openTestConnection(MYSQL_CONNECTION& conn);

// Runs a statement that must succeed; fails the test otherwise.
std::shared_ptr<MYSQL_RS> run(MYSQL_CONNECTION& conn, const std::string& sql);

// The first column of the first row as text ("<NULL>" for NULL, "<EMPTY>" for no row).
std::string scalar(MYSQL_CONNECTION& conn, const std::string& sql);

class MySqlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    MYSQL_CONNECTION conn_;
    std::string db_;  // this test's own database, selected on conn_
};

}  // namespace veltrano::test
