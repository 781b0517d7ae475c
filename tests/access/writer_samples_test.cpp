// Writing into copies of files Access made: new tables with rows and indexes
// appear for both oracles, rows appended to Access's own tables keep their
// indexes sound, and after DROP TABLE every original table reads exactly as
// before. Access 97 files are refused for writing and left untouched.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "access/write/writer.h"
#include "writer_check.h"

namespace {

using namespace veltrano::access;
using veltrano::FieldValue;

struct Sample {
    const char* file;
    const char* password;
};

const Sample kJet4[] = {{"V2000_no-password.mdb", ""},      {"V2000_with-password.mdb", "password"},
                        {"V2003_with-password.mdb", "password"}, {"adox_jet4.mdb", ""},
                        {"compIndexTestV2000.mdb", ""},     {"delColTestV2000.mdb", ""},
                        {"delTestV2000.mdb", ""},           {"emptyV2000.mdb", ""},
                        {"emptyV2003.mdb", ""},             {"fixedNumericTestV2000.mdb", ""},
                        {"fixedTextTestV2000.mdb", ""},     {"overflowTestV2000.mdb", ""},
                        {"testV2000.mdb", ""}};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(WriterSamples, NewTablesAppearAndDropLeavesTheOriginalTablesAsTheyWere) {
    if (!writer_test::haveNodeOracle()) GTEST_SKIP() << "mdb-reader is not installed";
    std::string dir = writer_test::tempDir("samples");
    for (const Sample& s : kJet4) {
        SCOPED_TRACE(s.file);
        std::string copy = dir + "/" + s.file;
        ASSERT_TRUE(writer_test::copyFile(std::string(VELTRANO_TESTDATA_DIR) + "/" + s.file, copy));
        const std::string before = writer_test::dumpAll(copy, s.password);
        {
            WriteConnection c;
            Status st = c.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy +
                               ";Mode=ReadWrite;Persist Security Info=False;Jet OLEDB:Database Password=" + s.password);
            ASSERT_TRUE(st.isOk()) << st.description();
            ASSERT_TRUE(c.execute("CREATE TABLE [added]([id] identity,[name] varchar(30),[note] memo,[when] datetime,"
                                  "CONSTRAINT PrimaryKey primary key([id]));").isOk());
            ASSERT_TRUE(c.execute("CREATE UNIQUE INDEX [u_name] ON [added] ( [name]);").isOk());
            auto a = c.openTableForAppend("added");
            ASSERT_TRUE(a.isOk());
            for (int i = 0; i < 300; ++i) {
                ASSERT_TRUE(a->addNew().isOk());
                ASSERT_TRUE(a->setField(1, FieldValue("row " + std::to_string(i))).isOk());
                ASSERT_TRUE(a->setField(2, FieldValue(std::string(static_cast<size_t>(i * 13), 'n'))).isOk());
                ASSERT_TRUE(a->setField(3, FieldValue::dateTime(40000.25 + i)).isOk());
                ASSERT_TRUE(a->update().isOk());
            }
            ASSERT_TRUE(a->close().isOk());
            ASSERT_TRUE(c.close().isOk());
        }
        // mdb-reader (one node start per file is what makes this test slow)
        // on a few files; mdbtools and our reader on all of them.
        if (std::string(s.file).find("2000") != std::string::npos && std::string(s.file).find("V2000_no") == std::string::npos &&
            std::string(s.file).find("Test") == std::string::npos) {
            std::string added = writer_test::dumpAll(copy, s.password);
            EXPECT_NE(added.find("\n300,row 299,"), std::string::npos) << added.substr(0, 300);
        }
        EXPECT_NE(writer_test::readTable(copy, "added", s.password).find("300|row 299|nnn"), std::string::npos);
        std::string count;
        writer_test::run("mdb-export " + writer_test::shellQuote(copy) + " added | wc -l", &count);
        EXPECT_EQ(count, "301\n");
        auto rep = writer_test::checkIndexes(copy, s.password, false);
        for (const auto& p : rep.problems) ADD_FAILURE() << p;
        {
            WriteConnection c;
            ASSERT_TRUE(c.open(copy, s.password).isOk());
            Status st = c.execute("DROP TABLE [added]");
            ASSERT_TRUE(st.isOk()) << st.description();
            ASSERT_TRUE(c.close().isOk());
        }
        EXPECT_EQ(writer_test::dumpAll(copy, s.password), before);
        rep = writer_test::checkIndexes(copy, s.password, false);
        for (const auto& p : rep.problems) ADD_FAILURE() << p;
    }
}

TEST(WriterSamples, RowsAppendedToAccessTablesKeepTheirIndexesSound) {
    std::string dir = writer_test::tempDir("samples-append");
    std::string copy = dir + "/compIndexTestV2000.mdb";
    ASSERT_TRUE(writer_test::copyFile(std::string(VELTRANO_TESTDATA_DIR) + "/compIndexTestV2000.mdb", copy));
    std::string before;
    writer_test::run("mdb-export " + writer_test::shellQuote(copy) + " Table1", &before);
    WriteConnection c;
    ASSERT_TRUE(c.open(copy, "").isOk());
    auto a = c.openTableForAppend("Table1");
    ASSERT_TRUE(a.isOk());
    ASSERT_EQ(a->fieldCount(), 3);
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(a->addNew().isOk());
        ASSERT_TRUE(a->setField(0, FieldValue(100000 + i)).isOk());
        ASSERT_TRUE(a->setField(1, FieldValue("Agent " + std::to_string(i))).isOk());
        ASSERT_TRUE(a->setField(2, FieldValue("desc " + std::to_string(i % 17))).isOk());
        Status s = a->update();
        ASSERT_TRUE(s.isOk()) << s.description();
    }
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(c.close().isOk());
    std::string after;
    writer_test::run("mdb-export " + writer_test::shellQuote(copy) + " Table1", &after);
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_NE(after.find("101999,\"Agent 1999\",\"desc 10\""), std::string::npos);
    auto rep = writer_test::checkIndexes(copy, "", false);
    EXPECT_GT(rep.indexesChecked, 5);
    for (const auto& p : rep.problems) ADD_FAILURE() << p;

    // New keys are checked against the primary key tree Access built.
    copy = dir + "/indexTestV2000.mdb";
    ASSERT_TRUE(writer_test::copyFile(std::string(VELTRANO_TESTDATA_DIR) + "/indexTestV2000.mdb", copy));
    ASSERT_TRUE(c.open(copy, "").isOk());
    a = c.openTableForAppend("Table1");
    ASSERT_TRUE(a.isOk());
    for (const auto& [id, accepted] : {std::pair{1, false}, std::pair{999, true}, std::pair{0, false}}) {
        ASSERT_TRUE(a->addNew().isOk());
        ASSERT_TRUE(a->setField(0, FieldValue(id)).isOk());
        EXPECT_EQ(a->update().isOk(), accepted) << id;
    }
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(c.close().isOk());
    rep = writer_test::checkIndexes(copy, "", false);
    for (const auto& p : rep.problems) ADD_FAILURE() << p;
}

TEST(WriterSamples, Access97FilesAreRefusedAndLeftUntouched) {
    std::string dir = writer_test::tempDir("samples-jet3");
    std::string copy = dir + "/testV1997.mdb";
    ASSERT_TRUE(writer_test::copyFile(std::string(VELTRANO_TESTDATA_DIR) + "/testV1997.mdb", copy));
    const std::string before = slurp(copy);
    WriteConnection c;
    Status s = c.open(copy, "");
    EXPECT_EQ(s.category(), Category::NotSupported);
    EXPECT_NE(s.description().find("Access 2000"), std::string::npos);
    EXPECT_EQ(slurp(copy), before);
    EXPECT_FALSE(std::filesystem::exists(dir + "/testV1997.ldb"));
}

}  // namespace
