// The batch tool's reading commands, run as a program: exit codes, one line
// on standard error, and the CSV layout.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "access/write/writer.h"
#include "testutil.h"

namespace veltrano::access {
namespace {

struct CliRun {
    int exit = -1;
    std::string out;
};

// Runs veltrano-cli with `args` (shell words, redirections allowed) and
// `prefix` in front of it: "NAME=value " pairs, or a command piped into it.
CliRun cli(const std::string& args, const std::string& prefix = {}) {
    std::string bin = std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli";
    CliRun r;
    std::string cmd = prefix + "'" + bin + "' " + args + " 2>/dev/null; echo \"#$?\"";
    std::string all = testing::runCommand(cmd);
    size_t hash = all.rfind('#');
    if (hash == std::string::npos) return r;
    r.exit = std::stoi(all.substr(hash + 1));
    r.out = all.substr(0, hash);
    return r;
}

class CliRead : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli"))
            GTEST_SKIP() << "veltrano-cli is not built";
    }
};

TEST_F(CliRead, ExitCodesTellUsageFromFailure) {
    std::string f = "'" + testing::sample("V2000_with-password.mdb") + "'";
    EXPECT_EQ(cli("tables").exit, 2);
    EXPECT_EQ(cli("tables " + f + " --bogus").exit, 2);
    EXPECT_EQ(cli("export " + f).exit, 2);
    EXPECT_EQ(cli("tables " + f).exit, 1);  // password missing
    EXPECT_EQ(cli("tables " + f + " --password wrong").exit, 1);
    EXPECT_EQ(cli("tables /nonexistent.mdb").exit, 1);
    CliRun ok = cli("tables " + f + " --password password");
    EXPECT_EQ(ok.exit, 0);
    EXPECT_EQ(ok.out, "Table1\n");
    EXPECT_EQ(cli("export " + f + " NoSuchTable --password password").exit, 1);
    std::string err = testing::runCommand("'" + std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli' tables " + f +
                                          " 2>&1 >/dev/null");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(CliRead, ExportWritesCanonicalCsv) {
    CliRun r = cli("export '" + testing::sample("testV2000.mdb") + "' Table1");
    ASSERT_EQ(r.exit, 0);
    EXPECT_EQ(r.out,
              "A,B,C,D,E,F,G,H,I\n"
              "abcdefg,hijklmnop,2,222,333333333,444.555,1974-09-21 00:00:00,3.5000,1\n"
              "a,b,0,0,0,0,1981-12-12 00:00:00,0.0000,0\n");
    CliRun s = cli("schema '" + testing::sample("testV2000.mdb") + "'");
    ASSERT_EQ(s.exit, 0);
    EXPECT_NE(s.out.find("a  Long Integer  NOT NULL  AUTO-NUMBER"), std::string::npos) << s.out;
    EXPECT_NE(s.out.find("INDEX PrimaryKey  PRIMARY KEY  (A)"), std::string::npos);
}

// A table of many pages is read by several threads at once; the lines must
// still come out whole, once each and in the table's order.
TEST_F(CliRead, ALargeTableExportsWholeAndInOrder) {
    const std::string dir = (std::filesystem::temp_directory_path() / "veltrano-export-large").string();
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/large.mdb";
    std::filesystem::remove(file);
    ASSERT_TRUE(createDatabase(file).isOk());
    std::string expected = "id,note\n";
    {
        WriteConnection c;
        ASSERT_TRUE(c.open(file, "").isOk());
        ASSERT_TRUE(c.execute("CREATE TABLE [t]([id] long,[note] text(200));").isOk());
        auto a = c.openTableForAppend("t");
        ASSERT_TRUE(a.isOk());
        for (int i = 1; i <= 20000; ++i) {
            // Texts are written from the stored bytes: quotes, other
            // scripts, and the empty text apart from NULL must survive that.
            std::string note = "row " + std::to_string(i) + std::string(120, 'x');
            if (i % 997 == 0) note += ", \"quoted\"\nline";
            if (i % 101 == 0) note = "caf\u00e9 \u2013 \u2713 \U0001D11E " + std::to_string(i);
            if (i % 1009 == 0) note.clear();
            ASSERT_TRUE(a->addNew().isOk());
            ASSERT_TRUE(a->setField(0, FieldValue(i)).isOk());
            ASSERT_TRUE(a->setField(1, i % 1013 == 0 ? FieldValue::null() : FieldValue(note)).isOk());
            ASSERT_TRUE(a->update().isOk());
            if (i % 997 == 0) note = "\"row " + std::to_string(i) + std::string(120, 'x') + ", \"\"quoted\"\"\nline\"";
            if (i % 1009 == 0) note = "\"\"";
            if (i % 1013 == 0) note.clear();
            expected += std::to_string(i) + "," + note + "\n";
        }
        ASSERT_TRUE(a->close().isOk());
        ASSERT_TRUE(c.close().isOk());
    }
    CliRun r = cli("export '" + file + "' t");
    ASSERT_EQ(r.exit, 0);
    EXPECT_TRUE(r.out == expected) << "got " << r.out.size() << " bytes, expected " << expected.size();
    std::filesystem::remove_all(dir);
}

TEST_F(CliRead, EveryCommandExplainsItself) {
    for (const char* command : {"tables", "schema", "export", "copy", "to-mysql", "to-access"}) {
        CliRun asked = cli(std::string(command) + " --help");
        EXPECT_EQ(asked.exit, 0) << command;
        EXPECT_EQ(asked.out.rfind(std::string("Usage: veltrano-cli ") + command, 0), 0u) << asked.out;
        EXPECT_EQ(cli(std::string("help ") + command).out, asked.out) << command;
    }
    // A value that looks like --help is still the option's value.
    EXPECT_EQ(cli("tables '" + testing::sample("V2000_with-password.mdb") + "' --db-password --help").exit, 1);
    EXPECT_EQ(cli("help no-such-command").exit, 2);
}

TEST_F(CliRead, AccessPasswordComesOffTheCommandLineAndErrorsNameTheFile) {
    const std::string path = testing::sample("V2000_with-password.mdb"), f = "'" + path + "'";
    EXPECT_EQ(cli("tables " + f + " --db-password password").out, "Table1\n");
    EXPECT_EQ(cli("tables " + f + " --password password").out, "Table1\n");  // the older spelling
    EXPECT_EQ(cli("tables " + f + " --db-password-stdin", "printf 'password\\n' | ").out, "Table1\n");
    EXPECT_EQ(cli("tables " + f + " --db-password-env VT_ACCESS_PW").exit, 2);  // variable not set
    CliRun fromEnv = cli("tables " + f + " --db-password-env VT_ACCESS_PW", "VT_ACCESS_PW=password ");
    EXPECT_EQ(fromEnv.out, "Table1\n");
    EXPECT_EQ(cli("tables " + f + " --db-password x --db-password-env VT_ACCESS_PW").exit, 2);  // two ways
    EXPECT_EQ(cli("tables " + f + " --db-password-stdin < /dev/null").exit, 2);

    const std::string bin = std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli";
    std::string err = testing::runCommand("'" + bin + "' schema " + f + " --db-password wrong 2>&1 >/dev/null");
    EXPECT_NE(err.find(path + ": Not a valid password."), std::string::npos) << err;
    err = testing::runCommand("'" + bin + "' schema " + f + " --mysql 2>&1 >/dev/null");
    EXPECT_NE(err.find(path + ": "), std::string::npos) << err;
    EXPECT_NE(err.find("--db-password"), std::string::npos) << err;
}

TEST_F(CliRead, SchemaPrintsTheMysqlDefinitionsARunWouldCreate) {
    CliRun r = cli("schema '" + testing::sample("testV2000.mdb") + "' --mysql --spaces-to-underscores");
    ASSERT_EQ(r.exit, 0);
    EXPECT_EQ(r.out.rfind("CREATE TABLE `Table1` (", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("`a` INT NOT NULL  AUTO_INCREMENT"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;  // one statement per table
    EXPECT_EQ(r.out.find(";;"), std::string::npos) << r.out;
    EXPECT_EQ(cli("schema '" + testing::sample("testV2000.mdb") + "' --spaces-to-underscores").exit, 2);
}

}  // namespace
}  // namespace veltrano::access
