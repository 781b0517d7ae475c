// The writer against failing storage: whichever file operation fails, and
// whether it fails once or for good, the file opened again afterwards is
// either exactly as before or the whole change, and which one agrees with
// what the writer reported. Runs on files in memory.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "access/storage/journal.h"
#include "access/write/spill_file.h"
#include "access/write/writer.h"
#include "faulty_file_system.h"
#include "writer_check.h"

namespace {

using namespace veltrano::access;
using storage_test::FaultyFileSystem;
using veltrano::FieldValue;

const std::string kPath = "/db/faults.mdb";

Status appendRows(WriteConnection& c, const std::string& table, int first, int count) {
    auto a = c.openTableForAppend(table);
    if (!a.isOk()) return a.status();
    for (int i = first; i < first + count; ++i) {
        Status s = a->addNew();
        if (s.isOk()) s = a->setField(1, FieldValue("row " + std::to_string(i)));
        // Every fifth memo is long enough for pages of its own.
        if (s.isOk()) s = a->setField(2, FieldValue(std::string(i % 5 == 0 ? 5000 : 40, static_cast<char>('a' + i % 26))));
        if (s.isOk()) s = a->update();
        if (!s.isOk()) return s;
    }
    return a->close();
}

// A database with a table to add rows to and one to drop.
std::vector<uint8_t> baseDatabase() {
    MemoryFileSystem mem;
    EXPECT_TRUE(createDatabase(kPath, "", mem).isOk());
    WriteConnection c;
    EXPECT_TRUE(c.open(mem, kPath, "").isOk());
    for (const char* t : {"kept", "doomed"}) {
        EXPECT_TRUE(c.execute(std::string("CREATE TABLE [") + t +
                              "]([id] identity,[t] varchar(40),[m] memo,CONSTRAINT PrimaryKey primary key([id]));")
                        .isOk());
        EXPECT_TRUE(c.execute(std::string("CREATE INDEX [by_t] ON [") + t + "] ([t]);").isOk());
        EXPECT_TRUE(appendRows(c, t, 0, 12).isOk());
    }
    EXPECT_TRUE(c.close().isOk());
    return mem.contents(kPath);
}

// Every user table through our reader, and what the index checker finds.
std::string contentsOf(const std::vector<uint8_t>& bytes) {
    const std::string file = writer_test::tempDir("faults-readback") + "/db.mdb";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    std::string out;
    WriteConnection c;
    if (!c.open(file, "").isOk()) return "<cannot open>";
    std::vector<std::string> tables = c.tableNames();
    (void)c.close();
    for (const auto& t : tables) out += "== " + t + "\n" + writer_test::readTable(file, t);
    for (const auto& p : writer_test::checkIndexes(file).problems) out += "index problem: " + p + "\n";
    return out;
}

struct Change {
    const char* name;
    std::function<Status(WriteConnection&)> run;
    bool sameBytesEachTime;  // false: it stamps the time
};

const Change kChanges[] = {
    {"create table",
     [](WriteConnection& c) {
         return c.execute("CREATE TABLE [fresh]([id] identity,[name] varchar(20),CONSTRAINT PrimaryKey primary key([id]));");
     },
     false},
    {"append session", [](WriteConnection& c) { return appendRows(c, "kept", 100, 30); }, true},
    {"append session past its memory budget",
     [](WriteConnection& c) {
         writer_test::AppendMemoryBudget budget(4096);  // index entries go to the scratch file
         return appendRows(c, "kept", 100, 150);
     },
     true},
    {"drop table", [](WriteConnection& c) { return c.execute("DROP TABLE [doomed];"); }, true},
};

// What callers do after a change failed: carry on with the connection.
const char kFollowUp[] = "CREATE TABLE [after]([a] integer);";

struct Outcome {
    Status change;
    Status followUp = Status::internal("not run");
};

// Opens, runs the change (and after a failure the follow-up) and closes
// through `fs`.
Outcome runChange(FileSystem& fs, const Change& change) {
    Outcome o;
    WriteConnection c;
    o.change = c.open(fs, kPath, "");
    if (o.change.isOk()) o.change = change.run(c);
    if (!o.change.isOk() && c.isOpen()) o.followUp = c.execute(kFollowUp);
    Status closed = c.close();
    if (o.change.isOk()) o.change = closed;
    return o;
}

std::string contentsAfterRunning(const std::vector<uint8_t>& base, const std::function<Status(WriteConnection&)>& run,
                                 std::vector<uint8_t>* bytes = nullptr) {
    MemoryFileSystem mem;
    mem.setContents(kPath, base);
    WriteConnection c;
    EXPECT_TRUE(c.open(mem, kPath, "").isOk());
    EXPECT_TRUE(run(c).isOk());
    EXPECT_TRUE(c.close().isOk());
    if (bytes) *bytes = mem.contents(kPath);
    return contentsOf(mem.contents(kPath));
}

TEST(WriterFaults, EveryFailedOperationLeavesTheFileAsBeforeOrFullyChanged) {
    const std::vector<uint8_t> base = baseDatabase();
    ASSERT_FALSE(base.empty());
    const std::string before = contentsOf(base);
    const std::string followedUp =
        contentsAfterRunning(base, [](WriteConnection& c) { return c.execute(kFollowUp); });
    for (const Change& change : kChanges) {
        std::vector<uint8_t> committedBytes;
        const std::string committed = contentsAfterRunning(base, change.run, &committedBytes);
        ASSERT_NE(committed, before) << change.name;
        // Once, twice (so that undoing the change fails too), for good.
        for (uint64_t count : {uint64_t{1}, uint64_t{2}, FaultyFileSystem::kForGood}) {
            int failuresSeen = 0;
            for (uint64_t n = 1; n < 20000; ++n) {
                SCOPED_TRACE(std::string(change.name) + ", " + std::to_string(count) + " failures from operation " +
                             std::to_string(n));
                MemoryFileSystem mem;
                mem.setContents(kPath, base);
                FaultyFileSystem faulty(mem);
                faulty.failAt(n, count, storage_test::kFaultAny, Status::diskFull());
                const Outcome o = runChange(faulty, change);
                if (!faulty.fired()) {
                    EXPECT_TRUE(o.change.isOk()) << o.change.description();
                    break;
                }
                // Opening again (on sound storage) finishes what the writer left.
                {
                    WriteConnection c;
                    Status reopened = c.open(mem, kPath, "");
                    ASSERT_TRUE(reopened.isOk()) << reopened.description();
                    ASSERT_TRUE(c.close().isOk());
                }
                EXPECT_FALSE(mem.exists(journalPath(kPath)));
                EXPECT_FALSE(mem.exists(spillPath(kPath)));
                if (o.change.isOk()) {
                    EXPECT_EQ(contentsOf(mem.contents(kPath)), committed);
                    if (change.sameBytesEachTime) {
                        EXPECT_TRUE(mem.contents(kPath) == committedBytes);
                    }
                    continue;
                }
                ++failuresSeen;
                // The cause reaches the caller in its own words.
                EXPECT_EQ(o.change.code(), kCodeDiskFull) << o.change.description();
                if (o.followUp.isOk()) {
                    EXPECT_EQ(contentsOf(mem.contents(kPath)), followedUp) << "failed with: " << o.change.description();
                } else {
                    EXPECT_TRUE(mem.contents(kPath) == base) << "failed with: " << o.change.description();
                }
            }
            EXPECT_GT(failuresSeen, 10) << change.name;
        }
    }
}

// A connection closed before its table: the table's new rows are undone,
// and the table says so instead of writing through a closed file.
TEST(WriterFaults, ClosingTheConnectionFirstUndoesTheOpenTableAndSaysSo) {
    MemoryFileSystem mem;
    mem.setContents(kPath, baseDatabase());
    const std::vector<uint8_t> before = mem.contents(kPath);
    WriteConnection c;
    ASSERT_TRUE(c.open(mem, kPath, "").isOk());
    auto a = c.openTableForAppend("kept");
    ASSERT_TRUE(a.isOk());
    ASSERT_TRUE(a->setField(1, FieldValue("lost")).isOk());
    ASSERT_TRUE(a->update().isOk());
    EXPECT_TRUE(c.close().isOk());
    EXPECT_FALSE(a->update().isOk());
    EXPECT_FALSE(a->close().isOk());
    EXPECT_TRUE(mem.contents(kPath) == before);
}

}  // namespace
