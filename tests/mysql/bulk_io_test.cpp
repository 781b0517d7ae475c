// Streaming reads, in-memory LOAD DATA and the mode-proof SQL text helpers
// used by the conversion runs.
#include <gtest/gtest.h>

#include "mysql/mysql_stream.h"
#include "mysql/server_support.h"
#include "mysql/sql_text.h"

namespace veltrano::test {
namespace {

using BulkIoTest = MySqlTest;

const char* const kModes[] = {"", "NO_BACKSLASH_ESCAPES", "ANSI_QUOTES,NO_BACKSLASH_ESCAPES"};

TEST_F(BulkIoTest, TextLiteralsReadBackByteForByteInEveryMode) {
    const std::string samples[] = {"", "plain", "O'Brien", "a\\nb", "\\", "''", std::string("x\0y", 3),
                                   "\"dq\"", "Grüße 😀", "\\'; DROP TABLE t; -- "};
    for (const char* mode : kModes) {
        SCOPED_TRACE(mode);
        run(conn_, std::string("SET SESSION sql_mode = '") + mode + "'");
        for (const std::string& s : samples) {
            auto rs = run(conn_, "SELECT " + sqlTextLiteral(s) + ", " + sqlBinaryLiteral(s) + " AS " +
                                     sqlIdentifier("we`ird name"));
            EXPECT_EQ(rs->Fields(0).Value(), FieldValue(s));
            EXPECT_EQ(rs->Fields("we`ird name").Value(), FieldValue(s));
        }
    }
}

TEST_F(BulkIoTest, StreamReadsRowsWithMetadataAndKeepsTheConnectionHonest) {
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, b VARBINARY(10), d DECIMAL(8,3))");
    run(conn_, "INSERT INTO t VALUES (1, X'00FF00', 1.5), (2, NULL, NULL), (3, '', -2)");
    MYSQL_STREAM stream(conn_);
    ASSERT_TRUE(stream.Open("SELECT * FROM t ORDER BY id"));
    ASSERT_EQ(stream.FieldCount(), 3);
    const auto& cols = stream.Columns();
    EXPECT_EQ(cols[0].name, "id");
    EXPECT_EQ(cols[0].table, "t");
    EXPECT_TRUE(cols[0].flags & kMySqlPriKeyFlag);
    EXPECT_EQ(cols[1].charsetNr, kMySqlBinaryCharset);
    EXPECT_EQ(cols[2].decimals, 3);
    EXPECT_EQ(cols[2].type, 246);  // NEWDECIMAL

    ASSERT_TRUE(stream.Next());
    EXPECT_EQ(stream.Bytes(1), std::string_view("\0\xff\0", 3));
    EXPECT_EQ(stream.Value(2), FieldValue("1.500"));
    // One statement at a time: the library refuses, nothing breaks.
    auto rs = conn_.Execute("SELECT 1");
    EXPECT_EQ(conn_.Error().Number(), 2014);
    EXPECT_EQ(rs->State(), 1);
    conn_.Error().Clear();
    ASSERT_TRUE(stream.Next());
    EXPECT_TRUE(stream.IsNull(1));
    EXPECT_EQ(stream.Row(), (std::vector<FieldValue>{FieldValue("2"), FieldValue::null(), FieldValue::null()}));
    ASSERT_TRUE(stream.Next());
    EXPECT_EQ(stream.RowNumber(), 3);
    EXPECT_FALSE(stream.Next());
    EXPECT_EQ(conn_.Error().Number(), 0);
    EXPECT_EQ(scalar(conn_, "SELECT 'usable again'"), "usable again");

    // Closing early skips the rest; a statement without rows or a failing
    // one opens nothing.
    ASSERT_TRUE(stream.Open("SELECT * FROM t"));
    stream.Close();
    EXPECT_EQ(scalar(conn_, "SELECT 1"), "1");
    EXPECT_FALSE(stream.Open("DO 1"));
    EXPECT_EQ(conn_.Error().Number(), 0);
    EXPECT_FALSE(stream.Open("SELECT * FROM missing"));
    EXPECT_EQ(conn_.Error().Number(), 1146);
}

TEST_F(BulkIoTest, StreamSurvivesItsConnectionClosingOrDying) {
    run(conn_, "CREATE TABLE t (id INT)");
    run(conn_, "INSERT INTO t VALUES (1), (2)");
    MYSQL_STREAM stream(conn_);
    ASSERT_TRUE(stream.Open("SELECT * FROM t"));
    conn_.CloseConnection();
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_FALSE(stream.Next());

    auto other = std::make_unique<MYSQL_CONNECTION>();
    ASSERT_TRUE(openTestConnection(*other));
    MYSQL_STREAM orphan(*other);
    ASSERT_TRUE(orphan.Open("SELECT 1 UNION ALL SELECT 2"));
    other.reset();
    EXPECT_FALSE(orphan.Next());
    EXPECT_FALSE(orphan.Open("SELECT 1"));
}

TEST_F(BulkIoTest, AStreamWhoseConnectionIsKilledEndsWithAnError) {
    std::string id = scalar(conn_, "SELECT CONNECTION_ID()");
    MYSQL_STREAM stream(conn_);
    // A result far bigger than the socket buffers, from the Sequence engine.
    if (!stream.Open("SELECT a.seq, REPEAT('x', 200) FROM seq_1_to_5000 a, seq_1_to_200 b"))
        GTEST_SKIP() << "no Sequence engine: " << conn_.Error().Description();
    ASSERT_TRUE(stream.Next());
    MYSQL_CONNECTION killer;
    ASSERT_TRUE(openTestConnection(killer));
    run(killer, "KILL CONNECTION " + id);
    int64_t rows = 1;
    while (stream.Next()) ++rows;
    EXPECT_LT(rows, 5000 * 200);
    EXPECT_NE(conn_.Error().Number(), 0);
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(BulkIoTest, LoadLocalDataFromMemoryInEveryMode) {
    run(conn_, "CREATE TABLE `my t` (id INT PRIMARY KEY, s VARCHAR(40), b BLOB, n INT)");
    const std::string tricky = std::string("tab\there\nnew \\ back 'q' \"dq\" \\N nul") + std::string(1, '\0');
    std::string data;
    int id = 0;
    for (const char* mode : kModes) {
        (void)mode;
        data += std::to_string(++id);
        data += kLoadDataFieldEnd;
        appendLoadDataValue(data, tricky);
        data += kLoadDataFieldEnd;
        appendLoadDataValue(data, std::string("\xff\x00\\", 3));
        data += kLoadDataFieldEnd;
        appendLoadDataNull(data);
        data += kLoadDataRowEnd;
    }
    id = 0;
    for (const char* mode : kModes) {
        SCOPED_TRACE(mode);
        run(conn_, std::string("SET SESSION sql_mode = '") + mode + "'");
        run(conn_, "DELETE FROM `my t`");
        EXPECT_EQ(conn_.LoadLocalData(loadDataTail("my t", "(`id`,`s`,`b`,`n`)"), data), 3)
            << conn_.Error().Description();
        EXPECT_NE(conn_.QueryInfo().find("Records: 3"), std::string::npos);
        auto rs = run(conn_, "SELECT s, b, n FROM `my t` ORDER BY id");
        EXPECT_EQ(rs->RecordCount(), 3);
        EXPECT_EQ(rs->Fields(0).Value(), FieldValue(tricky));
        EXPECT_EQ(rs->Fields(1).Value(), FieldValue(std::string("\xff\x00\\", 3)));
        EXPECT_TRUE(rs->Fields(2).Value().isNull());
    }

    // The server may only have the buffer: any other file is refused.
    run(conn_, "SET SESSION sql_mode = DEFAULT");
    conn_.Execute("LOAD DATA LOCAL INFILE '/etc/hostname' INTO TABLE `my t`");
    EXPECT_NE(conn_.Error().Number(), 0);
    EXPECT_EQ(scalar(conn_, "SELECT COUNT(*) FROM `my t`"), "3");

    EXPECT_EQ(conn_.LoadLocalData(loadDataTail("missing"), data), -1);
    EXPECT_EQ(conn_.Error().Number(), 1146);
    conn_.CloseConnection();
    EXPECT_EQ(conn_.LoadLocalData(loadDataTail("my t"), data), -1);
    EXPECT_EQ(conn_.Error().Number(), 2006);
}

}  // namespace
}  // namespace veltrano::test
