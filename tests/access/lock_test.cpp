// "File in use": write locks held by another open file, live and stale lock
// files, and the writer's lock-file guard.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "access/read/database.h"
#include "access/storage/lock_file.h"
#include "testutil.h"

namespace veltrano::access {
namespace {

using testing::ScratchDir;

std::string copySample(const ScratchDir& dir, const std::string& name) {
    std::string to = dir.file(name);
    std::filesystem::copy_file(testing::sample(name), to);
    std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return to;
}

TEST(InUse, AnotherWriterOfTheFileMakesItInUse) {
    ScratchDir dir;
    std::string db = copySample(dir, "testV2000.mdb");
    auto writer = openPosixFile(db, OpenMode::ReadWrite);
    ASSERT_TRUE(writer.isOk());
    ASSERT_TRUE((*writer)->tryLock(LockKind::Exclusive).isOk());
    auto r = Database::open(db);
    ASSERT_FALSE(r.isOk());
    EXPECT_EQ(r.status().category(), Category::InUse);
    EXPECT_EQ(r.status().code(), 0x80004005u);
    ASSERT_TRUE((*writer)->unlock().isOk());
    EXPECT_TRUE(Database::open(db).isOk());

    // A reader keeps writers out while it is open, and readers share.
    auto reader = Database::open(db);
    ASSERT_TRUE(reader.isOk());
    EXPECT_TRUE(Database::open(db).isOk());
    EXPECT_EQ((*writer)->tryLock(LockKind::Exclusive).category(), Category::InUse);
}

TEST(InUse, LockFilesCountOnlyWhileTheirOwnerLives) {
    ScratchDir dir;
    std::string db = copySample(dir, "testV1997.mdb");
    EXPECT_EQ(lockFilePath(db), dir.file("testV1997.ldb"));
    EXPECT_EQ(lockFilePath("/a.b/noext"), "/a.b/noext.ldb");

    // A stale Jet lock file (nobody holds it) is ignored.
    testing::writeBytes(dir.file("testV1997.ldb"), std::vector<uint8_t>(64, 'x'));
    EXPECT_TRUE(Database::open(db).isOk());

    {
        auto guard = LockFileGuard::acquire(db);  // replaces the stale one
        ASSERT_TRUE(guard.isOk()) << guard.status().toString();
        EXPECT_TRUE(std::filesystem::exists(dir.file("testV1997.ldb")));
        EXPECT_EQ(Database::open(db).status().code(), 0x80004005u);
        EXPECT_EQ(LockFileGuard::acquire(db).status().category(), Category::InUse);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("testV1997.ldb")));
    EXPECT_TRUE(Database::open(db).isOk());

    // Our own record naming a live process counts even without a lock; one
    // naming a process that has ended does not.
    {
        auto guard = LockFileGuard::acquire(db);
        ASSERT_TRUE(guard.isOk());
        std::filesystem::copy_file(dir.file("testV1997.ldb"), dir.file("kept.ldb"));
    }
    std::filesystem::rename(dir.file("kept.ldb"), dir.file("testV1997.ldb"));
    EXPECT_EQ(Database::open(db).status().category(), Category::InUse);  // names this test process

    pid_t child = fork();
    if (child == 0) _exit(0);
    int st = 0;
    waitpid(child, &st, 0);
    auto bytes = testing::readBytes(dir.file("testV1997.ldb"));
    std::string dead = "VLT:" + std::to_string(child);
    std::fill(bytes.begin() + 38, bytes.end(), 0);
    std::copy(dead.begin(), dead.end(), bytes.begin() + 38);
    testing::writeBytes(dir.file("testV1997.ldb"), bytes);
    EXPECT_TRUE(Database::open(db).isOk());
}

}  // namespace
}  // namespace veltrano::access
