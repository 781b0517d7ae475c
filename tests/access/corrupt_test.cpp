// Damaged and foreign inputs end with one clear error: no crash, no hang,
// no huge allocation.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "access/base/coding.h"
#include "access/read/database.h"
#include "access/format/long_value.h"
#include "access/format/tdef.h"
#include "testutil.h"

namespace veltrano::access {
namespace {

using testing::openImage;
using testing::pageOf;
using testing::putPage;
using testing::readBytes;
using testing::sample;

// Opens the image and reads every table; the first error, or success.
Status openAndRead(std::vector<uint8_t> image) {
    auto db = openImage(std::move(image));
    if (!db.isOk()) return db.status();
    return testing::readEverything(**db);
}

uint32_t tdefPageOf(const std::string& file, const std::string& table) {
    auto db = Database::open(sample(file));
    return db.isOk() && (*db)->findTable(table) ? (*db)->findTable(table)->tdefPage() : 0;
}

TEST(Corrupt, ForeignAndTruncatedFilesAreRefusedWithOneError) {
    std::mt19937 rng(7);
    std::vector<uint8_t> noise(8192);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    EXPECT_EQ(openAndRead(noise).category(), Category::NotSupported);
    EXPECT_EQ(openAndRead({}).category(), Category::NotSupported);

    auto image = readBytes(sample("testV2000.mdb"));
    auto accdb = image;
    accdb[0x14] = 2;  // the version byte of Access 2007
    Status s = openAndRead(accdb);
    EXPECT_EQ(s.category(), Category::NotSupported);
    std::memcpy(accdb.data() + 4, "Standard ACE DB", 15);
    accdb[0x14] = 9;  // no Access version writes this
    EXPECT_NE(openAndRead(accdb).description().find("version 9"), std::string::npos);

    for (size_t keep : {size_t{100}, size_t{4096}, size_t{4096 * 2}, size_t{4096 * 3 + 17}, image.size() / 2 + 5}) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(keep));
        EXPECT_FALSE(openAndRead(cut).isOk()) << keep;
    }
    // Cut on a page boundary: whatever is missing is reported, never read.
    std::vector<uint8_t> half(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(image.size() / 8192 * 4096));
    Status h = openAndRead(half);
    EXPECT_FALSE(h.isOk());
    EXPECT_EQ(h.category(), Category::Corruption) << h.toString();
}

TEST(Corrupt, DamagedCatalogAndDefinitionPagesAreCorruption) {
    auto image = readBytes(sample("testV2000.mdb"));
    auto bad = image;
    std::fill(bad.begin() + 2 * 4096, bad.begin() + 3 * 4096, 0xEE);  // the catalog's definition
    EXPECT_EQ(openAndRead(bad).category(), Category::Corruption);

    uint32_t t1 = tdefPageOf("testV2000.mdb", "Table1");
    ASSERT_NE(t1, 0u);
    bad = image;
    auto page = pageOf(bad, t1, 4096);
    put::u16(page, 45, 4000);  // column count far beyond the definition's bytes
    putPage(bad, t1, page);
    Status s = openAndRead(bad);
    EXPECT_EQ(s.category(), Category::Corruption) << s.toString();
    EXPECT_EQ(s.page(), static_cast<int64_t>(t1));
}

TEST(Corrupt, PagePointerLoopsEnd) {
    auto image = readBytes(sample("testV2000.mdb"));
    uint32_t t1 = tdefPageOf("testV2000.mdb", "Table1");

    // A definition whose continuation points back to itself.
    auto loop = image;
    auto page = pageOf(loop, t1, 4096);
    put::u32(page, 4, t1);
    putPage(loop, t1, page);
    Status s = openAndRead(loop);
    EXPECT_EQ(s.category(), Category::Corruption);
    EXPECT_NE(s.description().find("loop"), std::string::npos) << s.toString();

    // Overflow rows pointing at each other.
    auto ovf = readBytes(sample("overflowTestV2000.mdb"));
    uint32_t ot = tdefPageOf("overflowTestV2000.mdb", "Table1");
    bool patched = false;
    for (uint32_t n = 1; n < ovf.size() / 4096 && !patched; ++n) {
        auto p = pageOf(ovf, n, 4096);
        ByteReader r(p);
        if (p[0] != 1 || r.u32(4) != ot) continue;
        for (unsigned row = 0; row < r.u16(12); ++row) {
            uint16_t off = r.u16(14 + 2 * row);
            if (!(off & 0x4000) || (off & 0x8000)) continue;
            size_t at = off & 0x1FFF;
            p[at] = static_cast<uint8_t>(row);  // points at itself
            put::u24(p, at + 1, n);
            putPage(ovf, n, p);
            patched = true;
            break;
        }
    }
    ASSERT_TRUE(patched);
    s = openAndRead(ovf);
    EXPECT_EQ(s.category(), Category::Corruption) << s.toString();
}

TEST(Corrupt, LongValueChainLoopAndAbsurdLengthsEnd) {
    // Build a row image for a memo column by hand and decode it against a
    // one-page file whose long-value row points at itself.
    auto image = readBytes(sample("testV2000.mdb"));
    auto db = openImage(image);
    ASSERT_TRUE(db.isOk());
    Pager& pager = (*db)->pager();

    // Find any data page with at least one row to stand in for an LVAL page.
    uint32_t dataPage = 0;
    for (uint32_t n = 3; n < pager.pageCount() && !dataPage; ++n) {
        auto p = pager.page(n);
        if (p.isOk() && (**p)[0] == 1 && ByteReader(**p).u16(12) > 0) dataPage = n;
    }
    ASSERT_NE(dataPage, 0u);
    auto page = pageOf(image, dataPage, 4096);
    uint16_t off = ByteReader(page).u16(14) & 0x1FFF;
    put::u32(page, off, (dataPage << 8) | 0);  // chain row 0 -> itself
    putPage(image, dataPage, page);
    auto db2 = openImage(image);
    ASSERT_TRUE(db2.isOk());

    std::vector<uint8_t> def(12, 0);
    put::u32(def, 0, 100000);  // chain, 100000 bytes
    put::u32(def, 4, dataPage << 8);
    auto r = readLongValue((*db2)->pager(), def);
    ASSERT_FALSE(r.isOk());
    EXPECT_NE(r.status().description().find("loop"), std::string::npos) << r.status().toString();

    put::u32(def, 0, 0x3FFFFFFF);  // a gigabyte claimed by a small file
    EXPECT_FALSE(readLongValue((*db2)->pager(), def).isOk());
    put::u32(def, 0, 0x80000000u | 500);  // inline, longer than the row
    EXPECT_FALSE(readLongValue((*db2)->pager(), def).isOk());
}

TEST(Corrupt, RandomDamageToAnyPageNeverCrashes) {
    // Scribble over bytes of every page in turn; each open-and-read must
    // finish with success or an error that calls the file damaged or beyond
    // what the engine reads. Run under the sanitizers in the fuzz build.
    for (const char* f : {"testV1997.mdb", "overflowTestV2000.mdb", "test2V1997.mdb"}) {
        auto image = readBytes(sample(f));
        uint32_t ps = image[0x14] == 0 ? 2048 : 4096;
        std::mt19937 rng(42);
        for (uint32_t n = 0; n < image.size() / ps; ++n) {
            auto bad = image;
            for (int k = 0; k < 24; ++k) {
                size_t at = static_cast<size_t>(n) * ps + rng() % ps;
                bad[at] = static_cast<uint8_t>(rng());
            }
            Status s = openAndRead(bad);
            EXPECT_TRUE(s.isOk() || s.category() == Category::Corruption || s.category() == Category::NotSupported)
                << f << " page " << n << ": " << s.toString();
        }
    }
}

}  // namespace
}  // namespace veltrano::access
