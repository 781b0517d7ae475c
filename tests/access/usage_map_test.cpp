// Usage maps: the writer's encoder and the decoder both directions share.
#include <gtest/gtest.h>

#include "access/format/usage_map.h"
#include "access/storage/journal.h"
#include "access/write/usage_map_writer.h"
#include "writer_check.h"

namespace veltrano::access {
namespace {

const MapPageReader kNoMapPages = [](uint32_t n, std::vector<uint8_t>&) {
    return Status::corruption("no map pages here", n);
};

std::vector<uint32_t> decodeInline(uint32_t start, std::vector<uint8_t> bitmap, uint32_t pageCount) {
    std::vector<uint8_t> row(usage_map::kInlineBitmap, 0);
    put::u32(row, usage_map::kInlineStart, start);
    row.insert(row.end(), bitmap.begin(), bitmap.end());
    auto pages = decodeUsageMapRow(row, 4096, pageCount, kNoMapPages, 1);
    EXPECT_TRUE(pages.isOk()) << pages.status().toString();
    return pages.isOk() ? *pages : std::vector<uint32_t>{};
}

// A damaged start page must not wrap around to the file's first pages, and
// bits past the end of the file mark nothing (a DROP TABLE would otherwise
// free pages the table never owned).
TEST(UsageMap, BitsPastTheFileEndOrPastTheLastPageNumberMarkNothing) {
    EXPECT_EQ(decodeInline(0xFFFFFFF8u, {0xFF, 0xFF}, 100), std::vector<uint32_t>{});
    EXPECT_EQ(decodeInline(8, {0x81, 0x01}, 16), (std::vector<uint32_t>{8, 15}));
    EXPECT_EQ(decodeInline(0, {0x06}, 100), (std::vector<uint32_t>{1, 2}));
}

TEST(UsageMap, TheWriterSwitchesToAReferenceMapThatDecodesToTheSamePages) {
    const std::string file = writer_test::tempDir("usage-map") + "/maps.mdb";
    auto store = PageStore::open(file, true);
    ASSERT_TRUE(store.isOk()) << store.status().toString();
    PageStore& s = **store;
    ASSERT_TRUE(s.begin().isOk());
    while (s.pageCount() < 600) ASSERT_TRUE(s.extend().isOk());
    Allocator allocate = [&s] { return s.extend(); };

    std::vector<uint8_t> row(kUsageMapRowLength, 0);
    const PageSet inlinePages{40, 41, 300};
    ASSERT_TRUE(encodeMapRow(s, row, inlinePages, allocate).isOk());
    EXPECT_EQ(row[0], usage_map::kInline);
    EXPECT_EQ(*decodeMapRow(s, row), inlinePages);

    const PageSet spread{3, 550, 590};  // wider than the inline window
    ASSERT_TRUE(encodeMapRow(s, row, spread, allocate).isOk());
    EXPECT_EQ(row[0], usage_map::kReference);
    EXPECT_EQ(referencedMapPages(row).size(), 1u);
    EXPECT_EQ(*decodeMapRow(s, row), spread);

    PageSet beyond = spread;
    beyond.insert(s.pageCount() + 10);
    ASSERT_TRUE(encodeMapRow(s, row, beyond, allocate).isOk());
    EXPECT_EQ(*decodeMapRow(s, row), spread);
    EXPECT_TRUE(s.rollback().isOk());
}

}  // namespace
}  // namespace veltrano::access
