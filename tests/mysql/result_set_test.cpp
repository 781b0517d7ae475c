#include <gtest/gtest.h>

#include "mysql/server_support.h"

namespace veltrano::test {
namespace {

using ResultSetTest = MySqlTest;

TEST_F(ResultSetTest, EmptyResultIsOpenWithNoPosition) {
    auto rs = run(conn_, "SELECT 1 AS a FROM DUAL WHERE 1 = 0");
    EXPECT_EQ(rs->State(), 0);
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_TRUE(rs->BOF());
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_TRUE(rs->Fields(0).Value().isEmpty());
    EXPECT_EQ(rs->Fields(0).MySqlType(), kMySqlTypeString);
    EXPECT_EQ(rs->RsToHtmlTable(), "");
    rs->MoveLast();
    EXPECT_EQ(rs->AbsolutePosition(), -1);
}

TEST_F(ResultSetTest, CursorMovesAndPositionCodes) {
    auto rs = run(conn_, "SELECT 'a' UNION ALL SELECT 'b' UNION ALL SELECT 'c'");
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    EXPECT_FALSE(rs->BOF());
    EXPECT_FALSE(rs->Eof());
    for (int i = 0; i < 3; ++i) rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->AbsolutePosition(), -2);
    rs->MoveNext();
    EXPECT_EQ(rs->AbsolutePosition(), -2);
    rs->MovePrevious();
    EXPECT_EQ(rs->Fields(0).Value(), FieldValue("c"));
    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->BOF());
    EXPECT_EQ(rs->AbsolutePosition(), -3);
    rs->MovePrevious();
    EXPECT_EQ(rs->AbsolutePosition(), -3);

    rs->AbsolutePosition(2);
    EXPECT_EQ(rs->Fields(0).Value(), FieldValue("b"));
    rs->AbsolutePosition(0);
    rs->AbsolutePosition(4);
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->MoveLast();
    EXPECT_EQ(rs->Fields(0).Value(), FieldValue("c"));

    rs->CloseRecordset();
    EXPECT_EQ(rs->State(), 1);
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(rs->FieldCount(), 0);
    EXPECT_EQ(rs->QueryString(), "");
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_TRUE(rs->BOF() && rs->Eof());
}

TEST_F(ResultSetTest, FieldsByNumberNameTextAndUnknownKeys) {
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, Name VARCHAR(20), d DATE)");
    run(conn_, "INSERT INTO t VALUES (7, 'seven', '2003-05-07')");
    auto rs = run(conn_, "SELECT id, Name, d, Name AS name, 1 + 1 AS two FROM t");
    MYSQL_FIELD& f0 = rs->Fields(0);
    MYSQL_FIELD& f1 = rs->Fields(1);
    EXPECT_EQ(&f0, &f1);  // one view, re-bound
    EXPECT_EQ(f0.Name(), "Name");
    EXPECT_EQ(rs->Fields("NAME").Value(), FieldValue("seven"));
    EXPECT_EQ(rs->Fields("name").Index(), 1);  // duplicate names: the first wins
    EXPECT_EQ(rs->Fields("2").Name(), "d");      // text that reads as a number
    EXPECT_EQ(rs->Fields(FieldValue(2.0)).MySqlType(), kMySqlTypeDate);
    EXPECT_EQ(rs->Fields("d").Value(), FieldValue("2003-05-07"));

    MYSQL_FIELD& id = rs->Fields("id");
    EXPECT_TRUE(id.Flags() & kMySqlPriKeyFlag);
    EXPECT_TRUE(id.Flags() & kMySqlNotNullFlag);
    EXPECT_EQ(id.Table(), "t");
    EXPECT_EQ(rs->Fields("Name").Length(), 80);  // 20 characters of up to 4 bytes
    EXPECT_EQ(rs->Fields("Name").MaxLength(), 5);
    EXPECT_EQ(rs->Fields("two").Table(), "");

    for (const FieldValue& key : {FieldValue("nope"), FieldValue(5), FieldValue(-1), FieldValue()}) {
        MYSQL_FIELD& f = rs->Fields(key);
        EXPECT_EQ(f.Name(), "");
        EXPECT_EQ(f.Table(), "");
        EXPECT_EQ(f.MySqlType(), kMySqlTypeString);
        EXPECT_EQ(f.Length(), 0);
        EXPECT_EQ(f.Flags(), 0);
        EXPECT_TRUE(f.Value().isEmpty());
    }
    rs->MoveNext();
    EXPECT_EQ(rs->Fields(0).Name(), "");  // no current row: no column
}

TEST_F(ResultSetTest, NullEmptyAndZeroBytesStayApart) {
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, v VARBINARY(20), s VARCHAR(20), l VARCHAR(20) CHARACTER SET latin1)");
    run(conn_, "INSERT INTO t VALUES (1, NULL, NULL, NULL), (2, '', '', ''), (3, X'610062005C', 'Grüße 😀', 'Grüße')");
    auto rs = run(conn_, "SELECT v, s, l FROM t ORDER BY id");
    EXPECT_TRUE(rs->Fields(0).Value().isNull());
    EXPECT_TRUE(rs->Fields(1).Value().isNull());
    rs->MoveNext();
    EXPECT_EQ(rs->Fields(0).Value(), FieldValue(""));
    EXPECT_EQ(rs->Fields(1).Value(), FieldValue(""));
    rs->MoveNext();
    EXPECT_EQ(rs->Fields(0).Value(), FieldValue(std::string("a\0b\0\\", 5)));
    EXPECT_EQ(rs->Fields(1).Value(), FieldValue("Grüße 😀"));
    EXPECT_EQ(rs->Fields(2).Value(), FieldValue("Grüße"));  // converted to UTF-8 on the way
    EXPECT_EQ(rs->Fields(0).CharSetNr(), kMySqlBinaryCharset);
}

TEST_F(ResultSetTest, TablesOfJoinsAndComputedColumns) {
    run(conn_, "CREATE TABLE a (id INT)");
    run(conn_, "CREATE TABLE b (id INT)");
    run(conn_, "INSERT INTO a VALUES (1)");
    run(conn_, "INSERT INTO b VALUES (1)");
    auto rs = run(conn_, "SELECT a.id, 2 * b.id AS twice, b.id, a.id AS again FROM a JOIN b ON a.id = b.id");
    EXPECT_EQ(rs->TableCount(), 2);
    EXPECT_EQ(rs->Table(), "a,b");
    rs->MoveNext();
    EXPECT_EQ(rs->TableCount(), 0);
    EXPECT_EQ(rs->Table(), "");
    auto alias = run(conn_, "SELECT x.id FROM a AS x");
    EXPECT_EQ(alias->Table(), "x");
    auto computed = run(conn_, "SELECT NOW(), 1");
    EXPECT_EQ(computed->TableCount(), 0);
}

TEST_F(ResultSetTest, FindsWithEachMethod) {
    run(conn_, "CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(10))");
    run(conn_, "INSERT INTO t VALUES (1,'x'),(2,'y'),(3,'x'),(4,NULL),(5,'')");
    auto rs = run(conn_, "SELECT id, name FROM t ORDER BY id");
    EXPECT_EQ(rs->FindFirst("name", "x", kFindKeepPosition), 1);
    rs->MoveLast();
    EXPECT_EQ(rs->FindFirst(" NAME ", "x", kFindKeepPosition), 1);
    EXPECT_EQ(rs->AbsolutePosition(), 5);           // method 1: cursor stays
    EXPECT_EQ(rs->FindLast(1, "x", 0), 3);
    EXPECT_EQ(rs->AbsolutePosition(), 3);           // other methods: found row current
    EXPECT_EQ(rs->FindPrevious("name", "x", 2), 1);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    EXPECT_EQ(rs->FindNext("name", "x", 0), 3);
    EXPECT_EQ(rs->FindNext("name", "x", 0), -1);    // none after row 3
    EXPECT_EQ(rs->AbsolutePosition(), 3);
    EXPECT_EQ(rs->FindFirst("name", "X", 0), -1);   // letter case counts in values
    EXPECT_EQ(rs->FindFirst("name", FieldValue(), 0), 5);  // Empty equals ""
    EXPECT_EQ(rs->FindFirst("name", FieldValue::null(), 0), -1);
    EXPECT_EQ(rs->FindFirst("id", FieldValue(2), 0), -1);  // a number never equals text
    EXPECT_EQ(rs->FindFirst("id", "2", 0), 2);
    EXPECT_EQ(rs->FindFirst("nosuch", "x", 0), -1);
    EXPECT_EQ(rs->FindFirst(7, "x", 0), -1);
    rs->MoveLast();
    EXPECT_EQ(rs->FindNext("name", "x", 0), -1);
    rs->MoveNext();
    EXPECT_EQ(rs->FindNext("name", "x", 0), -1);
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->FindPrevious("name", "x", 0), 3);
}

TEST_F(ResultSetTest, HtmlTableRequeryAndAffectedRecords) {
    auto rs = run(conn_, "SELECT 'a', NULL");
    EXPECT_EQ(rs->RsToHtmlTable(),
              "<table border=1><tr><td>a</td><td>&nbsp;</td></tr>\r\n</table>\r\n");
    run(conn_, "CREATE TABLE t (id INT)");
    run(conn_, "INSERT INTO t VALUES (1),(2)");
    auto two = run(conn_, "SELECT id FROM t ORDER BY id");
    two->MoveNext();
    EXPECT_EQ(two->RsToHtmlTable(),
              "<table border=1><tr><td>1</td></tr>\r\n<tr><td>2</td></tr>\r\n</table>\r\n");
    EXPECT_EQ(two->AbsolutePosition(), 2);  // the dump leaves the cursor where it was
    EXPECT_EQ(two->AffectedRecords(), 2);
    run(conn_, "INSERT INTO t VALUES (3)");
    two->Requery();
    EXPECT_EQ(conn_.Error().Number(), 0);
    EXPECT_EQ(two->RecordCount(), 3);
    EXPECT_EQ(two->AbsolutePosition(), 1);
    EXPECT_EQ(conn_.QueryString(), "SELECT id FROM t ORDER BY id");
}

}  // namespace
}  // namespace veltrano::test
