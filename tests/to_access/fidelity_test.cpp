// What must survive the way into Access: one MySQL database holding the
// values, columns and keys that Access holds differently, converted and read
// back cell by cell; a file that cannot grow; a Cancel in the middle of a
// table.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/conversion_report.h"
#include "common/conversion_session.h"
#include "mysql/mysql_rs.h"
#include "to_access/conversion_run.h"
#include "to_access/dataset_support.h"

namespace veltrano::tatest {
namespace {

namespace fs = std::filesystem;

class FidelityTest : public RunFixture {
protected:
    static std::vector<std::string> notCarriedLines() {
        std::vector<std::string> lines;
        for (const NotCarriedItem& n : session().notCarried) lines.push_back(report::notCarriedLine(n));
        return lines;
    }
};

// A column list "c1 int, c2 int, ..." and its names "c1, c2, ...".
std::string intColumns(int count, const char* suffix = " int") {
    std::string s;
    for (int i = 1; i <= count; ++i) s += (i > 1 ? ", c" : "c") + std::to_string(i) + suffix;
    return s;
}

TEST_F(FidelityTest, ProbeDatabaseArrivesCellByCellWithWhatAccessCannotHoldNamed) {
    ScratchDatabase db("fidelity");
    // Hidden columns are left out of SELECT *: values must not shift.
    db.exec("CREATE TABLE hidden (id int PRIMARY KEY, secret varchar(10) INVISIBLE, name varchar(10))");
    db.exec("INSERT INTO hidden (id, secret, name) VALUES (1, 's1', 'n1'), (2, NULL, 'n2')");
    // Characters beyond the BMP take two UTF-16 units; text beyond Latin-1.
    // A varchar(200) whose values fit 255 units stays indexable text; one
    // holding 300 units becomes a memo.
    db.exec("CREATE TABLE wide_text (id int PRIMARY KEY, s varchar(5), e enum('ab😀cd','x'), c char(3), "
            "city varchar(20), title varchar(200), emoji varchar(200), UNIQUE KEY u_title (title))");
    db.exec("INSERT INTO wide_text VALUES (1, 'ab😀cd', 'ab😀cd', '😀😀😀', 'Łódź', 'first', REPEAT('😀', 150)), "
            "(2, '€’', 'x', '東京', 'Москва', 'second', 'short')");
    // Ids beyond a 32-bit AutoNumber stay exact; small ones stay auto-numbered.
    db.exec("CREATE TABLE big_ids (id bigint AUTO_INCREMENT PRIMARY KEY, v int)");
    db.exec("INSERT INTO big_ids VALUES (1, 10), (3000000000, 20), (2, 30)");
    db.exec("CREATE TABLE small_ids (id bigint unsigned AUTO_INCREMENT PRIMARY KEY, v int)");
    db.exec("INSERT INTO small_ids VALUES (1, 10), (2, 20)");
    // Keys that tell apart case and trailing blanks; accents count in both.
    db.exec("CREATE TABLE cased (code varchar(10) COLLATE utf8mb4_bin PRIMARY KEY, "
            "tag varchar(10) COLLATE utf8mb4_nopad_bin, w varchar(10) COLLATE utf8mb4_bin, "
            "UNIQUE KEY u_tag (tag), UNIQUE KEY u_w (w))");
    db.exec("INSERT INTO cased VALUES ('a', 'x', 'resume'), ('A', 'x ', 'résumé'), ('b', 'X', 'other')");
    // A date Access cannot hold: the row is refused and named.
    db.exec("CREATE TABLE odd_dates (id int PRIMARY KEY, d date)");
    db.exec("INSERT INTO odd_dates VALUES (1, '2003-01-05'), (2, '0050-06-01')");
    // Indexes Access cannot hold.
    db.exec("CREATE TABLE idx (id int PRIMARY KEY, title varchar(100), body text, long_text varchar(300), "
            "g point NOT NULL, FULLTEXT KEY ft_body (body), KEY k_prefix (title(10)), KEY k_long (long_text), "
            "SPATIAL KEY sp_g (g), KEY k_title (title))");
    db.exec("INSERT INTO idx VALUES (1, 't', 'b', 'l', POINT(1, 2))");
    // More index columns, indexes and columns than an Access table takes.
    std::string keys = "KEY k_wide (" + intColumns(11, "") + ")";
    for (int i = 1; i <= 33; ++i) keys += ", KEY k" + std::to_string(i) + " (c" + std::to_string(i) + ")";
    db.exec("CREATE TABLE many (" + intColumns(257) + ", " + keys + ")");
    db.exec("INSERT INTO many (c1, c256, c257) VALUES (1, 256, 257)");

    const std::vector<std::string> tables = {"hidden", "wide_text", "big_ids", "small_ids", "cased",
                                             "odd_dates", "idx", "many"};
    const std::string file = folder_.file("probe.mdb");
    ASSERT_EQ(run(db.name(), tables, file), toaccess::RunOutcome::Finished);
    EXPECT_TRUE(host_.asked.empty()) << host_.asked.front();  // nothing stopped the run
    EXPECT_FALSE(fs::exists(file + ".incomplete"));
    for (size_t i = 0; i < tables.size(); ++i) EXPECT_TRUE(session().sourceTables[i].converted) << tables[i];

    std::string emoji150;
    for (int i = 0; i < 150; ++i) emoji150 += "😀";
    const std::map<std::string, std::string> expected = {
        {"hidden", "id,secret,name\n1,s1,n1\n2,,n2\n"},
        {"wide_text", "id,s,e,c,city,title,emoji\n1,ab😀cd,ab😀cd,😀😀😀,Łódź,first," + emoji150 +
                          "\n2,€’,x,東京,Москва,second,short\n"},
        {"big_ids", "id,v\n1,10\n2,30\n3000000000,20\n"},
        {"small_ids", "id,v\n1,10\n2,20\n"},
        {"cased", "code,tag,w\nA,x ,résumé\na,x,resume\nb,X,other\n"},
        {"odd_dates", "id,d\n1,2003-01-05 00:00:00\n"},
    };
    const bool oracles = oraclesAvailable();
    for (const auto& [table, csv] : expected) {
        EXPECT_EQ(ourExport(file, table), csv) << table;
        if (oracles) {
            EXPECT_EQ(readerExport(file, table), csv) << table;
        }
    }
    std::string many = ourExport(file, "many");
    EXPECT_EQ(std::count(many.begin(), many.end(), ','), 2 * 254);  // 255 columns, one row
    EXPECT_TRUE(many.ends_with(",\n") || many.ends_with("\n")) << many;

    EXPECT_EQ(shapeOf(file, "wide_text").columns,
              (std::vector<std::string>{"id:3", "s:202", "e:202", "c:202", "city:202", "title:202", "emoji:203"}));
    EXPECT_EQ(shapeOf(file, "wide_text").indexes.back(), "U u_title(title)");
    EXPECT_EQ(shapeOf(file, "big_ids").columns.front(), "id:131");
    EXPECT_EQ(shapeOf(file, "small_ids").columns.front(), "id:3+auto");
    EXPECT_EQ(shapeOf(file, "cased").indexes, (std::vector<std::string>{"I u_tag(tag)", "U u_w(w)"}));
    EXPECT_EQ(shapeOf(file, "idx").indexes, (std::vector<std::string>{"P PrimaryKey(id)", "I k_title(title)"}));
    EXPECT_EQ(shapeOf(file, "many").indexes.size(), 32u);
    EXPECT_EQ(shapeOf(file, "many").columns.size(), 255u);

    const std::vector<std::string> named = notCarriedLines();
    for (const char* line : {
             "big_ids: auto-numbering of column id: its values lie beyond",
             "cased: primary key: rows differ only in letter case or trailing blanks",
             "cased: unique index u_tag: rows differ only in letter case",
             "idx: FULLTEXT index ft_body: Access has no full-text indexes",
             "idx: SPATIAL index sp_g: Access has no spatial indexes",
             "idx: index k_prefix: it indexes only the first characters",
             "idx: index k_long: its column long_text is a memo or OLE column",
             "many: column c256: an Access table holds at most 255 columns",
             "many: column c257:",
             "many: index k_wide: an Access index holds at most 10 columns",
             "many: index k33: an Access table holds at most 32 indexes",
         }) {
        EXPECT_EQ(std::count_if(named.begin(), named.end(), [&](const std::string& n) { return n.starts_with(line); }), 1)
            << line;
    }
    EXPECT_EQ(named.size(), 11u) << ::testing::PrintToString(named);

    ASSERT_EQ(session().refusedRows.size(), 1u);
    EXPECT_EQ(report::refusedRowLine(session().refusedRows[0]),
              "odd_dates, record 2: Field 'd': the date lies outside the years 100 to 9999");
    const std::string text = report::reportText(report::mysqlToAccessFacts(session(), {}), "now");
    EXPECT_NE(text.find("odd_dates: 1 record(s) refused\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Not carried:\r\n"), std::string::npos);
    EXPECT_EQ(session().convertedRecords, 15);
}

// The file may not grow past a few hundred kilobytes: the table that hits the
// limit is not converted and none of its rows count, the run stops with the
// cause, and the file under the destination's name holds the tables before it.
TEST_F(FidelityTest, AFileThatCannotGrowFailsTheTableAndStopsTheRun) {
    ScratchDatabase db("full_disk");
    db.exec("CREATE TABLE a_first (id int PRIMARY KEY, v varchar(10))");
    db.exec("INSERT INTO a_first VALUES (1, 'one'), (2, 'two')");
    db.exec("CREATE TABLE b_big (id int PRIMARY KEY, t text)");
    db.exec("INSERT INTO b_big SELECT seq, REPEAT(CONCAT('row ', seq), 200) FROM seq_1_to_3000");
    db.exec("CREATE TABLE c_after (a int)");
    const std::string file = folder_.file("full.mdb");
    const Login* l = testLogin();
    // SIGXFSZ ignored: a write past the limit fails with EFBIG, as on a full disk.
    std::string cmd = "trap '' XFSZ; ulimit -f 1024; VT_PW=" + tatest::quoted(l->password) + " " +
                      tatest::quoted(std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli") + " to-access --host " +
                      tatest::quoted(l->host) + " --port " + std::to_string(l->port) + " --user " + tatest::quoted(l->user) +
                      " --password-env VT_PW --database " + tatest::quoted(db.name()) + " " + tatest::quoted(file) + " 2>" +
                      tatest::quoted(folder_.file("stderr.txt"));
    int status = -1;
    std::string report = shell("sh -c " + tatest::quoted(cmd), &status);
    std::ifstream in(folder_.file("stderr.txt"));
    std::string err((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(status, 1) << err;
    EXPECT_NE(err.find("cut short: b_big: 0 record(s) stored, then "), std::string::npos) << err;
    EXPECT_NE(report.find("Total Converted Records: 2  record(s)"), std::string::npos) << report;
    EXPECT_NE(report.find("Skipped Tables:\r\n******************\r\nb_big\r\nc_after\r\n"), std::string::npos) << report;
    EXPECT_EQ(ourExport(file, "a_first"), "id,v\n1,one\n2,two\n");
    EXPECT_EQ(ourExport(file, "b_big"), "id,t\n");
    EXPECT_FALSE(fs::exists(file + ".incomplete"));
}

// Cancel in the middle of a big table: the server's query is ended rather than
// drained, the rows stored are committed and named, and the connection stays
// usable.
TEST_F(FidelityTest, CancelMidTableCommitsWhatWasStoredAndNamesTheTable) {
    ScratchDatabase db("cancel_mid");
    db.exec("CREATE TABLE many (id int PRIMARY KEY, t varchar(40))");
    db.exec("INSERT INTO many SELECT seq, CONCAT('row ', seq) FROM seq_1_to_200000");
    const std::string file = folder_.file("cancel.mdb");
    host_.cancelAfterKeepAlives = 20;
    bool destinationSeen = false;  // a new file takes its name only when complete
    host_.onKeepAlive = [&](int64_t) { destinationSeen = destinationSeen || fs::exists(file); };
    ASSERT_EQ(run(db.name(), {"many"}, file), toaccess::RunOutcome::Cancelled);
    EXPECT_FALSE(destinationSeen);
    const int64_t stored = session().convertedRecords;
    EXPECT_GT(stored, 0);
    EXPECT_LT(stored, 200000);
    EXPECT_FALSE(session().sourceTables[0].converted);
    ASSERT_EQ(session().partialTables.size(), 1u);
    EXPECT_EQ(session().partialTables[0].storedRecords, stored);
    EXPECT_EQ(rowsIn(file, "many"), stored);
    EXPECT_EQ(source_.Error().Number(), 0) << source_.Error().Description();
    auto rs = source_.Execute("SELECT COUNT(*) FROM `" + db.name() + "`.many");
    EXPECT_EQ(rs->Fields(0).Value().asText(), "200000");
}

}  // namespace
}  // namespace veltrano::tatest
