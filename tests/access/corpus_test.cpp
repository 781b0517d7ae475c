// Reading the real Access files of the shared sample folder.
#include <gtest/gtest.h>

#include <sstream>

#include "access/read/database.h"
#include "testutil.h"

namespace veltrano::access {
namespace {

using testing::allSamples;
using testing::sample;

OpenOptions withPassword(const std::string& file) {
    OpenOptions o;
    if (file.find("with-password") != std::string::npos) o.password = "password";
    return o;
}

std::vector<std::string> tableNames(Database& db) {
    std::vector<std::string> out;
    for (const auto* t : db.userTables()) out.push_back(t->name);
    return out;
}

// Every row of a table as canonical texts joined by '|'.
std::vector<std::string> dump(Database& db, const std::string& table) {
    std::vector<std::string> rows;
    auto cursor = db.openCursor(table);
    EXPECT_TRUE(cursor.isOk()) << cursor.status().toString();
    if (!cursor.isOk()) return rows;
    while ((*cursor)->next()) {
        std::string line;
        for (size_t i = 0; i < (*cursor)->values().size(); ++i)
            line += (i ? "|" : "") + canonicalText((*cursor)->value(i));
        rows.push_back(line);
    }
    EXPECT_TRUE((*cursor)->status().isOk()) << (*cursor)->status().toString();
    return rows;
}

TEST(Corpus, EveryFileOpensListsTheTablesMdbtoolsListsAndReadsEveryRow) {
    bool haveMdbTools = !testing::runCommand("command -v mdb-tables").empty();
    auto files = allSamples();
    ASSERT_GE(files.size(), 19u);
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        auto db = Database::open(sample(f), withPassword(f));
        ASSERT_TRUE(db.isOk()) << db.status().toString();
        EXPECT_TRUE(testing::readEverything(**db).isOk());
        std::vector<std::string> ours = tableNames(**db);
        if (haveMdbTools) {
            std::istringstream in(testing::runCommand("mdb-tables -1 '" + sample(f) + "'"));
            std::vector<std::string> theirs;
            for (std::string line; std::getline(in, line);)
                if (!line.empty()) theirs.push_back(line);
            EXPECT_EQ(ours, theirs);
        }
        // The definitions' row counts agree with a scan.
        for (const auto& t : ours) {
            auto def = (*db)->tableDef(t);
            ASSERT_TRUE(def.isOk());
            auto n = (*db)->countRows(t);
            ASSERT_TRUE(n.isOk());
            EXPECT_EQ(*n, (*def)->rowCount) << t;
        }
    }
}

TEST(Corpus, Jet3AndJet4EditionsOfTheSameTableReadTheSameValues) {
    auto jet3 = Database::open(sample("testV1997.mdb"));
    auto jet4 = Database::open(sample("testV2000.mdb"));
    ASSERT_TRUE(jet3.isOk() && jet4.isOk());
    EXPECT_EQ((*jet3)->version(), JetVersion::Jet3);
    EXPECT_EQ((*jet4)->version(), JetVersion::Jet4);
    auto a = dump(**jet3, "Table1"), b = dump(**jet4, "Table1");
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
    EXPECT_EQ(b, (std::vector<std::string>{
                     "abcdefg|hijklmnop|2|222|333333333|444.555|1974-09-21 00:00:00|3.5000|1",
                     "a|b|0|0|0|0|1981-12-12 00:00:00|0.0000|0"}));
}

TEST(Corpus, DeletedRowsAndDeletedColumnsAreSkipped) {
    for (const char* f : {"delTestV1997.mdb", "delTestV2000.mdb"}) {
        auto db = Database::open(sample(f));
        ASSERT_TRUE(db.isOk());
        EXPECT_EQ(dump(**db, "Table").size(), 2u) << f;
    }
    for (const char* f : {"delColTestV1997.mdb", "delColTestV2000.mdb"}) {
        auto db = Database::open(sample(f));
        ASSERT_TRUE(db.isOk());
        auto def = (*db)->tableDef("Table1");
        ASSERT_TRUE(def.isOk());
        // Column numbers keep counting the deleted column.
        bool gap = (*def)->maxCols > (*def)->columns.size();
        for (size_t i = 0; i < (*def)->columns.size(); ++i) gap = gap || (*def)->columns[i].number != i;
        if (std::string(f).find("2000") != std::string::npos) {
            EXPECT_TRUE(gap) << f;  // (the Jet3 edition was compacted: no gap left)
        }
        EXPECT_EQ(dump(**db, "Table1").size(), 2u) << f;
    }
}

TEST(Corpus, OverflowRowsAreFollowedAndKeepTheirOriginalPlace) {
    for (const char* f : {"overflowTestV1997.mdb", "overflowTestV2000.mdb"}) {
        SCOPED_TRACE(f);
        auto db = Database::open(sample(f));
        ASSERT_TRUE(db.isOk());
        auto rows = dump(**db, "Table1");
        ASSERT_EQ(rows.size(), 7u);
        // Each row's values name their own row number: no mix-up between
        // the pointer slot and the moved image.
        for (size_t r = 0; r < rows.size(); ++r) {
            std::string tag = "row" + std::to_string(r + 1) + "col";
            std::istringstream in(rows[r]);
            for (std::string cell; std::getline(in, cell, '|');) {
                if (!cell.empty()) {
                    EXPECT_EQ(cell.rfind(tag, 0), 0u) << rows[r];
                }
            }
        }
    }
}

TEST(Corpus, DecimalFixedTextMemoAndGuidColumns) {
    auto numeric = Database::open(sample("fixedNumericTestV2000.mdb"));
    ASSERT_TRUE(numeric.isOk());
    auto def = (*numeric)->tableDef("test");
    ASSERT_TRUE(def.isOk());
    EXPECT_EQ((*def)->columnByName("col2")->type, ColumnType::Numeric);
    EXPECT_EQ(dump(**numeric, "test"), std::vector<std::string>{"some data|1|0|0|4|-1|1"});

    auto fixed = Database::open(sample("fixedTextTestV2000.mdb"));
    ASSERT_TRUE(fixed.isOk());
    auto users = dump(**fixed, "users");
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[1], "2|admin|X03MO1qnZdYdgyfeuILPmQ==|-1|Admin User|1|81928|120|N|2009-10-22 03:57:13");
    EXPECT_TRUE((*(*fixed)->tableDef("users"))->columnByName("c_flag_")->isFixed());

    // A Jet3 table with memo columns, long enough to live outside the row.
    auto wide = Database::open(sample("test2V1997.mdb"));
    ASSERT_TRUE(wide.isOk());
    auto projects = (*wide)->openCursor("MSP_PROJECTS");
    ASSERT_TRUE(projects.isOk());
    size_t rows = 0, longestMemo = 0;
    const auto& cols = (*projects)->definition().columns;
    while ((*projects)->next()) {
        ++rows;
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i].type == ColumnType::Memo) longestMemo = std::max(longestMemo, (*projects)->value(i).bytes.size());
    }
    EXPECT_TRUE((*projects)->status().isOk());
    EXPECT_EQ(rows, 1u);  // one wide row (the folder's README says 16; the file and mdb-export say 1)
    EXPECT_GT(longestMemo, 64u);

    auto guid = Database::open(sample("testV2000.mdb"));
    ASSERT_TRUE(guid.isOk());
    const ColumnDef* data = (*(*guid)->tableDef("Table4"))->columnByName("data");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->type, ColumnType::Guid);
    EXPECT_TRUE(data->isAutoGuid());
}

TEST(Corpus, ColumnPropertiesGiveDefaultsAndRequired) {
    auto db = Database::open(sample("testV2000.mdb"));
    ASSERT_TRUE(db.isOk());
    auto t1 = (*db)->tableDef("table1");  // names are case-insensitive
    ASSERT_TRUE(t1.isOk());
    EXPECT_TRUE((*t1)->columnByName("C")->hasDefault);
    EXPECT_EQ((*t1)->columnByName("C")->defaultValue, "0");
    EXPECT_FALSE((*t1)->columnByName("A")->hasDefault);
    auto users = Database::open(sample("fixedTextTestV2000.mdb"));
    ASSERT_TRUE(users.isOk());
    EXPECT_TRUE((*(*users)->tableDef("users"))->columnByName("c_user_login")->required);
}

TEST(Corpus, PasswordsAreCheckedExactly) {
    for (const char* f : {"V2000_with-password.mdb", "V2003_with-password.mdb"}) {
        SCOPED_TRACE(f);
        OpenOptions right, wrong, upper;
        right.password = "password";
        wrong.password = "secret";
        upper.password = "PASSWORD";
        EXPECT_TRUE(Database::open(sample(f), right).isOk());
        for (const auto& o : {OpenOptions{}, wrong, upper}) {
            auto db = Database::open(sample(f), o);
            ASSERT_FALSE(db.isOk());
            EXPECT_EQ(db.status().code(), 0x80040E4Du);
        }
    }
    // A file without a password opens whatever is given.
    OpenOptions some;
    some.password = "anything";
    EXPECT_TRUE(Database::open(sample("V2000_no-password.mdb")).isOk());
    EXPECT_TRUE(Database::open(sample("V2000_no-password.mdb"), some).isOk());
}

TEST(Corpus, Jet3PasswordStoredInTheHeaderIsChecked) {
    auto image = testing::readBytes(sample("testV1997.mdb"));
    auto page0 = testing::pageOf(image, 0, 2048);
    const char pw[] = "Geheim";
    std::copy(pw, pw + 6, page0.begin() + 0x42);
    testing::putPage(image, 0, page0);
    EXPECT_EQ(testing::openImage(image).status().code(), 0x80040E4Du);
    OpenOptions o;
    o.password = "Geheim";
    EXPECT_TRUE(testing::openImage(image, o).isOk());
}

TEST(Corpus, EncryptedPagesAreDecrypted) {
    // Encrypt a real file the way "Encrypt database" does: a key in the
    // header, every page after the first RC4-encrypted with key ^ page.
    auto image = testing::readBytes(sample("testV2000.mdb"));
    auto page0 = testing::pageOf(image, 0, 4096);
    const uint32_t key = 0x5A3C9E17;
    for (int i = 0; i < 4; ++i) page0[0x3E + static_cast<size_t>(i)] = static_cast<uint8_t>(key >> (8 * i));
    testing::putPage(image, 0, page0);
    for (uint32_t n = 1; n < image.size() / 4096; ++n) {
        uint32_t k = key ^ n;
        uint8_t kb[4] = {static_cast<uint8_t>(k), static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k >> 16),
                         static_cast<uint8_t>(k >> 24)};
        rc4Xor(Bytes(kb, 4), MutableBytes(image.data() + static_cast<size_t>(n) * 4096, 4096));
    }
    auto encrypted = testing::openImage(image);
    ASSERT_TRUE(encrypted.isOk()) << encrypted.status().toString();
    auto plain = Database::open(sample("testV2000.mdb"));
    ASSERT_TRUE(plain.isOk());
    EXPECT_EQ(dump(**encrypted, "Table1"), dump(**plain, "Table1"));
}

}  // namespace
}  // namespace veltrano::access
