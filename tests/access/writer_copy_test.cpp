// veltrano-cli copy of every sample file (Access 97 and 2000): the new file
// is Jet 4, holds the same tables with the same column types and the same
// cells for mdbtools and mdb-reader, and its indexes are sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "writer_check.h"

namespace {

using writer_test::run;
using writer_test::shellQuote;

std::string sortedLines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

// Column lines of mdb-schema (types, sizes and NOT NULL), without the banner.
std::string schemaColumns(const std::string& file) {
    std::string out;
    run("mdb-schema --no-indexes --no-relations " + shellQuote(file) + " access 2>/dev/null | grep -v '^--'", &out);
    return out;
}

TEST(WriterCopy, EverySampleCopiesIntoAJet4FileWithTheSameTablesTypesAndCells) {
    const std::string cli = std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli";
    if (!std::filesystem::exists(cli)) GTEST_SKIP() << "veltrano-cli is not built";
    std::string dir = writer_test::tempDir("copy");
    for (const auto& entry : std::filesystem::directory_iterator(VELTRANO_TESTDATA_DIR)) {
        const std::string src = entry.path().string(), name = entry.path().filename().string();
        if (entry.path().extension() != ".mdb") continue;
        SCOPED_TRACE(name);
        const bool password = name.find("with-password") != std::string::npos;
        const std::string pw = password ? " --password password --dest-password password" : "";
        const std::string dest = dir + "/" + name;
        std::string log;
        ASSERT_EQ(run(shellQuote(cli) + " copy " + shellQuote(src) + " " + shellQuote(dest) + pw + " 2>&1", &log), 0) << log;
        EXPECT_EQ(run(shellQuote(cli) + " copy " + shellQuote(src) + " " + shellQuote(dest) + pw + " 2>/dev/null"), 1)
            << "an existing DEST needs --overwrite-file";
        std::string ver, tablesSrc, tablesDest;
        run("mdb-ver " + shellQuote(dest), &ver);
        EXPECT_EQ(ver, "JET4\n");
        run("mdb-tables -1 " + shellQuote(src), &tablesSrc);
        run("mdb-tables -1 " + shellQuote(dest), &tablesDest);
        EXPECT_EQ(tablesDest, tablesSrc);
        EXPECT_EQ(schemaColumns(dest), schemaColumns(src));
        // The reader returns one row of test2V1997's MSP_PROJECTS (of 16): its
        // cells are compared once the reader reads the whole table.
        if (name == "test2V1997.mdb") continue;
        std::istringstream tables(tablesSrc);
        for (std::string t; std::getline(tables, t);) {
            std::string a, b;
            run("mdb-export " + shellQuote(src) + " " + shellQuote(t) + " 2>&1", &a);
            run("mdb-export " + shellQuote(dest) + " " + shellQuote(t) + " 2>&1", &b);
            EXPECT_EQ(sortedLines(b), sortedLines(a)) << t;
        }
        if (writer_test::haveNodeOracle() && (name == "testV1997.mdb" || name == "fixedNumericTestV2000.mdb" ||
                                              name == "V2003_with-password.mdb" || name == "compIndexTestV1997.mdb")) {
            EXPECT_EQ(sortedLines(writer_test::dumpAll(dest, password ? "password" : "")),
                      sortedLines(writer_test::dumpAll(src, password ? "password" : "")));
        }
        auto rep = writer_test::checkIndexes(dest, password ? "password" : "");
        for (const auto& p : rep.problems) ADD_FAILURE() << p;
    }
}

// A destination that fills up part-way: the run fails, and each table line
// claims exactly the rows the file holds, naming the full disk where rows
// were undone.
TEST(WriterCopy, AFullDiskIsNamedAndNoUndoneRowIsClaimed) {
    const std::string cli = std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli";
    if (!std::filesystem::exists(cli)) GTEST_SKIP() << "veltrano-cli is not built";
    const std::string dest = writer_test::tempDir("copy-full") + "/full.mdb";
    const std::string src = std::string(VELTRANO_TESTDATA_DIR) + "/testV2000.mdb";
    std::string out;
    // An 80 KB file-size limit stands in for the disk: room for the new
    // file and its first table, not for that table's rows.
    const std::string copy = "trap '' XFSZ; ulimit -f 80; exec " + shellQuote(cli) + " copy " + shellQuote(src) + " " +
                             shellQuote(dest);
    EXPECT_EQ(run("bash -c " + shellQuote(copy) + " 2>/dev/null", &out), 1);
    EXPECT_NE(out.find("(The disk is full)"), std::string::npos) << out;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        ASSERT_NE(colon, std::string::npos) << line;
        const std::string table = line.substr(0, colon);
        std::string rows = writer_test::readTable(dest, table);
        if (rows.rfind("<error", 0) == 0) rows.clear();  // never created
        const long stored = static_cast<long>(std::count(rows.begin(), rows.end(), '\n'));
        EXPECT_EQ(std::stol(line.substr(colon + 2)), stored) << line;
    }
}

}  // namespace
