// Append sessions larger than their memory budget: index entries go to the
// session's scratch file in sorted runs and unique keys in order go there
// too, and still every duplicate is refused when its row arrives and the
// indexes come out whole. Read back by mdbtools and the index checker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "access/write/spill_file.h"
#include "access/write/writer.h"
#include "writer_check.h"

namespace {

using namespace veltrano::access;
using veltrano::FieldValue;

std::string numbered(const char* prefix, int n) {
    char text[32];
    std::snprintf(text, sizeof text, "%s %06d", prefix, n);
    return text;
}

// The distinct-key count each index of table `table` records.
std::map<std::string, uint32_t> distinctCounts(const std::string& file, const std::string& table) {
    std::map<std::string, uint32_t> counts;
    auto db = WriteDatabase::open(file, "");
    if (!db.isOk()) return counts;
    auto catalog = db.value()->readCatalog();
    if (!catalog.isOk()) return counts;
    for (const CatalogRow& row : catalog.value()) {
        if (row.name != table) continue;
        auto t = readTableModel(db.value()->store(), row.id & 0x00FFFFFF);
        if (!t.isOk()) return counts;
        for (const auto& index : t->logicalIndexes) counts[index.name] = t->realIndexes[index.realIndex].uniqueCount;
    }
    return counts;
}

TEST(WriterSpill, EntriesSpilledInAnyKeyOrderMergeIntoSoundIndexesAndDuplicatesAreStillRefused) {
    writer_test::AppendMemoryBudget budget(64 * 1024);
    const std::string file = writer_test::tempDir("spill") + "/db.mdb";
    ASSERT_TRUE(createDatabase(file).isOk());
    WriteConnection c;
    ASSERT_TRUE(c.open(file, "").isOk());
    for (const char* sql : {"CREATE TABLE [t]([k] long,[name] varchar(30),[grp] integer,"
                            "CONSTRAINT PrimaryKey primary key([k]));",
                            "CREATE UNIQUE INDEX [u_name] ON [t] ([name]);", "CREATE INDEX [by_grp] ON [t] ([grp]);"})
        ASSERT_TRUE(c.execute(sql).isOk()) << sql;
    std::vector<std::string> stored;  // as mdb-export prints them
    auto add = [&](Appender& a, int k, const std::string& name) {
        EXPECT_TRUE(a.addNew().isOk());
        EXPECT_TRUE(a.setField(0, FieldValue(k)).isOk());
        EXPECT_TRUE(a.setField(1, FieldValue(name)).isOk());
        EXPECT_TRUE(a.setField(2, FieldValue(((k % 17) + 17) % 17)).isOk());
        if (!a.update().isOk()) return false;
        stored.push_back(std::to_string(k) + ",\"" + name + "\"," + std::to_string(((k % 17) + 17) % 17));
        return true;
    };
    const int kRows = 4000;
    const std::string scratch = spillPath(file);

    // Keys in order: one growing run, the unique names in blocks on disk.
    auto a = c.openTableForAppend("t");
    ASSERT_TRUE(a.isOk());
    for (int i = 0; i < kRows; ++i) ASSERT_TRUE(add(*a, 2 * i, numbered("even", i))) << i;
    EXPECT_TRUE(std::filesystem::exists(scratch));
    EXPECT_FALSE(add(*a, 0, numbered("fresh", 0)));
    EXPECT_FALSE(add(*a, 2 * 1234, numbered("fresh", 1)));
    EXPECT_FALSE(add(*a, -1, "EVEN 000007"));  // text keys ignore case
    EXPECT_TRUE(add(*a, -1, numbered("fresh", 2)));
    EXPECT_FALSE(add(*a, -1, numbered("fresh", 3)));
    ASSERT_TRUE(a->close().isOk());
    EXPECT_FALSE(std::filesystem::exists(scratch));

    // Keys in scattered order between those stored, then descending above
    // them all: several runs per index, merged with the trees written above.
    a = c.openTableForAppend("t");
    ASSERT_TRUE(a.isOk());
    for (int i = 0; i < kRows; ++i) {
        const int n = i * 7919 % kRows;
        ASSERT_TRUE(add(*a, 2 * n + 1, numbered("odd", n))) << i;
        if (i == kRows / 2) {
            EXPECT_FALSE(add(*a, 1, numbered("fresh", 4)));  // the session's first row, spilled since
            EXPECT_FALSE(add(*a, 10, numbered("fresh", 5)));
            EXPECT_FALSE(add(*a, 100001, numbered("odd", 0)));
            EXPECT_FALSE(add(*a, 100001, numbered("even", 3)));
        }
    }
    for (int i = 0; i < kRows; ++i) ASSERT_TRUE(add(*a, 100000 - i, numbered("down", kRows - i))) << i;
    EXPECT_FALSE(add(*a, 100000, numbered("fresh", 6)));
    EXPECT_FALSE(add(*a, 200000, numbered("down", kRows)));
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(c.close().isOk());
    EXPECT_FALSE(std::filesystem::exists(scratch));

    auto report = writer_test::checkIndexes(file);
    for (const auto& p : report.problems) ADD_FAILURE() << p;
    EXPECT_GT(report.indexesChecked, 3);
    const auto distinct = distinctCounts(file, "t");
    EXPECT_EQ(distinct.at("PrimaryKey"), stored.size());
    EXPECT_EQ(distinct.at("u_name"), stored.size());
    EXPECT_EQ(distinct.at("by_grp"), 17u);
    std::string exported;
    writer_test::run("mdb-export " + writer_test::shellQuote(file) + " t | tail -n +2 | LC_ALL=C sort", &exported);
    std::sort(stored.begin(), stored.end());
    std::string expected;
    for (const auto& line : stored) expected += line + "\n";
    EXPECT_EQ(exported, expected);
}

}  // namespace
