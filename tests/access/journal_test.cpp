// The page store's journal under failing storage: a change that cannot be
// undone leaves the store refusing all work and the journal in place, and
// reopening repairs the file even when the repair itself is interrupted.
#include <gtest/gtest.h>

#include "access/storage/journal.h"
#include "faulty_file_system.h"

namespace {

using namespace veltrano::access;
using storage_test::FaultyFileSystem;

const std::string kPath = "/db/pages.mdb";

std::vector<uint8_t> page(uint8_t fill) { return std::vector<uint8_t>(kJet4PageSize, fill); }

// Four pages, each filled with its own number.
std::vector<uint8_t> fourPages() {
    std::vector<uint8_t> bytes;
    for (uint8_t p = 0; p < 4; ++p) {
        auto image = page(p);
        bytes.insert(bytes.end(), image.begin(), image.end());
    }
    return bytes;
}

TEST(Journal, AChangeThatCannotBeUndoneIsRepairedOnlyByReopening) {
    MemoryFileSystem mem;
    mem.setContents(kPath, fourPages());
    const std::vector<uint8_t> before = mem.contents(kPath);
    FaultyFileSystem faulty(mem);
    {
        auto store = PageStore::open(faulty, kPath, false);
        ASSERT_TRUE(store.isOk()) << store.status().description();
        PageStore& s = *store.value();
        ASSERT_TRUE(s.begin().isOk());
        ASSERT_TRUE(s.write(1, page(0xA1)).isOk());
        ASSERT_TRUE(s.write(2, page(0xA2)).isOk());
        ASSERT_TRUE(s.write(4, page(0xA4)).isOk());  // a new page
        // The journal's sync passes, the database's fails, and so does
        // everything after it, the rollback included.
        faulty.failAt(2, FaultyFileSystem::kForGood, storage_test::kFaultSync, Status::diskFull());
        const Status committed = s.commit();
        EXPECT_EQ(committed.code(), kCodeDiskFull) << committed.description();
        EXPECT_EQ(s.failure().category(), Category::IoError);
        EXPECT_TRUE(mem.contents(kPath) != before) << "the pages were half written";
        // Even once the disk works again, nothing may run over the journal.
        faulty.disarm();
        std::vector<uint8_t> out;
        EXPECT_FALSE(s.read(0, out).isOk());
        EXPECT_FALSE(s.write(1, page(0xB1)).isOk());
        EXPECT_FALSE(s.extend().isOk());
        EXPECT_FALSE(s.begin().isOk());
        EXPECT_FALSE(s.commit().isOk());
        EXPECT_FALSE(s.rollback().isOk());
        EXPECT_TRUE(mem.exists(journalPath(kPath)));
    }
    EXPECT_TRUE(mem.exists(journalPath(kPath)));
    // Reopening is interrupted at each read of the journal in turn: the
    // journal stays until a reopen gets through, which restores the file.
    for (uint64_t k = 1;; ++k) {
        SCOPED_TRACE("reopening with read " + std::to_string(k) + " failing");
        faulty.failAt(k, 1, storage_test::kFaultRead);
        auto store = PageStore::open(faulty, kPath, false);
        if (!faulty.fired()) {
            ASSERT_TRUE(store.isOk()) << store.status().description();
            EXPECT_EQ(store.value()->pageCount(), 4u);
            break;
        }
        EXPECT_FALSE(store.isOk());
        ASSERT_TRUE(mem.exists(journalPath(kPath)));
    }
    EXPECT_FALSE(mem.exists(journalPath(kPath)));
    EXPECT_TRUE(mem.contents(kPath) == before);
}

TEST(Journal, AnExistingJournalIsNeverOverwrittenByANewChange) {
    MemoryFileSystem mem;
    mem.setContents(kPath, fourPages());
    auto store = PageStore::open(mem, kPath, false);
    ASSERT_TRUE(store.isOk());
    // Someone else's journal appears while we hold the file.
    mem.setContents(journalPath(kPath), {1, 2, 3});
    EXPECT_FALSE(store.value()->begin().isOk());
    EXPECT_EQ(mem.contents(journalPath(kPath)), (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
