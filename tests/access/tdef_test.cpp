// Table definitions as both directions read and write them.
#include <gtest/gtest.h>

#include <algorithm>

#include "access/format/tdef.h"
#include "access/storage/journal.h"
#include "access/testutil.h"
#include "access/write/tdef_writer.h"
#include "writer_check.h"

namespace veltrano::access {
namespace {

using testing::openImage;

// Offset of column `number`'s block in a definition's first page.
size_t columnBlockAt(const TableDef& def, const Format& f, uint16_t number) {
    ByteReader r(def.raw);
    size_t first = f.tdefVarPart + def.realIndexes.size() * f.realIdxCountBlock;
    for (size_t i = 0; i < def.columns.size(); ++i) {
        size_t b = first + i * f.columnBlock;
        if (r.u16(b + f.colNumber) == number) return b;
    }
    return 0;
}

// Jet 3 files carry bits on columns that Jet 4 reads as auto-GUID, hyperlink
// or auto-number; on a text column none of them holds.
TEST(TableDefinition, Jet3FlagBitsCountOnlyOnTheTypesTheyBelongTo) {
    auto image = testing::readBytes(testing::sample("testV1997.mdb"));
    const Format& f = Format::jet3();
    uint32_t page = 0;
    size_t flagsAt = 0;
    {
        auto db = openImage(image);
        ASSERT_TRUE(db.isOk()) << db.status().description();
        for (const CatalogEntry* e : (*db)->userTables()) {
            auto def = (*db)->tableDef(e->name);
            ASSERT_TRUE(def.isOk());
            if (const ColumnDef* a = (*def)->columnByName("A"); a && a->type == ColumnType::Text) {
                page = e->tdefPage();
                flagsAt = columnBlockAt(**def, f, a->number) + f.colFlags;
            }
        }
    }
    ASSERT_NE(page, 0u);
    ASSERT_GT(flagsAt, f.tdefVarPart);
    auto tdef = testing::pageOf(image, page, f.pageSize);
    tdef[flagsAt] |= column_flag::kAutoGuid | column_flag::kHyperlink | column_flag::kAutoLong;
    testing::putPage(image, page, tdef);

    auto db = openImage(image);
    ASSERT_TRUE(db.isOk()) << db.status().description();
    bool sawGuid = false;
    for (const CatalogEntry* e : (*db)->userTables()) {
        auto def = (*db)->tableDef(e->name);
        ASSERT_TRUE(def.isOk());
        for (const ColumnDef& c : (*def)->columns) {
            EXPECT_EQ(c.isAutoGuid(), c.type == ColumnType::Guid && c.name == "data") << e->name << "." << c.name;
            EXPECT_FALSE(c.isHyperlink()) << c.name;
            if (c.name == "A") {
                EXPECT_FALSE(c.isAutoLong());
            }
            sawGuid = sawGuid || c.isAutoGuid();
        }
    }
    EXPECT_TRUE(sawGuid) << "the sample's Replication ID column keeps its auto-GUID flag";
}

// The writer's model of a definition Access made, written back unchanged,
// must give the same bytes: reader and writer agree on every offset.
TEST(TableDefinition, TheWritersModelOfAnAccessDefinitionWritesBackTheSameBytes) {
    for (const char* name : {"indexTestV2000.mdb", "testV2000.mdb", "delColTestV2000.mdb"}) {
        const std::string file = writer_test::tempDir("tdef-model") + "/" + name;
        ASSERT_TRUE(writer_test::copyFile(testing::sample(name), file));
        std::vector<uint32_t> pages;
        {
            auto db = Database::open(file);
            ASSERT_TRUE(db.isOk()) << db.status().description();
            for (const CatalogEntry* e : (*db)->userTables()) pages.push_back(e->tdefPage());
        }
        auto store = PageStore::open(file, false);
        ASSERT_TRUE(store.isOk()) << store.status().description();
        ASSERT_FALSE(pages.empty());
        for (uint32_t page : pages) {
            auto model = readTableModel(**store, page);
            ASSERT_TRUE(model.isOk()) << name << " page " << page << ": " << model.status().description();
            auto readPage = [&store](uint32_t n, std::vector<uint8_t>& out) { return (*store)->read(n, out); };
            auto assembled = readDefinitionBytes(readPage, page, nullptr);
            ASSERT_TRUE(assembled.isOk());
            std::vector<uint8_t> stored = *assembled;
            std::vector<uint8_t> written = serializeTableModel(*model);
            ASSERT_LE(written.size(), stored.size()) << name << " page " << page;
            stored.resize(written.size());
            auto diff = std::mismatch(written.begin(), written.end(), stored.begin());
            EXPECT_TRUE(diff.first == written.end()) << name << " page " << page << " differs at byte "
                                                      << (diff.first - written.begin()) << " of " << written.size();
            EXPECT_FALSE(model->columns.empty());
        }
    }
}

}  // namespace
}  // namespace veltrano::access
