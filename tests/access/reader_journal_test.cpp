// The reader and a change a killed writer left unfinished: opening for
// reading rolls it back (the file then holds exactly its bytes from before
// the change), leaves a live writer's journal alone, and refuses to read
// when the rollback cannot be done.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "access/read/database.h"
#include "access/storage/journal.h"
#include "access/write/writer.h"
#include "testutil.h"
#include "writer_check.h"

namespace {

using namespace veltrano::access;
using veltrano::access::testing::readBytes;

void dieAtFirstPageWrite(const char* step) {
    if (std::strcmp(step, "page-written") == 0) ::kill(::getpid(), SIGKILL);
}

// A private folder in the system's temporary folder that every user may
// enter, removed at the end: the checkout may sit where "nobody" cannot go.
struct ReachableDir {
    std::string path;
    ReachableDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "veltrano-journal-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr && ::chmod(pattern.c_str(), 0755) == 0) path = pattern;
    }
    ~ReachableDir() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

// A copy of testV2000.mdb in `dir` whose CREATE TABLE was cut off by SIGKILL
// after the journal was written and the first page overwritten; `before` gets
// the file as it was before the change.
std::string tornFile(const std::string& dir, std::vector<uint8_t>& before) {
    std::string file = dir + "/torn.mdb";
    EXPECT_TRUE(writer_test::copyFile(std::string(VELTRANO_TESTDATA_DIR) + "/testV2000.mdb", file));
    {
        WriteConnection c;  // a first change, committed, so the file is ours to compare
        EXPECT_TRUE(c.open(file, "").isOk());
        EXPECT_TRUE(c.execute("CREATE TABLE [kept]([id] integer NOT NULL DEFAULT 3);").isOk());
    }
    before = readBytes(file);
    pid_t pid = ::fork();
    if (pid == 0) {
        PageStore::setCrashHookForTests(&dieAtFirstPageWrite);
        WriteConnection c;
        if (!c.open(file, "").isOk()) ::_exit(3);
        (void)c.execute("CREATE TABLE [lost]([id] integer,[t] memo);");
        ::_exit(4);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer was not stopped half way: " << WEXITSTATUS(status);
    EXPECT_TRUE(std::filesystem::exists(journalPath(file)));
    EXPECT_NE(readBytes(file), before) << "the killed writer should have left a half-written file";
    return file;
}

// 0 when opening `file` for reading is refused, naming the failed rollback,
// and leaves the journal; else a code telling what went wrong. Root writes to
// read-only files anyway, so under root this runs in a child as "nobody".
int refusedAsUnprivilegedUser(const std::string& file) {
    auto check = [&] {
        auto db = Database::open(file);
        if (db.isOk()) return 10;
        if (db.status().description().find("undoing it failed") == std::string::npos) return 11;
        return std::filesystem::exists(journalPath(file)) ? 0 : 12;
    };
    if (::geteuid() != 0) return check();
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(20);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 30;
}

TEST(ReaderJournal, OpeningForReadingRollsBackWhatAKilledWriterLeft) {
    std::vector<uint8_t> before;
    const std::string file = tornFile(writer_test::tempDir("reader-journal"), before);
    auto db = Database::open(file);
    ASSERT_TRUE(db.isOk()) << db.status().description();
    EXPECT_FALSE(std::filesystem::exists(journalPath(file)));
    EXPECT_TRUE(readBytes(file) == before) << "the file is exactly as it was before the unfinished change";
    std::vector<std::string> names;
    for (const auto* e : (*db)->userTables()) names.push_back(e->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4", "kept"}));
    EXPECT_TRUE(veltrano::access::testing::readEverything(**db).isOk());
    EXPECT_EQ((*(*db)->tableDef("kept"))->columnByName("id")->defaultValue, "3");
}

TEST(ReaderJournal, ALiveWritersJournalIsLeftAloneAndAnUnwritableFileIsNotRead) {
    ReachableDir dir;
    ASSERT_FALSE(dir.path.empty());
    std::vector<uint8_t> before;
    const std::string file = tornFile(dir.path, before);
    const std::vector<uint8_t> torn = readBytes(file);
    ::chmod(file.c_str(), 0444);
    EXPECT_EQ(refusedAsUnprivilegedUser(file), 0);
    EXPECT_TRUE(readBytes(file) == torn);
    ::chmod(file.c_str(), 0644);
    {
        WriteConnection writer;  // rolls back, then holds the file
        ASSERT_TRUE(writer.open(file, "").isOk());
        EXPECT_TRUE(readBytes(file) == before);
        // A journal beside a file a writer holds belongs to that writer.
        std::ofstream(journalPath(file)) << "in the middle of something";
        auto db = Database::open(file);
        ASSERT_FALSE(db.isOk());
        EXPECT_EQ(db.status().category(), Category::InUse) << db.status().description();
        EXPECT_TRUE(std::filesystem::exists(journalPath(file)));
        std::filesystem::remove(journalPath(file));
    }
    EXPECT_TRUE(Database::open(file).isOk());
}

}  // namespace
