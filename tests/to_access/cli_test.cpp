// veltrano-cli to-access: the same run as the wizard, questions answered by
// options, report on standard output, exit status 0 / 1 / 2.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "to_access/dataset_support.h"

namespace veltrano::tatest {
namespace {

class ToAccessCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testLogin()) GTEST_SKIP() << "no test server (run through scripts/test)";
        if (!std::filesystem::exists(cli())) GTEST_SKIP() << "veltrano-cli not built";
    }

    static std::string cli() { return std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli"; }

    // Runs `to-access` with the login options plus `args`; stdout in `out`.
    int toAccess(const std::string& db, const std::string& args, std::string* out = nullptr) {
        const Login* l = testLogin();
        std::string cmd = "VT_PW=" + quoted(l->password) + " " + quoted(cli()) + " to-access --host " +
                          quoted(l->host) + " --port " + std::to_string(l->port) + " --user " + quoted(l->user) +
                          " --password-env VT_PW --database " + quoted(db) + " " + args + " 2>" +
                          quoted(folder_.file("stderr.txt"));
        int status = -1;
        std::string o = shell(cmd, &status);
        if (out) *out = o;
        return status;
    }

    std::string stderrText() {
        std::ifstream in(folder_.file("stderr.txt"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ScratchFolder folder_;
};

TEST_F(ToAccessCliTest, ConvertsTheDatasetAndPrintsTheReport) {
    ScratchDatabase db("cli_types");
    createDataset(db);
    const std::string file = folder_.file("types.mdb");
    std::string out;
    ASSERT_EQ(toAccess(db.name(), quoted(file), &out), 0) << stderrText();
    EXPECT_NE(out.find("Conversion Type        : MySQL to Access\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Total Converted Records: 7  record(s)\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Skipped Tables:\r\n******************\r\n None "), std::string::npos) << out;
    expectDatasetFile(file);
}

TEST_F(ToAccessCliTest, ExistingFilesAndTablesNeedTheirOption) {
    ScratchDatabase db("cli_existing");
    db.exec("CREATE TABLE t (a int)");
    db.exec("INSERT INTO t VALUES (1)");
    db.exec("CREATE TABLE u (b int)");
    const std::string file = folder_.file("out.mdb");
    ASSERT_EQ(toAccess(db.name(), "--tables t " + quoted(file)), 0) << stderrText();
    EXPECT_EQ(tablesOf(file), std::vector<std::string>{"t"});

    // A file that exists is refused without --overwrite-file, replaced with it.
    EXPECT_EQ(toAccess(db.name(), quoted(file)), 1);
    EXPECT_NE(stderrText().find("--overwrite-file"), std::string::npos);
    db.exec("INSERT INTO t VALUES (2)");
    ASSERT_EQ(toAccess(db.name(), "--overwrite-file " + quoted(file)), 0) << stderrText();
    EXPECT_EQ(ourExport(file, "t"), "a\n1\n2\n");

    // Appending: an existing table stops the run unless --existing settles it.
    EXPECT_EQ(toAccess(db.name(), "--append --tables t " + quoted(file)), 1);
    EXPECT_NE(stderrText().find("Table 't' already exists."), std::string::npos) << stderrText();
    EXPECT_EQ(toAccess(db.name(), "--append --existing skip " + quoted(file)), 0) << stderrText();
    EXPECT_EQ(ourExport(file, "t"), "a\n1\n2\n");
    db.exec("INSERT INTO t VALUES (3)");
    EXPECT_EQ(toAccess(db.name(), "--append --existing overwrite --tables t " + quoted(file)), 0);
    EXPECT_EQ(ourExport(file, "t"), "a\n1\n2\n3\n");
    EXPECT_EQ(toAccess(db.name(), "--append --existing skip " + quoted(folder_.file("none.mdb"))), 1);
}

// Items Access cannot hold are named and the run still succeeds; a refused
// row is named on standard error and fails it.
TEST_F(ToAccessCliTest, NotCarriedItemsAreNamedRefusedRowsFailTheRun) {
    ScratchDatabase db("cli_named");
    db.exec("CREATE TABLE film (id int PRIMARY KEY, title varchar(50), FULLTEXT KEY ft_title (title))");
    db.exec("INSERT INTO film VALUES (1, 'Alien')");
    std::string out;
    ASSERT_EQ(toAccess(db.name(), quoted(folder_.file("a.mdb")), &out), 0) << stderrText();
    EXPECT_NE(out.find("Not carried:\r\n******************\r\nfilm: FULLTEXT index ft_title: "), std::string::npos)
        << out;

    db.exec("CREATE TABLE d (id int PRIMARY KEY, v date)");
    db.exec("INSERT INTO d VALUES (1, '2001-02-03'), (2, '0020-01-01')");
    EXPECT_EQ(toAccess(db.name(), "--tables d " + quoted(folder_.file("b.mdb")), &out), 1);
    EXPECT_NE(stderrText().find("refused: d, record 2: Field 'v': "), std::string::npos) << stderrText();
    EXPECT_NE(out.find("d: 1 record(s) refused\r\n"), std::string::npos) << out;
}

TEST_F(ToAccessCliTest, PasswordsDefinitionsAndUsageErrors) {
    ScratchDatabase db("cli_options");
    db.exec("CREATE TABLE t (a int)");
    db.exec("INSERT INTO t VALUES (1)");
    const std::string file = folder_.file("pw.mdb");
    ASSERT_EQ(toAccess(db.name(), "--db-password s3cret --definitions-only " + quoted(file)), 0) << stderrText();
    EXPECT_EQ(ourExport(file, "t", "s3cret"), "a\n");
    EXPECT_EQ(toAccess(db.name(), "--append --existing overwrite " + quoted(file)), 1);
    EXPECT_NE(stderrText().find("Invalid Password"), std::string::npos) << stderrText();
    EXPECT_NE(stderrText().find(file + ": the database password is wrong or missing"), std::string::npos)
        << stderrText();
    // The password from standard input; --quiet leaves standard output empty.
    const std::string secret = folder_.file("secret.txt");
    std::ofstream(secret) << "s3cret\n";
    std::string out = "unset";
    EXPECT_EQ(toAccess(db.name(), "--append --existing overwrite --quiet --db-password-stdin " + quoted(file) +
                                      " < " + quoted(secret), &out),
              0) << stderrText();
    EXPECT_EQ(out, "");
    EXPECT_EQ(ourExport(file, "t", "s3cret"), "a\n1\n");
    // The MySQL password can come from standard input too, but not both at once.
    EXPECT_EQ(toAccess(db.name(), "--append --password-stdin --db-password-stdin " + quoted(file)), 2);

    EXPECT_EQ(toAccess(db.name(), "--tables nosuch " + quoted(folder_.file("x.mdb"))), 2);
    EXPECT_EQ(toAccess(db.name(), "--existing maybe " + quoted(folder_.file("x.mdb"))), 2);
    EXPECT_EQ(toAccess(db.name(), ""), 2);
    EXPECT_EQ(toAccess("vt_ta_no_such_database", quoted(folder_.file("x.mdb"))), 1);
    EXPECT_FALSE(std::filesystem::exists(folder_.file("x.mdb")));
}

}  // namespace
}  // namespace veltrano::tatest
