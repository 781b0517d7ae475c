// Access 2007-2019 files (.accdb) made by Access: every version opens, the
// encrypted sample needs its password, and the column kinds those versions
// added read as Access shows them. Expected values of calculated and
// multi-value columns, which the other readers do not decode, are the ones
// Jackcess's tests state for the same files.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <zlib.h>

#include <filesystem>
#include <tuple>

#include "access/base/coding.h"
#include "access/format/text.h"
#include "access/read/complex.h"
#include "access/format/data_page.h"
#include "access/read/database.h"
#include "access/storage/lock_file.h"
#include "access/storage/pager.h"
#include "access/write/database_writer.h"
#include "testutil.h"

namespace veltrano::access {
namespace {

std::string accdb(const std::string& name) { return testing::sample("../accdb/" + name); }

std::unique_ptr<Database> open(const std::string& name, std::optional<std::string> password = {}) {
    OpenOptions o;
    o.password = std::move(password);
    auto db = Database::open(accdb(name), o);
    EXPECT_TRUE(db.isOk()) << name << ": " << db.status().toString();
    return db.isOk() ? std::move(*db) : nullptr;
}

// Every row of a table as "a|b|c" lines of canonical cell texts.
std::string rows(Database& db, const std::string& table) {
    auto cursor = db.openCursor(table);
    if (!cursor.isOk()) return cursor.status().toString();
    std::string out;
    while ((*cursor)->next()) {
        for (size_t i = 0; i < (*cursor)->values().size(); ++i) out += (i ? "|" : "") + canonicalText((*cursor)->value(i));
        out += "\n";
    }
    return (*cursor)->status().isOk() ? out : (*cursor)->status().toString();
}

TEST(Ace, EveryVersionOpensAndEveryCellReads) {
    const std::pair<const char*, int> files[] = {
        {"attachmentsV2016.accdb", 2}, {"testV2010.accdb", 3}, {"complexDataTestV2010.accdb", 3},
        {"calcFieldTestV2010.accdb", 3}, {"delColTestV2010.accdb", 3}, {"overflowTestV2010.accdb", 3},
        {"fixedNumericTestV2010.accdb", 3}, {"bigintV2016.accdb", 5}, {"extDateTestV2019.accdb", 6},
        {"empty2019.accdb", 6}, {"V2010_with-password.accdb", 3}};
    for (const auto& [file, version] : files) {
        SCOPED_TRACE(file);
        auto db = open(file, std::string(file).find("password") != std::string::npos ? "password" : "");
        ASSERT_TRUE(db);
        EXPECT_TRUE(db->pager().header().ace);
        EXPECT_EQ(db->pager().header().fileVersion, version);
        EXPECT_TRUE(testing::readEverything(*db).isOk()) << testing::readEverything(*db).toString();
    }
    auto empty = open("empty2019.accdb");
    EXPECT_TRUE(empty->userTables().empty());  // MSysComplexType_*, MSysResources, f_... tables are system
    auto plain = open("testV2010.accdb");
    EXPECT_EQ(rows(*plain, "Table1"),
              "a|b|0|0|0|0|1981-12-12 00:00:00|0.0000|0\n"
              "abcdefg|hijklmnop|2|222|333333333|444.555|1974-09-21 00:00:00|3.5000|1\n");
}

TEST(Ace, EncryptedFileOpensOnlyWithItsPassword) {
    auto db = open("V2010_with-password.accdb", "password");
    ASSERT_TRUE(db);
    EXPECT_EQ(rows(*db, "Table1"), "1|One\n2|Two\n3|Three\n");
    for (std::optional<std::string> wrong : {std::optional<std::string>{}, std::optional<std::string>{"Password"},
                                             std::optional<std::string>{"wrong"}}) {
        OpenOptions o;
        o.password = wrong;
        auto bad = Database::open(accdb("V2010_with-password.accdb"), o);
        ASSERT_FALSE(bad.isOk());
        EXPECT_EQ(bad.status().category(), Category::WrongPassword);
        EXPECT_EQ(bad.status().code(), 0x80040E4Du);
    }
    // A descriptor running past its page, or of an unknown version, is refused with its reason.
    auto image = testing::readBytes(accdb("V2010_with-password.accdb"));
    auto page0 = testing::pageOf(image, 0, 4096);
    for (auto [at, value, category] : {std::tuple{size_t{0x29A}, uint8_t{0x0F}, Category::Corruption},
                                       std::tuple{size_t{0x29B}, uint8_t{9}, Category::NotSupported}}) {
        auto broken = image;
        auto p = page0;
        p[at] = value;
        testing::putPage(broken, 0, p);
        OpenOptions o;
        o.password = "password";
        auto r = testing::openImage(broken, o);
        ASSERT_FALSE(r.isOk()) << at;
        EXPECT_EQ(r.status().category(), category) << r.status().toString();
    }
}

std::vector<uint8_t> sha1(std::vector<uint8_t> data) {
    std::vector<uint8_t> out(20);
    EVP_Digest(data.data(), data.size(), out.data(), nullptr, EVP_sha1(), nullptr);
    return out;
}

// An unencrypted sample re-encrypted the way Access 2007 does with RC4
// CryptoAPI keys of `keyBits`, under the password "pw".
std::vector<uint8_t> rc4CryptoApiImage(uint32_t keyBits) {
    auto image = testing::readBytes(accdb("testV2010.accdb"));
    const uint32_t key = 0x5A17C3E1;
    std::vector<uint8_t> salt = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::vector<uint8_t> h0 = salt;
    for (char c : std::string("pw")) h0.insert(h0.end(), {static_cast<uint8_t>(c), 0});
    h0 = sha1(h0);
    auto keyFor = [&](uint32_t block) {
        std::vector<uint8_t> in = h0;
        in.insert(in.end(), {uint8_t(block), uint8_t(block >> 8), uint8_t(block >> 16), uint8_t(block >> 24)});
        auto k = sha1(in);
        k.resize(keyBits / 8);
        if (keyBits == 40) k.resize(16, 0);
        return k;
    };
    std::vector<uint8_t> verifier = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> check = verifier, hash = sha1(verifier);
    check.insert(check.end(), hash.begin(), hash.end());
    rc4Xor(keyFor(0), check);

    std::string csp = utf8ToUtf16le("Microsoft Enhanced Cryptographic Provider v1.0") + std::string(2, '\0');
    std::vector<uint8_t> blob(12 + 32 + csp.size() + 4 + 16 + 16 + 4 + 20);
    const size_t h = 32 + csp.size();
    put::u32(blob, 0, 0x00020004);  // version 4.2
    put::u32(blob, 4, 0x0C);
    put::u32(blob, 8, static_cast<uint32_t>(h));
    put::u32(blob, 12, 0x0C);
    put::u32(blob, 12 + 8, 0x6801);
    put::u32(blob, 12 + 12, 0x8004);
    put::u32(blob, 12 + 16, keyBits);
    put::u32(blob, 12 + 20, 1);
    put::bytes(blob, 12 + 32, Bytes(reinterpret_cast<const uint8_t*>(csp.data()), csp.size()));
    put::u32(blob, 12 + h, 16);
    put::bytes(blob, 16 + h, salt);
    put::bytes(blob, 32 + h, Bytes(check).first(16));
    put::u32(blob, 48 + h, 20);
    put::bytes(blob, 52 + h, Bytes(check).subspan(16));

    auto page0 = testing::pageOf(image, 0, 4096);
    put::u32(page0, 0x3E, key);
    put::u16(page0, 0x299, static_cast<uint16_t>(blob.size()));
    put::bytes(page0, 0x29B, blob);
    testing::putPage(image, 0, page0);
    for (uint32_t n = 1; n < image.size() / 4096; ++n)
        rc4Xor(keyFor(key ^ n), MutableBytes(image).subspan(size_t{n} * 4096, 4096));
    return image;
}

// Pages read ahead in stretches come out as pages read one at a time:
// decrypted by their own number, gaps, page 0 and pages past the end left
// to page().
TEST(Ace, PagesReadAheadMatchPagesReadOneByOne) {
    auto one = open("V2010_with-password.accdb", "password");
    auto ahead = open("V2010_with-password.accdb", "password");
    ASSERT_TRUE(one && ahead);
    const uint32_t count = one->pager().pageCount();
    std::vector<uint32_t> pages = {0};
    for (uint32_t n = 1; n < count; ++n)
        if (n % 7 != 3) pages.push_back(n);
    pages.push_back(count + 5);
    ahead->pager().readAhead(pages);
    for (uint32_t n = 0; n < count; ++n) {
        auto a = one->pager().page(n), b = ahead->pager().page(n);
        ASSERT_TRUE(a.isOk() && b.isOk()) << n;
        EXPECT_TRUE(**a == **b) << "page " << n;
    }
    EXPECT_FALSE(ahead->pager().page(count + 5).isOk());
}

TEST(Ace, Rc4CryptoApiFilesOpenWithTheirPassword) {
    for (uint32_t bits : {40u, 128u}) {
        auto image = rc4CryptoApiImage(bits);
        OpenOptions right, wrong;
        right.password = "pw";
        wrong.password = "pW";
        auto db = testing::openImage(image, right);
        ASSERT_TRUE(db.isOk()) << bits << ": " << db.status().toString();
        EXPECT_EQ(rows(**db, "Table1"),
                  "a|b|0|0|0|0|1981-12-12 00:00:00|0.0000|0\n"
                  "abcdefg|hijklmnop|2|222|333333333|444.555|1974-09-21 00:00:00|3.5000|1\n");
        EXPECT_EQ(testing::openImage(image, wrong).status().category(), Category::WrongPassword) << bits;
        EXPECT_EQ(testing::openImage(image).status().category(), Category::WrongPassword) << bits;
    }
}

TEST(Ace, CalculatedColumnsReadAsTheirResultType) {
    auto db = open("calcFieldTestV2010.accdb");
    ASSERT_TRUE(db);
    EXPECT_EQ(rows(*db, "Table1"),
              "1|Bruce|Wayne|Wayne, Bruce|Gotham|12|1000000.0000|83333.3333|1|Wayne, Bruce=Wayne, Bruce|"
              "19230.7692307692|1000000.0000|1|50.325000|50.325000|2583.2092|56505085819.424791296572280180\n"
              "2|Bart|Simpson|Simpson, Bart|Springfield|13|-1.0000|-0.0833|0|Simpson, Bart=Simpson, Bart|"
              "-0.0192307692307692|-1.0000|1|-36.222200|-36.222200|0.0035889593|-0.0784734499180612994241100748\n"
              "3|John|Doe|Doe, John|Nowhere|9|0.0000|0.0000|0|Doe, John=Doe, John|0|0.0000|1|0.012300|0.012300|0|"
              "0.00000000\n"
              "4|Test|User|User, Test|Hockessin|10|100.0000|8.3333|0|User, Test=User, Test|1.92307692307692|100.0000|1|"
              "102030405060.654321|102030405060.654321|1.27413e-10|0.0000002787019289824216980830\n");
    auto def = db->tableDef("Table1");
    ASSERT_TRUE(def.isOk());
    const ColumnDef* lastFirst = (*def)->columnByName("LastFirst");
    EXPECT_TRUE(lastFirst->calculated);
    EXPECT_EQ(lastFirst->expression, "[LastName] & \", \" & [FirstName]");
    EXPECT_EQ((*def)->columnByName("IsRich")->type, ColumnType::Boolean);
    EXPECT_EQ((*def)->columnByName("MonthlySalary")->type, ColumnType::Currency);
    EXPECT_EQ((*def)->columnByName("AllNames")->type, ColumnType::Memo);
    EXPECT_FALSE((*def)->columnByName("Salary")->calculated);
}

TEST(Ace, LargeNumbersAndExtendedDates) {
    auto big = open("bigintV2016.accdb");
    ASSERT_TRUE(big);
    EXPECT_EQ(rows(*big, "Table"), "1|42\n");
    auto dates = open("extDateTestV2019.accdb");
    ASSERT_TRUE(dates);
    std::string all = rows(*dates, "Table1");
    // DateExt, DateNormal of rows 6, 7 and 8; row 5 holds nulls (and a calculated "no result").
    EXPECT_NE(all.find("6|row6|2021-06-14 22:45:12.3456789|2021-06-14 22:45:12|"), std::string::npos) << all;
    EXPECT_NE(all.find("7|row7|1765-06-14 12:45:00|1765-06-14 12:45:00|"), std::string::npos) << all;
    EXPECT_NE(all.find("8|row8|0100-06-14 12:45:00.1234567|0100-06-14 12:45:00|"), std::string::npos) << all;
    EXPECT_NE(all.find("5|row5||||\n"), std::string::npos) << all;
}

TEST(Ace, ComplexColumnsReadTheirHiddenValues) {
    auto db = open("complexDataTestV2010.accdb");
    ASSERT_TRUE(db);
    auto def = db->tableDef("Table1");
    ASSERT_TRUE(def.isOk());
    for (const auto& c : (*def)->columns) EXPECT_EQ(c.name.find("VersionHistory_"), std::string::npos);
    EXPECT_EQ(rows(*db, "Table1"),
              "row1||||\n"
              "row2|row2-memo|row2-memo|value1; value4|test_data.txt; test_data2.txt\n"
              "row3|row3-memo|row3-memo-again|value1; value2; value3; value4|\n"
              "row4|row4-memo|row4-memo||test_data2.txt\n");

    auto multi = db->complexValues("Table1", "multi-value-data");
    ASSERT_TRUE(multi.isOk()) << multi.status().toString();
    EXPECT_EQ(multi->kind, ComplexKind::MultiValue);
    EXPECT_EQ(multi->items.size(), 2u);
    EXPECT_EQ(multi->cellText(2), "value1; value4");

    auto history = db->complexValues("Table1", "append-memo-data");
    ASSERT_TRUE(history.isOk()) << history.status().toString();
    EXPECT_EQ(history->kind, ComplexKind::VersionHistory);
    ASSERT_EQ(history->items[3].size(), 3u);
    EXPECT_EQ(history->cellText(3), "row3-memo; row3-memo-revised; row3-memo-again");

    auto files = db->complexValues("Table1", "attach-data");
    ASSERT_TRUE(files.isOk()) << files.status().toString();
    ASSERT_EQ(files->kind, ComplexKind::Attachment);
    const auto& first = files->items[2].at(0);
    size_t data = 0;
    for (size_t i = 0; i < files->fields.size(); ++i)
        if (files->fields[i] == "FileData") data = i;
    EXPECT_EQ(first[data].bytes.substr(0, 38), "this is some test data for attachment.");
    EXPECT_EQ(db->complexValues("Table1", "memo-data").status().category(), Category::NotFound);

    // Renamed since it was made: found through its complex id, not its name.
    auto renamed = open("attachmentsV2016.accdb");
    ASSERT_TRUE(renamed);
    auto three = renamed->complexValues("Table1", "Attachments");
    ASSERT_TRUE(three.isOk()) << three.status().toString();
    EXPECT_EQ(three->cellText(3), "attachment1.txt; attachment2.txt; attachment3.txt");
    EXPECT_EQ(three->items[3].at(1)[data].bytes, "Attachment 2");
}

std::vector<uint8_t> storedAttachment(uint32_t type, const std::string& content, size_t claimed) {
    std::string body = content;
    if (type != 0) {
        uLongf size = compressBound(content.size());
        body.assign(size, '\0');
        compress(reinterpret_cast<Bytef*>(body.data()), &size, reinterpret_cast<const Bytef*>(content.data()),
                 content.size());
        body.resize(size);
    }
    std::vector<uint8_t> out(8 + body.size());
    put::u32(out, 0, type);
    put::u32(out, 4, static_cast<uint32_t>(claimed));
    put::bytes(out, 8, Bytes(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
    return out;
}

TEST(Ace, AttachmentDataIsCheckedBeforeUse) {
    // Content: header length 16, 1, extension "t\0" (2 characters), then the file.
    std::string content("\x10\0\0\0\x01\0\0\0\x02\0\0\0t\0\0\0hello", 21);
    for (uint32_t type : {0u, 1u}) {
        auto ok = decodeAttachmentData(storedAttachment(type, content, content.size()));
        ASSERT_TRUE(ok.isOk()) << type << ok.status().toString();
        EXPECT_EQ(*ok, "hello");
        EXPECT_FALSE(decodeAttachmentData(storedAttachment(type, content, content.size() + 1)).isOk()) << type;
    }
    auto cut = storedAttachment(1, content, content.size());
    cut.resize(cut.size() - 6);
    EXPECT_FALSE(decodeAttachmentData(cut).isOk());
    std::string longHeader = content;
    longHeader[0] = 99;  // header past the end of the data
    EXPECT_FALSE(decodeAttachmentData(storedAttachment(0, longHeader, longHeader.size())).isOk());
    EXPECT_FALSE(decodeAttachmentData(storedAttachment(1, content, 0x7FFFFFFF)).isOk());  // no 2 GB buffer
    EXPECT_FALSE(decodeAttachmentData(storedAttachment(7, content, content.size())).isOk());
}

TEST(Ace, LinkedTablesAreNamedNeverReadAsEmpty) {
    // Table2's catalog row turned into a link to another Access file (type 6).
    auto image = testing::readBytes(accdb("testV2010.accdb"));
    {
        auto db = testing::openImage(image);
        ASSERT_TRUE(db.isOk());
        auto catalog = loadTableDef((*db)->pager(), catalog_const::kCatalogTdefPage);
        ASSERT_TRUE(catalog.isOk());
        auto def = std::make_shared<const TableDef>(*catalog);
        TableCursor cursor((*db)->pager(), def);
        const size_t name = static_cast<size_t>(def->columnByName("Name") - def->columns.data());
        while (cursor.next() && cursor.value(name).bytes != "Table2") {
        }
        ASSERT_EQ(cursor.value(name).bytes, "Table2");
        auto page = testing::pageOf(image, cursor.page(), 4096);
        auto slot = rowSlot(page, cursor.row(), Format::jet4(), cursor.page());
        ASSERT_TRUE(slot.isOk());
        put::u16(page, slot->start + 2 + def->columnByName("Type")->fixedOffset, catalog_const::kTypeLinkedJet);
        testing::putPage(image, cursor.page(), page);
    }
    auto db = testing::openImage(image);
    ASSERT_TRUE(db.isOk());
    ASSERT_EQ((*db)->linkedTables().size(), 1u);
    EXPECT_EQ((*db)->linkedTables()[0]->name, "Table2");
    for (const auto* t : (*db)->userTables()) EXPECT_NE(t->name, "Table2");
    auto read = (*db)->openCursor("Table2");
    ASSERT_FALSE(read.isOk());
    EXPECT_EQ(read.status().category(), Category::NotSupported);
    EXPECT_NE(read.status().description().find("linked to table 'Table2'"), std::string::npos) << read.status().toString();
}

TEST(Ace, AFileAccessHoldsOpenIsNotRead) {
    EXPECT_EQ(lockFilePath("/d/Shop.ACCDB"), "/d/Shop.laccdb");
    EXPECT_EQ(lockFilePath("/d/shop.mdb"), "/d/shop.ldb");
}

TEST(Ace, FilesAreNeverWritten) {
    testing::ScratchDir dir;
    std::filesystem::copy_file(accdb("testV2010.accdb"), dir.file("t.accdb"));
    auto before = testing::readBytes(dir.file("t.accdb"));
    auto w = WriteDatabase::open(dir.file("t.accdb"), "");
    ASSERT_FALSE(w.isOk());
    EXPECT_EQ(w.status().category(), Category::NotSupported);
    EXPECT_EQ(testing::readBytes(dir.file("t.accdb")), before);
}

}  // namespace
}  // namespace veltrano::access
