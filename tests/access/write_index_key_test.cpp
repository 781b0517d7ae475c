// Index keys for values the sample files do not cover (the index checker
// covers long, text, byte, binary and dates against Access's own pages):
// the sort order of the encoded keys must be the sort order of the values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "access/format/index_key.h"
#include "access/format/sort_order.h"
#include "access/format/text.h"

namespace {

using namespace veltrano::access;

std::string le(uint64_t v, int n) {
    std::string s(static_cast<size_t>(n), '\0');
    for (int i = 0; i < n; ++i) s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string key(ColumnType type, const std::string& stored, bool asc = true) {
    ColumnModel c;
    c.type = type;
    std::string k;
    EXPECT_TRUE(appendKeyColumn(k, c, asc, StoredCell::of(stored)).isOk());
    return k;
}

std::string hex(const std::string& s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02X", c);
        out += b;
    }
    return out;
}

std::string dbl(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return le(bits, 8);
}

TEST(WriteIndexKey, KnownKeysOfTheFormat) {
    EXPECT_EQ(hex(key(ColumnType::Long, le(2, 4))), "7F80000002");
    EXPECT_EQ(hex(key(ColumnType::Long, le(0x80000000u, 4))), "7F00000000");
    std::string k;
    ASSERT_TRUE(appendGeneralTextKey("DataAccessPages", true, k).isOk());
    EXPECT_EQ(hex(k), "4F4A6D4A4A4D4D516B6B664A55516B0100");
    k.clear();
    ASSERT_TRUE(appendGeneralTextKey("café", true, k).isOk());
    EXPECT_EQ(hex(k), "4D4A535101020202" "0E00");  // accent byte after the text
    k.clear();
    ASSERT_TRUE(appendGeneralTextKey("O'Neil", true, k).isOk());
    EXPECT_EQ(hex(k), "646251595E" "01" "010101" "800B0680" "00");  // the apostrophe is positional
}

// Keys beyond Latin-1 in the shapes Access writes them, as "AA<c>AA" so the
// extra list, flag section and unprintable records show their placeholders.
TEST(WriteIndexKey, KeysBeyondLatin1TakeTheShapesAccessWrites) {
    auto tk = [](const std::string& s, bool asc = true) {
        std::string k;
        EXPECT_TRUE(appendGeneralTextKey(s, asc, k).isOk());
        return hex(k);
    };
    // Flagged international (U+3041): inline bytes, then a flag section.
    EXPECT_EQ(tk("AA\u3041AA"), "4A4A7F024A4A" "01" "0101" "A0" "FF0280FF80" "00");
    // Its unflagged neighbour (U+3042) leaves only the section's end.
    EXPECT_EQ(tk("AA\u3042AA"), "4A4A7F024A4A" "01" "0101" "FF0280FF80" "00");
    // A modifier (U+02B9, "P0C") changes the placeholder of the character before it.
    EXPECT_EQ(tk("AA\u02B9AA"), "4A4A4A4A" "01" "020E" "00");
    // An international with two extra bytes (U+01C4, "I4F78,214").
    EXPECT_EQ(tk("AA\u01C4AA"), "4A4A4F784A4A" "01" "02020214" "00");
    // A flag, an extra byte and an unprintable together (U+304C "Z7F0A,3,", U+064B "UA0").
    EXPECT_EQ(tk("A\u304C\u064BA"), "4A7F0A4A" "01" "0203" "0101" "FF0280FF80" "FF" "01" "800F06A0" "00");
    // Each half of a surrogate pair is a character with the extra byte 0x3F.
    EXPECT_EQ(tk("\U0001F600"), "B03FB6FC" "01" "3F3F" "00");
    // Characters inside a run of the generated table (U+6771, U+4EAC).
    EXPECT_EQ(tk("東京"), "B8EE9FC6" "01" "00");
    // Case and trailing blanks are ignored beyond Latin-1 too; accents are not.
    EXPECT_EQ(tk("Москва  "), tk("москва"));
    EXPECT_EQ(tk("\u0410").substr(0, 4), "792F");
    EXPECT_NE(tk("Łódź"), tk("Lodz"));
    EXPECT_EQ(tk("Łódź").substr(0, 8), tk("Lodz").substr(0, 8));
    // The 255-unit limit counts UTF-16 units: a pair costs two.
    std::string emoji;
    for (int i = 0; i < 200; ++i) emoji += "\U0001F600";
    EXPECT_EQ(tk(emoji), tk(emoji.substr(0, 127 * 4) + "\xED\xA0\xBD"));
}

TEST(WriteIndexKey, EncodedKeysSortLikeTheirValues) {
    const double doubles[] = {-1e300, -2.5, -1, -0.0001, 0, 1e-300, 0.5, 1, 3, 1e300};
    for (bool asc : {true, false})
        for (size_t i = 0; i + 1 < std::size(doubles); ++i) {
            std::string a = key(ColumnType::Double, dbl(doubles[i]), asc), b = key(ColumnType::Double, dbl(doubles[i + 1]), asc);
            EXPECT_EQ(a < b, asc) << doubles[i] << " vs " << doubles[i + 1];
        }
    const int64_t money[] = {INT64_MIN, -50000, -1, 0, 1, 10000, INT64_MAX};
    for (size_t i = 0; i + 1 < std::size(money); ++i)
        EXPECT_LT(key(ColumnType::Currency, le(static_cast<uint64_t>(money[i]), 8)),
                  key(ColumnType::Currency, le(static_cast<uint64_t>(money[i + 1]), 8)));
    const int16_t shorts[] = {-32768, -1, 0, 7, 32767};
    for (size_t i = 0; i + 1 < std::size(shorts); ++i)
        EXPECT_LT(key(ColumnType::Integer, le(static_cast<uint16_t>(shorts[i]), 2)),
                  key(ColumnType::Integer, le(static_cast<uint16_t>(shorts[i + 1]), 2)));
    // Decimals: sign byte, then four 32-bit words, most significant first.
    auto dec = [](bool neg, uint32_t low) { return std::string(1, neg ? '\x80' : '\0') + le(0, 4) + le(0, 4) + le(0, 4) + le(low, 4); };
    EXPECT_LT(key(ColumnType::Numeric, dec(true, 5)), key(ColumnType::Numeric, dec(true, 1)));
    EXPECT_LT(key(ColumnType::Numeric, dec(true, 1)), key(ColumnType::Numeric, dec(false, 0)));
    EXPECT_LT(key(ColumnType::Numeric, dec(false, 1)), key(ColumnType::Numeric, dec(false, 5)));
    EXPECT_LT(key(ColumnType::Boolean, "\1"), key(ColumnType::Boolean, std::string(1, '\0')));  // true sorts first
    // Text: case and accents are secondary; digits before letters; blanks count.
    auto tk = [](const char* s) {
        std::string k;
        EXPECT_TRUE(appendGeneralTextKey(s, true, k).isOk());
        return k;
    };
    EXPECT_EQ(tk("abc"), tk("ABC"));
    EXPECT_EQ(tk("abc   "), tk("abc"));
    EXPECT_LT(tk("9"), tk("a"));
    EXPECT_LT(tk("a b"), tk("ab"));
    EXPECT_LT(tk("resume"), tk("résumé"));
    EXPECT_LT(tk("résumé"), tk("resumf"));
    std::string desc1, desc2;
    ASSERT_TRUE(appendGeneralTextKey("apple", false, desc1).isOk());
    ASSERT_TRUE(appendGeneralTextKey("banana", false, desc2).isOk());
    EXPECT_GT(desc1, desc2);
}

}  // namespace
