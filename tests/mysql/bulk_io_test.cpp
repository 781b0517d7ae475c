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
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary read" : "text read");
        MYSQL_CONNECTION reader;
        ASSERT_TRUE(openTestConnection(reader));
        std::string id = scalar(reader, "SELECT CONNECTION_ID()");
        MYSQL_STREAM stream(reader);
        // A result far bigger than the socket buffers, from the Sequence engine.
        const std::string sql = "SELECT a.seq, REPEAT('x', 200) FROM " + sqlIdentifier(db_) + ".seq_1_to_5000 a, " +
                                sqlIdentifier(db_) + ".seq_1_to_200 b";
        if (!(binary ? stream.OpenBinary(sql, nullptr) : stream.Open(sql)))
            GTEST_SKIP() << "no Sequence engine: " << reader.Error().Description();
        ASSERT_TRUE(stream.Next());
        run(conn_, "KILL CONNECTION " + id);
        int64_t rows = 1;
        while (stream.Next()) ++rows;
        EXPECT_LT(rows, 5000 * 200);
        EXPECT_NE(reader.Error().Number(), 0);
        EXPECT_FALSE(stream.IsOpen());
    }
}

TEST_F(BulkIoTest, BinaryReadGivesWhatTheTextProtocolGives) {
    run(conn_, "SET SESSION sql_mode = ''");  // zero dates may be stored
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, ti TINYINT, tu TINYINT UNSIGNED, si SMALLINT, "
               "mi MEDIUMINT UNSIGNED, iz INT(6) ZEROFILL, bi BIGINT, bu BIGINT UNSIGNED, yr YEAR, db DOUBLE, "
               "dd DOUBLE(10,2), dc DECIMAL(40,10), d DATE, dt DATETIME, dt3 DATETIME(3), ts TIMESTAMP(6) NULL, "
               "tm TIME, tm2 TIME(2), vc VARCHAR(10), ch CHAR(5), bn BINARY(4), tx TEXT, lb LONGBLOB, bt BIT(12), "
               "en ENUM('a','b'), st SET('x','y'), js JSON, uu UUID, ip INET6, g GEOMETRY)");
    run(conn_, "INSERT INTO t VALUES (1, -128, 255, -32768, 16777215, 42, -9223372036854775808, "
               "18446744073709551615, 2024, 0.1, 1.25, -123456789012345678901234567890.0123456789, '2003-01-05', "
               "'1999-12-31 23:59:59', '2003-01-05 10:20:30.125', '2020-02-29 12:00:00.000001', '838:59:59', "
               "'-01:30:00.5', 'Grüße', 'ab', X'00FF', REPEAT('t', 300), REPEAT(X'00FF', 70000), b'101000000101', "
               "'b', 'x,y', '{\"k\": 1}', '123e4567-e89b-12d3-a456-426614174000', '::1', POINT(1, 2))");
    run(conn_, "INSERT INTO t (id, ti, bi, yr, db, d, dt, tm, vc, tx) VALUES (2, 0, 9007199254740993, 0, -0.0, "
               "'0000-00-00', '0000-00-00 00:00:00', '00:00:00', '', REPEAT('u', 5000))");
    run(conn_, "INSERT INTO t (id, bi, db, d, dt, vc, tx) VALUES (3, -9007199254740992, 1e300, '2003-00-10', "
               "'2003-02-30 01:02:03', 'a\\0b', 'short')");
    run(conn_, "INSERT INTO t (id) VALUES (4)");
    const std::string select = "SELECT * FROM t ORDER BY id";

    std::vector<std::vector<FieldValue>> expected;
    MYSQL_STREAM text(conn_);
    ASSERT_TRUE(text.Open(select));
    while (text.Next()) expected.push_back(text.Row());
    ASSERT_EQ(expected.size(), 4u);

    for (bool numbers : {false, true}) {
        SCOPED_TRACE(numbers ? "numbers asked for" : "texts asked for");
        MYSQL_STREAM binary(conn_);
        auto wanted = [&](int32_t, const MySqlColumnInfo& c) { return numbers || c.name == "db" || c.name == "dd"; };
        ASSERT_TRUE(binary.OpenBinary(select, wanted)) << conn_.Error().Description();
        ASSERT_EQ(binary.Columns().size(), expected[0].size());
        size_t row = 0;
        while (binary.Next()) {
            ASSERT_LT(row, expected.size());
            for (int32_t i = 0; i < binary.FieldCount(); ++i) {
                SCOPED_TRACE("row " + std::to_string(row + 1) + ", column " + binary.Columns()[i].name);
                FieldValue got = binary.Value(i);
                const FieldValue& want = expected[row][static_cast<size_t>(i)];
                if (got.isNumber()) EXPECT_EQ(got.asNumber(), std::strtod(want.asText().c_str(), nullptr));
                else EXPECT_TRUE(got == want) << got.toDisplayText().substr(0, 40) << " for " << want.toDisplayText().substr(0, 40);
            }
            ++row;
        }
        EXPECT_EQ(row, expected.size());
        EXPECT_EQ(conn_.Error().Number(), 0) << conn_.Error().Description();
    }
    // Integers past 2^53 stay text even when a Number is asked for.
    MYSQL_STREAM big(conn_);
    ASSERT_TRUE(big.OpenBinary("SELECT bi FROM t WHERE id = 2", [](int32_t, const MySqlColumnInfo&) { return true; }));
    ASSERT_TRUE(big.Next());
    EXPECT_EQ(big.Value(0), FieldValue("9007199254740993"));
    big.Close();

    // FLOAT, and DOUBLE wanted as text, cannot be given exactly: nothing
    // opens, no error, and the connection is free for the plain read.
    run(conn_, "CREATE TABLE f (x FLOAT, y DOUBLE)");
    MYSQL_STREAM refused(conn_);
    EXPECT_FALSE(refused.OpenBinary("SELECT x FROM f", [](int32_t, const MySqlColumnInfo&) { return true; }));
    EXPECT_FALSE(refused.OpenBinary("SELECT y FROM f", nullptr));
    EXPECT_EQ(conn_.Error().Number(), 0);
    EXPECT_FALSE(refused.IsOpen());
    EXPECT_FALSE(refused.OpenBinary("SELECT * FROM missing", nullptr));
    EXPECT_EQ(conn_.Error().Number(), 1146);
    EXPECT_EQ(scalar(conn_, "SELECT 'usable'"), "usable");

    // Closed early, the rest is skipped and the connection is usable.
    MYSQL_STREAM early(conn_);
    ASSERT_TRUE(early.OpenBinary(select, [](int32_t, const MySqlColumnInfo&) { return true; }));
    ASSERT_TRUE(early.Next());
    EXPECT_EQ(conn_.Execute("SELECT 1")->State(), 1);  // one statement at a time
    conn_.Error().Clear();
    early.Close();
    EXPECT_EQ(scalar(conn_, "SELECT 2"), "2");
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
