#include "to_access/dataset_support.h"

#include <map>

#include <algorithm>
#include <fstream>

#include "access/provider/provider.h"

namespace veltrano::tatest {

namespace {

const char* kCreateAllTypes = R"(CREATE TABLE `all types` (
  id int NOT NULL AUTO_INCREMENT PRIMARY KEY,
  ti tinyint, si smallint unsigned, mi mediumint, i int, iu int unsigned,
  bi bigint, bu bigint unsigned,
  fl float, db double, dc decimal(10,2), dw decimal(20,6), dx decimal(40,10),
  d date, dt datetime, ts timestamp NULL DEFAULT NULL, tm time, yr year,
  vc varchar(50), vl varchar(300), ch char(5), tt tinytext, tx text, mt mediumtext, lt longtext,
  tb tinyblob, bl blob, mb mediumblob, lb longblob, bn binary(4), vb varbinary(10), bt bit(8),
  en enum('red','green'), st set('a','b','c'), js json, uu uuid,
  `unit [kg]` double
) CHARACTER SET utf8mb4)";

const char* kRow1 = R"(INSERT INTO `all types` VALUES (1,
  -128, 65535, -8388608, -2147483648, 4294967295,
  -9223372036854775808, 18446744073709551615,
  1.5, -2.25, 12345678.91, 12345678901234.123456, 123456789012345678901234567890.1234567890,
  '2003-01-05', '1999-12-31 23:59:59', '2020-02-29 12:00:00', '10:20:30', 2024,
  'Ünïcödé 名前 ✓', REPEAT('x', 300), 'ab', 'tiny', 'text "quoted", comma', 'medium\nline', 'long 😀',
  0x00FF10, 0x0102, 0x0A0B, 0xDEADBEEF, 0x01020304, 0xABCD, b'10100101',
  'green', 'a,c', '{"k": [1, 2]}', '123e4567-e89b-12d3-a456-426614174000',
  0.125))";

const char* kRow4 = R"(INSERT INTO `all types` (id, i, bu, dw, d, dt, tm, yr, dc) VALUES
  (4, 2147483647, 0, -0.000001, '1000-01-01', '9999-12-31 23:59:59', '838:59:59', 1901, 100.00))";

const std::vector<std::string> kAllTypesColumns = {
    "id", "ti", "si", "mi", "i", "iu", "bi", "bu", "fl", "db", "dc", "dw", "dx", "d", "dt", "ts", "tm", "yr", "vc",
    "vl", "ch", "tt", "tx", "mt", "lt", "tb", "bl", "mb", "lb", "bn", "vb", "bt", "en", "st", "js", "uu", "unit _kg_"};

// One CSV record: the given cells (already in CSV form), the rest NULL.
std::string record(const std::map<std::string, std::string>& cells) {
    std::string out;
    for (size_t i = 0; i < kAllTypesColumns.size(); ++i) {
        auto it = cells.find(kAllTypesColumns[i]);
        out += (i ? "," : "") + (it == cells.end() ? std::string() : it->second);
    }
    return out + "\n";
}

std::string allTypesCsv() {
    std::string header;
    for (size_t i = 0; i < kAllTypesColumns.size(); ++i) header += (i ? "," : "") + kAllTypesColumns[i];
    return header + "\n" +
           record({{"id", "1"}, {"ti", "-128"}, {"si", "65535"}, {"mi", "-8388608"}, {"i", "-2147483648"},
                   {"iu", "4294967295"}, {"bi", "-9223372036854775808"}, {"bu", "18446744073709551615"},
                   {"fl", "1.5"}, {"db", "-2.25"}, {"dc", "12345678.91"}, {"dw", "12345678901234.123456"},
                   {"dx", "123456789012345678901234567890.1234567890"}, {"d", "2003-01-05 00:00:00"},
                   {"dt", "1999-12-31 23:59:59"}, {"ts", "2020-02-29 12:00:00"}, {"tm", "1899-12-30 10:20:30"},
                   {"yr", "2024"}, {"vc", "Ünïcödé 名前 ✓"}, {"vl", std::string(300, 'x')}, {"ch", "ab"},
                   {"tt", "tiny"}, {"tx", "\"text \"\"quoted\"\", comma\""}, {"mt", "\"medium\nline\""},
                   {"lt", "long 😀"}, {"tb", "00FF10"}, {"bl", "0102"}, {"mb", "0A0B"}, {"lb", "DEADBEEF"},
                   {"bn", "01020304"}, {"vb", "ABCD"}, {"bt", "A5"}, {"en", "green"}, {"st", "\"a,c\""},
                   {"js", "\"{\"\"k\"\": [1, 2]}\""}, {"uu", "123e4567-e89b-12d3-a456-426614174000"},
                   {"unit _kg_", "0.125"}}) +
           record({{"id", "2"}}) +
           // Zero dates arrive as NULL; a negative TIME is that far before day zero.
           record({{"id", "3"}, {"tm", "1899-12-29 22:30:00"}, {"vc", "\"\""}, {"tx", "\"\""}, {"dc", "-0.01"}}) +
           record({{"id", "4"}, {"i", "2147483647"}, {"bu", "0"}, {"dw", "-0.000001"},
                   {"d", "1000-01-01 00:00:00"}, {"dt", "9999-12-31 23:59:59"}, {"tm", "1900-02-02 22:59:59"},
                   {"yr", "1901"}, {"dc", "100"}});
}

const char* kKeysCsv =
    "a,b,code,lang,note\n"
    "1,x,c1,en,n1\n"
    "2,x,c1,de,\n"
    "1,y,,,n1\n";

}  // namespace

void createDataset(ScratchDatabase& db) {
    db.exec("SET SESSION sql_mode = ''");  // zero dates may be stored
    db.exec(kCreateAllTypes);
    db.exec(kRow1);
    db.exec("INSERT INTO `all types` (id) VALUES (2)");
    db.exec("INSERT INTO `all types` (id, d, dt, tm, vc, tx, dc) VALUES "
            "(3, '0000-00-00', '0000-00-00 00:00:00', '-01:30:00', '', '', -0.01)");
    db.exec(kRow4);
    db.exec("CREATE TABLE `keys [test]` (a int NOT NULL, b varchar(10) NOT NULL, code varchar(20), "
            "lang char(2), note varchar(30), PRIMARY KEY (b, a), UNIQUE KEY u_code (code, lang), "
            "KEY k_note (note))");
    db.exec("INSERT INTO `keys [test]` VALUES (1,'x','c1','en','n1'), (2,'x','c1','de',NULL), "
            "(1,'y',NULL,NULL,'n1')");
    db.exec("CREATE TABLE `empty one` (k int)");
}

std::string expectedCsv(const std::string& accessTable) {
    if (accessTable == "all types") return allTypesCsv();
    if (accessTable == "keys _test_") return kKeysCsv;
    if (accessTable == "empty one") return "k\n";
    return {};
}

void writeExpectedCsv(const std::string& dir) {
    for (const std::string& t : kDatasetAccessTables) std::ofstream(dir + "/" + t + ".csv", std::ios::binary) << expectedCsv(t);
}

TableShape expectedShape(const std::string& accessTable) {
    using namespace access::adox;
    auto col = [](const std::string& n, int type, bool autoNumber = false) {
        return n + ":" + std::to_string(type) + (autoNumber ? "+auto" : "");
    };
    TableShape s;
    if (accessTable == "all types") {
        s.columns = {col("id", kInteger, true), col("ti", kInteger), col("si", kInteger), col("mi", kInteger),
                     col("i", kInteger), col("iu", kNumeric), col("bi", kNumeric), col("bu", kNumeric),
                     col("fl", kDouble), col("db", kDouble), col("dc", kDouble), col("dw", kNumeric),
                     col("dx", kVarWChar), col("d", kDate), col("dt", kDate), col("ts", kDate), col("tm", kDate),
                     col("yr", kDouble), col("vc", kVarWChar), col("vl", kLongVarWChar), col("ch", kVarWChar),
                     col("tt", kVarWChar), col("tx", kLongVarWChar), col("mt", kLongVarWChar),
                     col("lt", kLongVarWChar), col("tb", kLongVarBinary), col("bl", kLongVarBinary),
                     col("mb", kLongVarBinary), col("lb", kLongVarBinary), col("bn", kLongVarBinary),
                     col("vb", kLongVarBinary), col("bt", kLongVarBinary), col("en", kVarWChar),
                     col("st", kVarWChar), col("js", kLongVarWChar), col("uu", kLongVarWChar),
                     col("unit _kg_", kDouble)};
        s.indexes = {"P PrimaryKey(id)"};
    } else if (accessTable == "keys _test_") {
        s.columns = {col("a", kInteger), col("b", kVarWChar), col("code", kVarWChar), col("lang", kVarWChar),
                     col("note", kVarWChar)};
        s.indexes = {"I k_note(note)", "P PrimaryKey(a,b)", "U u_code(code,lang)"};
    } else if (accessTable == "empty one") {
        s.columns = {col("k", kInteger)};
    }
    return s;
}

void expectDatasetFile(const std::string& file) {
    std::vector<std::string> tables = tablesOf(file);
    std::sort(tables.begin(), tables.end());
    std::vector<std::string> want = kDatasetAccessTables;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(tables, want);
    for (const std::string& t : kDatasetAccessTables) {
        TableShape got = shapeOf(file, t), exp = expectedShape(t);
        std::sort(got.indexes.begin(), got.indexes.end());
        EXPECT_EQ(got.columns, exp.columns) << t;
        EXPECT_EQ(got.indexes, exp.indexes) << t;
        EXPECT_EQ(ourExport(file, t), expectedCsv(t)) << t;
    }
    if (!oraclesAvailable()) return;
    for (const std::string& t : kDatasetAccessTables) EXPECT_EQ(readerExport(file, t), expectedCsv(t)) << t;
    ScratchFolder expect;
    writeExpectedCsv(expect.path().string());
    // mdb-export prints an empty text exactly like NULL.
    ScratchFolder side;
    const std::string known = side.file("known.json");
    std::ofstream(known) << R"({"differences": [
  {"source": "mdbtools", "table": "all types", "row": 3, "column": "vc", "reason": "mdb-export: empty text as NULL"},
  {"source": "mdbtools", "table": "all types", "row": 3, "column": "tx", "reason": "mdb-export: empty text as NULL"}]})";
    std::string output;
    EXPECT_EQ(compareWritten(file, expect.path().string(), output, known), 0) << output;
}

}  // namespace veltrano::tatest
