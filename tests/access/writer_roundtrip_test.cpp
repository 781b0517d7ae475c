// Files the writer makes, read back by mdbtools and mdb-reader (and checked
// with the index checker): empty databases, every column type, NULLs and
// empty texts, Unicode, name limits, long values, identity columns, unique
// violations, large tables with several index levels, DROP TABLE.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "access/write/writer.h"
#include "writer_check.h"

namespace {

using namespace veltrano::access;
using veltrano::FieldValue;
using writer_test::shellQuote;

std::string mdb(const std::string& tool, const std::string& file, const std::string& rest = {}) {
    std::string out;
    writer_test::run(tool + " " + shellQuote(file) + " " + rest + " 2>&1", &out);
    return out;
}

void expectIndexesSound(const std::string& file, const std::string& password = {}) {
    auto rep = writer_test::checkIndexes(file, password);
    for (const auto& p : rep.problems) ADD_FAILURE() << file << ": " << p;
    EXPECT_GT(rep.indexesChecked, 0);
}

// Opens, runs statements, appends rows of texts (nullptr = NULL).
struct Fixture {
    std::string dir, file;
    WriteConnection c;
    explicit Fixture(const std::string& name, const std::string& password = {}) {
        dir = writer_test::tempDir(name);
        file = dir + "/db.mdb";
        Status s = createDatabase(file, password);
        EXPECT_TRUE(s.isOk()) << s.description();
        s = c.open(file, password);
        EXPECT_TRUE(s.isOk()) << s.description();
    }
    void exec(const std::string& sql) {
        Status s = c.execute(sql);
        ASSERT_TRUE(s.isOk()) << sql << ": " << s.description();
    }
    void rows(const std::string& table, const std::vector<std::vector<const char*>>& rows) {
        auto a = c.openTableForAppend(table);
        ASSERT_TRUE(a.isOk()) << a.status().description();
        for (const auto& r : rows) {
            ASSERT_TRUE(a->addNew().isOk());
            for (size_t i = 0; i < r.size(); ++i) {
                Status s = a->setField(static_cast<int>(i), r[i] ? FieldValue(r[i]) : FieldValue::null());
                ASSERT_TRUE(s.isOk()) << table << " field " << i << " (" << (r[i] ? r[i] : "null") << "): " << s.description();
            }
            Status s = a->update();
            ASSERT_TRUE(s.isOk()) << "update: " << s.description();
        }
        ASSERT_TRUE(a->close().isOk());
    }
};

TEST(WriterRoundTrip, NewDatabaseIsJet4WithSoundSystemTablesAndItsPassword) {
    std::string dir = writer_test::tempDir("new-db");
    std::string plain = dir + "/plain.mdb", locked = dir + "/locked.mdb";
    ASSERT_TRUE(createDatabase(plain).isOk());
    ASSERT_TRUE(createDatabase(locked, "s3cret").isOk());
    EXPECT_EQ(createDatabase(plain).category(), Category::InvalidArgument);  // never overwrites
    for (const auto& f : {plain, locked}) {
        EXPECT_EQ(mdb("mdb-ver", f), "JET4\n");
        EXPECT_NE(mdb("mdb-tables", f, "-S -1").find("MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships"), std::string::npos);
    }
    expectIndexesSound(plain);
    WriteConnection c;
    EXPECT_EQ(c.open(locked, "wrong").code(), 0x80040E4Du);
    EXPECT_EQ(c.open(locked, "").code(), 0x80040E4Du);
    ASSERT_TRUE(c.open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + locked +
                       ";Persist Security Info=False;Jet OLEDB:Database Password=s3cret")
                    .isOk());
    WriteConnection second;
    EXPECT_EQ(second.open(locked, "s3cret").code(), 0x80004005u);  // in use
    ASSERT_TRUE(c.close().isOk());
    EXPECT_FALSE(std::filesystem::exists(dir + "/locked.ldb"));
    if (writer_test::haveNodeOracle()) {
        EXPECT_EQ(writer_test::dumpTables(plain), "");
        EXPECT_EQ(writer_test::dumpTables(locked, "s3cret"), "");
    }
}

TEST(WriterRoundTrip, EveryTypeNullsEmptyTextsAndUnicodeReadBackByBothOracles) {
    Fixture f("every-type");
    f.exec("CREATE TABLE [all types]([id] identity,[i] integer,[l] long ,[d] double,[n] number,[dt] datetime,"
           "[v] varchar(20),[ch] char(5),[m] memo,[by] byte,[sh] short,[si] smallint,[sg] single,[cu] currency,"
           "[bi] bit,[yn] yesno,[tx] text(10),[de] decimal(12,3),[ole] longbinary,[g] guid,"
           "CONSTRAINT PrimaryKey primary key([id]));");
    f.exec("CREATE INDEX [by_text] ON [all types] ( [v], [dt]);");
    f.exec("CREATE UNIQUE INDEX [by_guid] ON [all types] ( [g]);");
    f.rows("all types",
           {{nullptr, "-2147483648", "7", "1.5", "-0.25", "2003-03-15 10:20:30", "café", "abc", "emoji 😀 memo",
             "255", "-32768", "32767", "3.25", "-922337203685477.5808", "true", "0", "Мир 東京", "-123456789.125", "OLE",
             "{6B29FC40-CA47-1067-B31D-00DD010662DA}"},
            {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "", nullptr, "", nullptr, nullptr, nullptr, nullptr,
             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
            {"10", "2147483647", "-1", "1e300", "12", "1899-12-29 06:00:00", "O'Neil-x", "ÀÿÆß", nullptr, "0", "0",
             "1", "-1.5", "0.0001", "false", "yes", "ten chars!", "0", "", "{00000000-0000-0000-0000-000000000001}"}});
    if (writer_test::haveNodeOracle()) {
        EXPECT_EQ(writer_test::dumpExport(f.file, "all types"),
                  "id,i,l,d,n,dt,v,ch,m,by,sh,si,sg,cu,bi,yn,tx,de,ole,g\n"
                  "1,-2147483648,7,1.5,-0.25,2003-03-15 10:20:30,café,abc,emoji 😀 memo,255,-32768,32767,3.25,"
                  "-922337203685477.5808,1,0,Мир 東京,-123456789.125,4F4C45,{6B29FC40-CA47-1067-B31D-00DD010662DA}\n"
                  "2,,,,,,\"\",,\"\",,,,,,0,0,,,,\n"
                  "10,2147483647,-1,1e+300,12,1899-12-29 06:00:00,O'Neil-x,ÀÿÆß,,0,0,1,-1.5,0.0001,0,1,ten chars!,0.000,"
                  "\"\",{00000000-0000-0000-0000-000000000001}\n");
    }
    std::string exported = mdb("mdb-export", f.file, shellQuote("all types"));
    EXPECT_NE(exported.find("Мир 東京"), std::string::npos) << exported;
    // (mdbtools shows characters outside the BMP as "??"; mdb-reader and our reader see the emoji.)
    std::string schema = mdb("mdb-schema --indexes", f.file, "mysql");
    EXPECT_NE(schema.find("ADD PRIMARY KEY (`id`)"), std::string::npos) << schema;
    EXPECT_NE(schema.find("ADD UNIQUE INDEX `by_guid` (`g`)"), std::string::npos) << schema;
    EXPECT_NE(schema.find("`by_text` (`v`, `dt`)"), std::string::npos) << schema;
    for (const char* type : {"Currency", "Memo", "Boolean", "Replication ID", "Numeric", "OLE", "Single", "Byte"})
        EXPECT_NE(mdb("mdb-schema", f.file).find(type), std::string::npos) << type;
    // Names and indexed text beyond Latin-1 get keys; a unique key still ignores case.
    f.exec("CREATE TABLE [Города €]([Название] varchar(40),[東京] integer);");
    f.exec("CREATE UNIQUE INDEX [по_названию] ON [Города €] ( [Название]);");
    f.exec("CREATE INDEX [東京’] ON [Города €] ( [東京], [Название] DESC);");
    f.rows("Города €", {{"Łódź", "1"}, {"Москва", "2"}, {"東京", "3"}, {"’€ x", nullptr}, {"😀 ab", "5"}, {"ひらがな", "6"}});
    auto a = f.c.openTableForAppend("Города €");
    ASSERT_TRUE(a.isOk());
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(0, FieldValue("МОСКВА ")).isOk());
    EXPECT_FALSE(a->update().isOk());
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(f.c.close().isOk());
    if (writer_test::haveNodeOracle()) {
        EXPECT_EQ(writer_test::dumpExport(f.file, "Города €"),
                  "Название,東京\nŁódź,1\nМосква,2\n東京,3\n’€ x,\n😀 ab,5\nひらがな,6\n");
    }
    EXPECT_NE(mdb("mdb-schema --indexes", f.file, "mysql").find("`по_названию`"), std::string::npos);
    expectIndexesSound(f.file);
    EXPECT_NE(writer_test::readTable(f.file, "all types").find("|café|abc|emoji 😀 memo|255|-32768|32767|3.25|"), std::string::npos)
        << writer_test::readTable(f.file, "all types");
}

TEST(WriterRoundTrip, RefusedValuesStatementsAndRowsLeaveEverythingElseIntact) {
    Fixture f("refusals");
    f.exec("CREATE TABLE [t]([id] identity,[code] char(3),[n] integer,[d] datetime,CONSTRAINT PrimaryKey primary key([id]));");
    f.exec("CREATE UNIQUE INDEX [u_code] ON [t] ( [code]);");
    f.exec("CREATE TABLE [Ärger]([a] integer);");
    struct Bad {
        const char* sql;
        const char* words;
    };
    for (const Bad& b : {Bad{"CREATE TABLE [t]([a] integer);", "already exists"},
                         Bad{"CREATE TABLE [ärger]([a] integer);", "already exists"},
                         Bad{"CREATE TABLE [x]([a] ,[b] integer);", "no data type"},
                         Bad{"CREATE TABLE [x]([a] wibble);", "unknown data type"},
                         Bad{"CREATE TABLE [x]([a] char(0));", "between 1 and 255"},
                         Bad{"CREATE TABLE [x]([a] integer", "Syntax error"},
                         Bad{"CREATE INDEX [i] ON [t] ( [nope]);", "does not exist"},
                         Bad{"CREATE INDEX [i] ON [missing] ( [a]);", "does not exist"},
                         Bad{"DROP TABLE [missing]", "does not exist"},
                         Bad{"DROP TABLE [MSysObjects]", "System tables"},
                         Bad{"SELECT * FROM t", "rror"}, Bad{"UPDATE t SET a", "Invalid SQL"}}) {
        Status s = f.c.execute(b.sql);
        EXPECT_EQ(s.code(), 0x80040E14u) << b.sql;
        EXPECT_NE(s.description().find(b.words), std::string::npos) << b.sql << " -> " << s.description();
    }
    f.exec("DROP TABLE [ÄRGER]");
    std::string n64(64, 'n'), n65(65, 'n');
    f.exec("CREATE TABLE [" + n64 + "]([" + n64 + "] integer);");
    EXPECT_EQ(f.c.execute("CREATE TABLE [" + n65 + "]([a] integer);").code(), 0x80040E14u);
    EXPECT_EQ(f.c.execute("CREATE TABLE [y]([" + n65 + "] integer);").code(), 0x80040E14u);

    auto a = f.c.openTableForAppend("t");
    ASSERT_TRUE(a.isOk());
    EXPECT_EQ(a->fieldCount(), 4);
    EXPECT_EQ(a->fieldType(3), 7);
    ASSERT_TRUE(a->addNew().isOk());
    EXPECT_FALSE(a->setField(1, FieldValue("toolong")).isOk());  // that assignment only
    EXPECT_FALSE(a->setField(2, FieldValue("99999999999")).isOk());
    EXPECT_FALSE(a->setField(2, FieldValue("abc")).isOk());
    EXPECT_FALSE(a->setField(3, FieldValue("2003-02-30")).isOk());
    ASSERT_TRUE(a->setField(1, FieldValue("abc")).isOk());
    ASSERT_TRUE(a->setField(2, FieldValue("12.5")).isOk());  // rounds half to even
    ASSERT_TRUE(a->update().isOk());
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(1, FieldValue("ABC")).isOk());  // text keys ignore case
    EXPECT_FALSE(a->update().isOk());
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(0, FieldValue("1")).isOk());  // duplicate primary key
    ASSERT_TRUE(a->setField(1, FieldValue("xyz")).isOk());
    EXPECT_FALSE(a->update().isOk());
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(0, FieldValue("40")).isOk());  // given auto-number raises the counter
    ASSERT_TRUE(a->setField(1, FieldValue("xyz")).isOk());
    ASSERT_TRUE(a->update().isOk());
    ASSERT_TRUE(a->addNew().isOk());
    ASSERT_TRUE(a->setField(3, FieldValue::dateTime(37695.5)).isOk());
    ASSERT_TRUE(a->update().isOk());
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(f.c.close().isOk());
    if (writer_test::haveNodeOracle()) {
        EXPECT_EQ(writer_test::dumpExport(f.file, "t"),
                  "id,code,n,d\n1,abc,12,\n40,xyz,,\n41,,,2003-03-15 12:00:00\n");
    }
    EXPECT_EQ(mdb("mdb-tables", f.file, "-1"), "t\n" + n64 + "\n");
    expectIndexesSound(f.file);
}

// Keys arriving in order are checked against a sorted run, the others
// against a set: a duplicate is refused wherever its twin sits, also when
// the twin was stored by an earlier session.
TEST(WriterRoundTrip, DuplicateKeysAreRefusedInWhateverOrderRowsArrive) {
    Fixture f("unique-order");
    f.exec("CREATE TABLE [t]([k] long,[v] varchar(5),CONSTRAINT PrimaryKey primary key([k]));");
    auto session = [&](const std::vector<std::pair<const char*, bool>>& keys) {
        auto a = f.c.openTableForAppend("t");
        ASSERT_TRUE(a.isOk());
        for (const auto& [k, accepted] : keys) {
            ASSERT_TRUE(a->addNew().isOk());
            ASSERT_TRUE(a->setField(0, FieldValue(k)).isOk());
            EXPECT_EQ(a->update().isOk(), accepted) << "key " << k;
        }
        ASSERT_TRUE(a->close().isOk());
    };
    session({{"10", true}, {"20", true}, {"30", true}, {"15", true}, {"20", false}, {"15", false},
             {"40", true}, {"30", false}, {"-5", true}, {"-5", false}});
    session({{"25", true}, {"10", false}, {"40", false}, {"50", true}, {"15", false}, {"50", false}});
    ASSERT_TRUE(f.c.close().isOk());
    EXPECT_EQ(writer_test::readTable(f.file, "t"), "10|NULL|\n20|NULL|\n30|NULL|\n15|NULL|\n40|NULL|\n-5|NULL|\n25|NULL|\n50|NULL|\n");
    expectIndexesSound(f.file);
}

TEST(WriterRoundTrip, ACarriedAutoNumberCounterIsNeverLowered) {
    Fixture f("counter");
    f.exec("CREATE TABLE [t]([id] identity,[code] char(3),CONSTRAINT PrimaryKey primary key([id]));");
    auto addRow = [](Appender& a, const char* code) {
        ASSERT_TRUE(a.addNew().isOk());
        ASSERT_TRUE(a.setField(1, FieldValue(code)).isOk());
        ASSERT_TRUE(a.update().isOk());
    };
    {
        auto a = f.c.openTableForAppend("t");
        ASSERT_TRUE(a.isOk());
        a->raiseAutoNumber(100);  // numbers up to 100 were handed out before
        addRow(*a, "abc");
        ASSERT_TRUE(a->close().isOk());
    }
    {
        auto a = f.c.openTableForAppend("t");
        ASSERT_TRUE(a.isOk());
        a->raiseAutoNumber(7);  // a lower counter changes nothing
        addRow(*a, "def");
        ASSERT_TRUE(a->close().isOk());
    }
    ASSERT_TRUE(f.c.close().isOk());
    EXPECT_EQ(writer_test::readTable(f.file, "t"), "101|abc|\n102|def|\n");
    expectIndexesSound(f.file);
}

TEST(WriterRoundTrip, LongValuesOfEverySizeAndDropTableFreesTheirPages) {
    Fixture f("long-values");
    f.exec("CREATE TABLE [lv]([id] integer,[m] memo,[o] longbinary,CONSTRAINT PrimaryKey primary key([id]));");
    f.exec("CREATE TABLE [lvbig]([id] integer,[m] memo,[o] longbinary,CONSTRAINT PrimaryKey primary key([id]));");
    const size_t sizes[] = {1, 64, 65, 4096, 1 << 20, 20u << 20};
    for (size_t i = 0; i < std::size(sizes); ++i) {
        auto a = f.c.openTableForAppend(i + 1 < std::size(sizes) ? "lv" : "lvbig");
        ASSERT_TRUE(a.isOk());
        std::string text, blob;
        for (size_t k = 0; k < sizes[i]; ++k) {
            text.push_back(static_cast<char>('a' + (k * 7 + i) % 26));
            blob.push_back(static_cast<char>((k * 31 + i) & 0xFF));
        }
        ASSERT_TRUE(a->addNew().isOk());
        ASSERT_TRUE(a->setField(0, FieldValue(static_cast<int>(i))).isOk());
        ASSERT_TRUE(a->setField(1, FieldValue(text)).isOk());
        ASSERT_TRUE(a->setField(2, FieldValue(blob)).isOk());
        ASSERT_TRUE(a->update().isOk());
        ASSERT_TRUE(a->close().isOk());
    }
    ASSERT_TRUE(f.c.close().isOk());
    // Both oracles read the length of a long value from 3 bytes and take the
    // 4th for flags, so they stop at 16 MB; the 20 MB value is read back by
    // following its page chain (readLongValue) instead.
    if (writer_test::haveNodeOracle()) {
        std::string csv = writer_test::dumpExport(f.file + "", "lv");
        size_t line = 0;
        for (size_t i = 0; i + 1 < std::size(sizes); ++i) {
            line = csv.find("\n" + std::to_string(i) + ",", line);
            ASSERT_NE(line, std::string::npos) << i << csv.substr(0, 300);
            size_t comma = csv.find(',', line + 1), comma2 = csv.find(',', comma + 1), end = csv.find('\n', comma2);
            EXPECT_EQ(comma2 - comma - 1, sizes[i]) << "memo " << i;
            EXPECT_EQ(end - comma2 - 1, 2 * sizes[i]) << "ole " << i;
            std::string head;
            for (size_t k = 0; k < std::min<size_t>(sizes[i], 50); ++k) head.push_back(static_cast<char>('a' + (k * 7 + i) % 26));
            EXPECT_EQ(csv.substr(comma + 1, head.size()), head);
        }
    }
    std::string lengths;
    writer_test::run("mdb-export -b strip " + shellQuote(f.file) + " lv 2>/dev/null | head -5 | awk -F, '{print length($2)}'", &lengths);
    EXPECT_EQ(lengths, "1\n3\n66\n67\n4098\n");  // header, then the quoted memos
    std::string big = writer_test::readLongValue(f.file, "lvbig", 0, 1);
    ASSERT_EQ(big.size(), 20u << 20) << big.substr(0, 200);
    for (size_t k = 0; k < big.size(); k += 4099) ASSERT_EQ(big[k], static_cast<char>('a' + (k * 7 + 5) % 26)) << k;
    std::string blob = writer_test::readLongValue(f.file, "lvbig", 0, 2);
    ASSERT_EQ(blob.size(), 20u << 20);
    for (size_t k = 0; k < blob.size(); k += 4099) ASSERT_EQ(blob[k], static_cast<char>((k * 31 + 5) & 0xFF)) << k;
    auto before = std::filesystem::file_size(f.file);
    ASSERT_TRUE(f.c.open(f.file, "").isOk());
    f.exec("DROP TABLE [lv]");
    f.exec("DROP TABLE [lvbig]");
    f.exec("CREATE TABLE [again]([m] memo);");
    f.rows("again", {{"x"}});
    auto a2 = f.c.openTableForAppend("again");
    ASSERT_TRUE(a2.isOk());
    ASSERT_TRUE(a2->addNew().isOk());
    ASSERT_TRUE(a2->setField(0, FieldValue(std::string(1 << 20, 'q'))).isOk());
    ASSERT_TRUE(a2->update().isOk());
    ASSERT_TRUE(a2->close().isOk());
    ASSERT_TRUE(f.c.close().isOk());
    EXPECT_EQ(std::filesystem::file_size(f.file), before);  // freed pages were reused
    EXPECT_EQ(mdb("mdb-tables", f.file, "-1"), "again\n");
    expectIndexesSound(f.file);
}

TEST(WriterRoundTrip, HundredThousandRowsBuildMultiLevelIndexes) {
    Fixture f("big");
    f.exec("CREATE TABLE [big]([id] identity,[name] varchar(40),[v] double,CONSTRAINT PrimaryKey primary key([id]));");
    f.exec("CREATE INDEX [by_name] ON [big] ( [name] DESC, [v]);");
    auto a = f.c.openTableForAppend("big");
    ASSERT_TRUE(a.isOk());
    for (int i = 0; i < 100000; ++i) {
        ASSERT_TRUE(a->addNew().isOk());
        ASSERT_TRUE(a->setField(1, FieldValue("name number " + std::to_string(i * 7919 % 100000))).isOk());
        ASSERT_TRUE(a->setField(2, FieldValue(i * 0.5 - 1000)).isOk());
        ASSERT_TRUE(a->update().isOk());
    }
    ASSERT_TRUE(a->close().isOk());
    // A second session checks new keys against the multi-level trees and
    // merges its entries into them, at both ends and in the middle.
    f.exec("CREATE UNIQUE INDEX [u_name] ON [big] ( [name]);");
    a = f.c.openTableForAppend("big");
    ASSERT_TRUE(a.isOk());
    for (const auto& [id, name, accepted] : std::vector<std::tuple<const char*, const char*, bool>>{
             {"50000", "new", false}, {nullptr, "name number 500", false}, {nullptr, "NAME NUMBER 501 ", false},
             {nullptr, "name number 500a", true}, {nullptr, "aaa", true}, {nullptr, "zzz", true}, {"1", "one", false}}) {
        ASSERT_TRUE(a->addNew().isOk());
        ASSERT_TRUE(a->setField(0, id ? FieldValue(id) : FieldValue::null()).isOk());
        ASSERT_TRUE(a->setField(1, FieldValue(name)).isOk());
        EXPECT_EQ(a->update().isOk(), accepted) << name;
    }
    ASSERT_TRUE(a->close().isOk());
    ASSERT_TRUE(f.c.close().isOk());
    expectIndexesSound(f.file);
    std::string count;
    writer_test::run("mdb-export " + shellQuote(f.file) + " big | wc -l", &count);
    EXPECT_EQ(count, "100004\n");
    std::string tail;
    writer_test::run("mdb-export " + shellQuote(f.file) + " big | tail -1", &tail);
    EXPECT_EQ(tail, "100003,\"zzz\",\n");
}

}  // namespace
