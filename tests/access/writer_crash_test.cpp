// Crash safety: a writer process killed with SIGKILL at any moment (during
// a CREATE TABLE, between appended rows, or exactly between the steps of a
// commit) leaves a file that opens, whose earlier tables read exactly as
// before, and whose indexes are sound; the unfinished change is gone.
// Also: a disk that fills up (simulated with RLIMIT_FSIZE), the 2 GB limit
// and a read-only destination fail cleanly, in words, with the file as it was.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "access/storage/journal.h"
#include "access/write/spill_file.h"
#include "access/write/writer.h"
#include "writer_check.h"

namespace {

using namespace veltrano::access;
using veltrano::FieldValue;

const char* gDieAt = nullptr;
int gDieAfter = 0;

void dieHook(const char* step) {
    if (gDieAt && std::strcmp(step, gDieAt) == 0 && gDieAfter-- <= 0) ::kill(::getpid(), SIGKILL);
}

// The child: one table, then rows with memos, in a loop; never returns.
[[noreturn]] void writerChild(const std::string& file, int round) {
    AppendSession::setMemoryBudgetForTests(8192);  // kills also leave scratch files behind
    WriteConnection c;
    if (!c.open(file, "").isOk()) ::_exit(3);
    std::string name = "crash" + std::to_string(round);
    if (!c.execute("CREATE TABLE [" + name + "]([id] identity,[t] varchar(40),[m] memo,CONSTRAINT PrimaryKey primary key([id]));").isOk())
        ::_exit(4);
    (void)c.execute("CREATE INDEX [by_t] ON [" + name + "] ( [t]);");
    for (int batch = 0;; ++batch) {
        auto a = c.openTableForAppend(name);
        if (!a.isOk()) ::_exit(5);
        for (int i = 0; i < 400; ++i) {
            (void)a->addNew();
            (void)a->setField(1, FieldValue("row " + std::to_string(batch) + "/" + std::to_string(i)));
            (void)a->setField(2, FieldValue(std::string(static_cast<size_t>(50 + i * 11), 'm')));
            (void)a->update();
        }
        (void)a->close();
    }
}

std::string exportAll(const std::string& file, const std::vector<std::string>& tables) {
    std::string all;
    for (const auto& t : tables) {
        std::string out;
        writer_test::run("mdb-export " + writer_test::shellQuote(file) + " " + writer_test::shellQuote(t) + " 2>&1", &out);
        all += "== " + t + "\n" + out;
    }
    return all;
}

TEST(WriterCrash, KilledWritersLeaveEarlierTablesIntactAndTheFileSound) {
    std::string dir = writer_test::tempDir("crash");
    std::string file = dir + "/victim.mdb";
    ASSERT_TRUE(writer_test::copyFile(std::string(VELTRANO_TESTDATA_DIR) + "/testV2000.mdb", file));
    std::vector<std::string> tables = {"Table1", "Table2", "Table3", "Table4"};
    std::string expected = exportAll(file, tables);
    std::mt19937 rng(12345);
    const char* steps[] = {"begun", "journaled", "page-written", "synced"};
    int committedRounds = 0;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (round % 2 == 1) {
                gDieAt = steps[(round / 2) % 4];
                gDieAfter = static_cast<int>(rng() % 6);
                PageStore::setCrashHookForTests(&dieHook);
            }
            writerChild(file, round);
        }
        ::usleep(static_cast<useconds_t>(round % 2 == 1 ? 400000 : 5000 + rng() % 250000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself: " << WEXITSTATUS(status);
        // Opening for writing rolls back what the killed writer left unfinished.
        WriteConnection c;
        Status s = c.open(file, "");
        ASSERT_TRUE(s.isOk()) << s.description();
        std::vector<std::string> names = c.tableNames();
        ASSERT_TRUE(c.close().isOk());
        EXPECT_FALSE(std::filesystem::exists(journalPath(file)));
        EXPECT_FALSE(std::filesystem::exists(spillPath(file)));
        EXPECT_EQ(exportAll(file, tables), expected);
        auto rep = writer_test::checkIndexes(file, "", false);
        for (const auto& p : rep.problems) ADD_FAILURE() << p;
        std::string name = "crash" + std::to_string(round);
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            ++committedRounds;
            tables.push_back(name);  // a committed table must survive every later crash
            expected = exportAll(file, tables);
        }
        std::string ver;
        writer_test::run("mdb-ver " + writer_test::shellQuote(file), &ver);
        EXPECT_EQ(ver, "JET4\n");
    }
    EXPECT_GT(committedRounds, 0);
}

TEST(WriterCrash, AFullDiskFailsTheChangeAndKeepsTheFileAsItWas) {
    std::string dir = writer_test::tempDir("disk-full");
    std::string file = dir + "/full.mdb";
    ASSERT_TRUE(createDatabase(file).isOk());
    {
        WriteConnection c;
        ASSERT_TRUE(c.open(file, "").isOk());
        ASSERT_TRUE(c.execute("CREATE TABLE [kept]([id] integer,CONSTRAINT PrimaryKey primary key([id]));").isOk());
    }
    const auto sizeBefore = std::filesystem::file_size(file);
    std::string before = exportAll(file, {"kept"});
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {};
        rl.rlim_cur = rl.rlim_max = sizeBefore + 64 * 4096;  // the "disk" holds 64 more pages
        ::setrlimit(RLIMIT_FSIZE, &rl);
        WriteConnection c;
        if (!c.open(file, "").isOk()) ::_exit(3);
        if (!c.execute("CREATE TABLE [big]([m] memo);").isOk()) ::_exit(4);
        auto a = c.openTableForAppend("big");
        if (!a.isOk()) ::_exit(5);
        (void)a->addNew();
        (void)a->setField(0, FieldValue(std::string(1 << 20, 'x')));
        Status s = a->update();
        if (s.isOk()) s = a->close();
        if (s.isOk()) ::_exit(6);
        ::_exit(s.code() == kCodeDiskFull && s.description() == "The disk is full" ? 0 : 7);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the writer did not report a full disk";
    WriteConnection c;
    ASSERT_TRUE(c.open(file, "").isOk());
    EXPECT_EQ(c.tableNames(), std::vector<std::string>({"kept", "big"}));
    ASSERT_TRUE(c.close().isOk());
    EXPECT_EQ(exportAll(file, {"kept"}), before);
    auto rep = writer_test::checkIndexes(file);
    for (const auto& p : rep.problems) ADD_FAILURE() << p;
}

TEST(WriterCrash, TheTwoGigabyteLimitIsAClearErrorBeforeAnyDamage) {
    std::string dir = writer_test::tempDir("two-gb");
    std::string file = dir + "/edge.mdb";
    ASSERT_TRUE(createDatabase(file).isOk());
    // Grow the file (sparse) to 3 pages short of 2 GB; the new pages are unused.
    std::filesystem::resize_file(file, uint64_t(kMaxJet4Pages - 3) * kJet4PageSize);
    const auto size = std::filesystem::file_size(file);
    WriteConnection c;
    ASSERT_TRUE(c.open(file, "").isOk());
    // The pages the map marks free are used first; then the file would grow past 2 GB.
    ASSERT_TRUE(c.execute("CREATE TABLE [t]([a] integer,[b] memo,CONSTRAINT PrimaryKey primary key([a]));").isOk());
    {
        auto a = c.openTableForAppend("t");
        ASSERT_TRUE(a.isOk());
        ASSERT_TRUE(a->addNew().isOk());
        ASSERT_TRUE(a->setField(0, FieldValue(1)).isOk());
        ASSERT_TRUE(a->setField(1, FieldValue(std::string(4 << 20, 'z'))).isOk());
        Status s = a->update();
        if (s.isOk()) s = a->close();
        EXPECT_EQ(s.code(), kCodeFileTooLarge);
        EXPECT_EQ(s.description(), "An Access file cannot grow past 2 GB");
    }
    ASSERT_TRUE(c.close().isOk());
    EXPECT_EQ(std::filesystem::file_size(file), size);
    std::string rows;
    writer_test::run("mdb-export " + writer_test::shellQuote(file) + " t | wc -l", &rows);
    EXPECT_EQ(rows, "1\n");  // the table, without the row that did not fit
}

// Root may write anywhere, so under root the attempts run as "nobody", in
// a folder of the system's temporary directory that nobody can reach.
TEST(WriterCrash, AReadOnlyDestinationIsNamedAsSuch) {
    char pattern[] = "/tmp/veltrano-ro-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern, file = dir + "/locked.mdb", closed = dir + "/closed";
    ASSERT_TRUE(createDatabase(file).isOk());
    std::filesystem::create_directory(closed);
    ::chmod(dir.c_str(), 0755);
    ::chmod(file.c_str(), 0444);
    ::chmod(closed.c_str(), 0555);
    const auto before = std::filesystem::file_size(file);
    auto attempt = [&] {
        auto readOnly = [](const Status& s) { return s.code() == kCodeReadOnly && s.description() == "The destination is read-only"; };
        WriteConnection c;
        if (!readOnly(c.open(file, ""))) return 1;
        if (!readOnly(createDatabase(closed + "/new.mdb"))) return 2;
        return 0;
    };
    int result = 0;
    if (::geteuid() != 0) {
        result = attempt();
    } else {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(20);
            ::_exit(attempt());
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        result = WIFEXITED(status) ? WEXITSTATUS(status) : 30;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::filesystem::file_size(file), before);
    EXPECT_FALSE(std::filesystem::exists(journalPath(file)));
    ::chmod(closed.c_str(), 0755);
    std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

// New pages cost one write: one that is allocated but never written reads
// as zeros, and the file covers it once the change commits; a rolled-back
// change takes its pages (written or not) away again.
TEST(WriterCrash, AllocatedPagesReadAsZerosAndCommitsCoverThem) {
    const std::string dir = writer_test::tempDir("lazy-pages");
    const std::string file = dir + "/pages.bin";
    auto fileSize = [&] { return std::filesystem::file_size(file); };
    std::vector<uint8_t> page(kJet4PageSize, 0xAB), back;
    {
        auto store = PageStore::open(file, true);
        ASSERT_TRUE(store.isOk()) << store.status().description();
        PageStore& s = *store.value();
        ASSERT_TRUE(s.begin().isOk());
        ASSERT_EQ(s.extend().value(), 0u);
        ASSERT_TRUE(s.write(0, page).isOk());
        ASSERT_EQ(s.extend().value(), 1u);  // never written
        ASSERT_EQ(s.extend().value(), 2u);
        ASSERT_TRUE(s.write(2, page).isOk());
        ASSERT_TRUE(s.read(1, back).isOk());
        EXPECT_EQ(back, std::vector<uint8_t>(kJet4PageSize, 0));
        ASSERT_TRUE(s.commit().isOk());
    }
    EXPECT_EQ(fileSize(), 3u * kJet4PageSize);
    {
        auto store = PageStore::open(file, false);
        ASSERT_TRUE(store.isOk()) << store.status().description();
        PageStore& s = *store.value();
        ASSERT_EQ(s.pageCount(), 3u);
        ASSERT_TRUE(s.begin().isOk());
        ASSERT_EQ(s.extend().value(), 3u);  // the last page, never written
        ASSERT_TRUE(s.commit().isOk());
        EXPECT_EQ(fileSize(), 4u * kJet4PageSize);
        ASSERT_TRUE(s.read(3, back).isOk());
        EXPECT_EQ(back, std::vector<uint8_t>(kJet4PageSize, 0));

        ASSERT_TRUE(s.begin().isOk());
        ASSERT_EQ(s.extend().value(), 4u);
        ASSERT_EQ(s.extend().value(), 5u);
        ASSERT_TRUE(s.write(5, page).isOk());
        ASSERT_TRUE(s.rollback().isOk());
        EXPECT_EQ(s.pageCount(), 4u);
        EXPECT_EQ(fileSize(), 4u * kJet4PageSize);
        ASSERT_TRUE(s.begin().isOk());
        ASSERT_EQ(s.extend().value(), 4u);
        ASSERT_TRUE(s.read(4, back).isOk());
        EXPECT_EQ(back, std::vector<uint8_t>(kJet4PageSize, 0));
        ASSERT_TRUE(s.commit().isOk());
    }
    EXPECT_EQ(fileSize(), 5u * kJet4PageSize);
    std::filesystem::remove_all(dir);
}

}  // namespace
