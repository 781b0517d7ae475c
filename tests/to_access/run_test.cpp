// The MySQL-to-Access run against the test server: new and existing files,
// the table-exists answers, passwords, definitions only, Cancel, refused rows
// and a server that goes away.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "access/storage/journal.h"
#include "access/write/spill_file.h"
#include "access/write/writer.h"
#include "common/conversion_session.h"
#include "mysql/mysql_rs.h"
#include "to_access/dataset_support.h"
#include "to_access/conversion_run.h"

namespace veltrano::tatest {
namespace {

namespace fs = std::filesystem;

// The run driven through a scripted host (tova_support.h).
class ToAccessRunTest : public RunFixture {};

TEST_F(ToAccessRunTest, NewFileHoldsEveryTypeKeyAndCell) {
    ScratchDatabase db("run_types");
    createDataset(db);
    const std::string file = folder_.file("types.mdb");
    ASSERT_EQ(run(db.name(), kDatasetTables, file), toaccess::RunOutcome::Finished);
    EXPECT_TRUE(host_.asked.empty()) << host_.asked.front();
    EXPECT_EQ(session().convertedRecords, kDatasetRows);
    EXPECT_EQ(session().refusedRecords, 0);
    for (size_t i = 0; i < kDatasetTables.size(); ++i) EXPECT_TRUE(session().sourceTables[i].converted);
    EXPECT_EQ(session().destinationMode, 1);
    EXPECT_EQ(host_.progressSeen.back(), 100);
    expectDatasetFile(file);
}

TEST_F(ToAccessRunTest, ExistingNewFileIsReplacedOnlyOnYes) {
    ScratchDatabase db("run_replace");
    db.exec("CREATE TABLE t (a int)");
    db.exec("INSERT INTO t VALUES (1), (2)");
    const std::string file = folder_.file("old.mdb");
    std::ofstream(file) << "not a database";

    host_.answers = {kNo};
    EXPECT_EQ(run(db.name(), {"t"}, file), toaccess::RunOutcome::Stopped);
    ASSERT_EQ(host_.asked.size(), 1u);
    EXPECT_EQ(host_.asked[0], "old.mdb  already exists, do you want to overwrite it?");
    EXPECT_EQ(fs::file_size(file), 14u);

    host_.answers = {kYes};
    EXPECT_EQ(run(db.name(), {"t"}, file), toaccess::RunOutcome::Finished);
    EXPECT_EQ(ourExport(file, "t"), "a\n1\n2\n");
}

// Four tables exist in the file; each answer of the question is tried once.
TEST_F(ToAccessRunTest, AppendSettlesExistingTablesByTheAnswer) {
    ScratchDatabase db("run_append");
    for (const char* t : {"t1", "t2", "t3", "t4"}) {
        db.exec(std::string("CREATE TABLE ") + t + " (a int primary key)");
        db.exec(std::string("INSERT INTO ") + t + " VALUES (1)");
    }
    const std::string file = folder_.file("append.mdb");
    ASSERT_EQ(run(db.name(), {"t1", "t2", "t3", "t4"}, file), toaccess::RunOutcome::Finished);
    for (const char* t : {"t1", "t2", "t3", "t4"}) db.exec(std::string("INSERT INTO ") + t + " VALUES (2)");
    db.exec("CREATE TABLE fresh (b varchar(5))");
    db.exec("INSERT INTO fresh VALUES ('new')");

    toaccess::RunOptions append;
    append.newFile = false;
    // Skip t1, overwrite t2, then Overwrite all covers t3 and t4 without asking.
    host_.answers = {kSkip, kOverwrite, kOverwriteAll};
    ASSERT_EQ(run(db.name(), {"t1", "fresh", "t2", "t3", "t4"}, file, append), toaccess::RunOutcome::Finished);
    EXPECT_EQ(host_.asked, (std::vector<std::string>{"Table 't1' already exists.", "Table 't2' already exists.",
                                                     "Table 't3' already exists."}));
    EXPECT_EQ(session().destinationMode, 2);
    EXPECT_EQ(rowsIn(file, "t1"), 1);
    EXPECT_EQ(ourExport(file, "fresh"), "b\nnew\n");
    for (const char* t : {"t2", "t3", "t4"}) EXPECT_EQ(rowsIn(file, t), 2) << t;
    const auto& st = session().sourceTables;
    EXPECT_FALSE(st[0].converted);
    for (int i = 1; i < 5; ++i) EXPECT_TRUE(st[i].converted) << i;
    EXPECT_EQ(session().convertedRecords, 1 + 2 * 3);

    // Skip all: no more questions, nothing converted.
    host_.asked.clear();
    host_.answers = {kSkipAll};
    ASSERT_EQ(run(db.name(), {"t1", "t2", "t3"}, file, append), toaccess::RunOutcome::Finished);
    EXPECT_EQ(host_.asked.size(), 1u);
    EXPECT_EQ(session().convertedRecords, 0);
    EXPECT_EQ(rowsIn(file, "t2"), 2);

    // Cancel ends the run; the tables after it are untouched.
    host_.asked.clear();
    host_.answers = {kOverwrite, kCancel};
    db.exec("INSERT INTO t1 VALUES (3)");
    db.exec("INSERT INTO t2 VALUES (3)");
    EXPECT_EQ(run(db.name(), {"t1", "t2", "t3"}, file, append), toaccess::RunOutcome::Cancelled);
    EXPECT_EQ(rowsIn(file, "t1"), 3);
    EXPECT_EQ(rowsIn(file, "t2"), 2);
    // Closing the question without an answer stops the run.
    host_.answers = {kClosed};
    EXPECT_EQ(run(db.name(), {"t3"}, file, append), toaccess::RunOutcome::Stopped);
}

TEST_F(ToAccessRunTest, AppendNeedsTheFileAndItsPassword) {
    ScratchDatabase db("run_password");
    db.exec("CREATE TABLE t (a int)");
    db.exec("INSERT INTO t VALUES (7)");
    toaccess::RunOptions append;
    append.newFile = false;
    EXPECT_EQ(run(db.name(), {"t"}, folder_.file("missing.mdb"), append), toaccess::RunOutcome::Stopped);
    EXPECT_EQ(host_.asked.back(), "specified Access file not found ");

    const std::string file = folder_.file("locked.mdb");
    ASSERT_TRUE(access::createDatabase(file, "secret"));
    EXPECT_EQ(run(db.name(), {"t"}, file, append), toaccess::RunOutcome::WrongPassword);
    EXPECT_EQ(host_.asked.back(), "Invalid Password ");
    append.usePassword = true;
    append.password = "wrong";
    EXPECT_EQ(run(db.name(), {"t"}, file, append), toaccess::RunOutcome::WrongPassword);
    append.password = "secret";
    EXPECT_EQ(run(db.name(), {"t"}, file, append), toaccess::RunOutcome::Finished);
    EXPECT_EQ(ourExport(file, "t", "secret"), "a\n7\n");
}

TEST_F(ToAccessRunTest, DefinitionsOnlyCreatesTablesAndIndexesWithoutRows) {
    ScratchDatabase db("run_defs");
    createDataset(db);
    const std::string file = folder_.file("defs.mdb");
    toaccess::RunOptions options;
    options.definitionsOnly = true;
    ASSERT_EQ(run(db.name(), kDatasetTables, file, options), toaccess::RunOutcome::Finished);
    EXPECT_EQ(session().convertedRecords, 0);
    for (const std::string& t : kDatasetAccessTables) {
        TableShape got = shapeOf(file, t), exp = expectedShape(t);
        std::sort(got.indexes.begin(), got.indexes.end());
        EXPECT_EQ(got.columns, exp.columns);
        EXPECT_EQ(got.indexes, exp.indexes);
        EXPECT_EQ(rowsIn(file, t), 0);
    }
}

// Cancel while rows are copied: the rows stored so far stay, and they are
// exactly the rows counted; later tables get no turn.
TEST_F(ToAccessRunTest, CancelDuringTheCopyKeepsWhatWasStored) {
    ScratchDatabase db("run_cancel");
    db.exec("CREATE TABLE many (id int PRIMARY KEY, t varchar(20))");
    db.exec("INSERT INTO many SELECT seq, CONCAT('row ', seq) FROM seq_1_to_5000");
    db.exec("CREATE TABLE later (a int)");
    const std::string file = folder_.file("cancel.mdb");
    host_.cancelAfterKeepAlives = 20;
    ASSERT_EQ(run(db.name(), {"many", "later"}, file), toaccess::RunOutcome::Cancelled);
    const int64_t stored = session().convertedRecords;
    EXPECT_GT(stored, 0);
    EXPECT_LT(stored, 5000);
    EXPECT_EQ(rowsIn(file, "many"), stored);
    EXPECT_FALSE(session().sourceTables[1].converted);
}

// The server goes away in the middle of a table: a clear message, the run
// stops, the table is not reported converted, the stored rows stay readable.
TEST_F(ToAccessRunTest, ServerGoingAwayStopsTheRunWithItsMessage) {
    ScratchDatabase db("run_gone");
    db.exec("CREATE TABLE many (id int PRIMARY KEY, t text)");
    db.exec("INSERT INTO many SELECT seq, REPEAT('y', 500) FROM seq_1_to_20000");
    db.exec("CREATE TABLE later (a int)");
    auto id = source_.Execute("SELECT CONNECTION_ID()");
    const std::string thread = id->Fields(0).Value().asText();
    host_.onKeepAlive = [&](int64_t calls) {
        if (calls == 10) db.connection().Execute("KILL " + thread);
    };
    const std::string file = folder_.file("gone.mdb");
    ASSERT_EQ(run(db.name(), {"many", "later"}, file), toaccess::RunOutcome::Stopped);
    ASSERT_FALSE(host_.asked.empty());
    EXPECT_NE(host_.asked.back().find("connection"), std::string::npos) << host_.asked.back();
    EXPECT_FALSE(session().sourceTables[0].converted);
    EXPECT_FALSE(session().sourceTables[1].converted);
    EXPECT_EQ(rowsIn(file, "many"), session().convertedRecords);
}

// A table whose rows would take the file past 2 GB fails the run with the
// engine's words; the file keeps its size and what it held, and the table
// counts no row.
TEST_F(ToAccessRunTest, TheTwoGigabyteLimitFailsTheRunAndLeavesTheFileWhole) {
    ScratchDatabase db("run_two_gb");
    db.exec("CREATE TABLE seed (a int primary key)");
    db.exec("INSERT INTO seed VALUES (1), (2)");
    db.exec("CREATE TABLE big (id int primary key, t text)");
    db.exec("INSERT INTO big SELECT seq, REPEAT('z', 3000) FROM seq_1_to_3000");
    const std::string file = folder_.file("edge.mdb");
    ASSERT_EQ(run(db.name(), {"seed"}, file), toaccess::RunOutcome::Finished);
    // Grown (sparse) to a few pages short of the limit, the new pages unused.
    fs::resize_file(file, uint64_t(access::kMaxJet4Pages - 64) * access::kJet4PageSize);
    const auto size = fs::file_size(file);

    toaccess::RunOptions append;
    append.newFile = false;
    ASSERT_EQ(run(db.name(), {"big"}, file, append), toaccess::RunOutcome::Failed);
    EXPECT_EQ(session().convertedRecords, 0);
    EXPECT_FALSE(session().sourceTables[0].converted);
    ASSERT_EQ(session().partialTables.size(), 1u);
    EXPECT_EQ(session().partialTables[0].reason, "An Access file cannot grow past 2 GB");
    EXPECT_EQ(fs::file_size(file), size);
    EXPECT_EQ(rowsIn(file, "seed"), 2);
    EXPECT_EQ(rowsIn(file, "big"), 0);
    EXPECT_FALSE(fs::exists(access::spillPath(file)));
}

// The "table exists" question and the engine's CREATE TABLE must agree on
// which names are taken, beyond ASCII too; else the run ends in a CREATE error.
TEST(AccessTableExists, AgreesWithTheEngineOnNamesThatDifferOnlyInCase) {
    ScratchFolder folder;
    const std::string file = folder.file("names.mdb");
    ASSERT_TRUE(access::createDatabase(file).isOk());
    access::WriteConnection db;
    ASSERT_TRUE(db.open(file, "").isOk());
    ASSERT_TRUE(db.execute("CREATE TABLE [Ärger]([a] integer);").isOk());
    EXPECT_TRUE(toaccess::accessTableExists(db, "ärger"));
    EXPECT_FALSE(db.execute("CREATE TABLE [ärger]([a] integer);").isOk());
    EXPECT_FALSE(toaccess::accessTableExists(db, "Arger"));
    EXPECT_TRUE(db.execute("CREATE TABLE [Arger]([a] integer);").isOk());
}

}  // namespace
}  // namespace veltrano::tatest
