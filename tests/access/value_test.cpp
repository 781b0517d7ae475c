// Canonical value texts and stored-text decoding.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string_view>

#include "access/format/text.h"
#include "access/format/value.h"

namespace veltrano::access {
namespace {

Bytes bytesOf(const std::vector<uint8_t>& v) { return Bytes(v.data(), v.size()); }

TEST(Value, FloatingPointTextIsShortestRoundTripWithoutNeedlessExponent) {
    EXPECT_EQ(shortestDouble(444.555), "444.555");
    EXPECT_EQ(shortestDouble(100000), "100000");
    EXPECT_EQ(shortestDouble(1e20), "100000000000000000000");
    EXPECT_EQ(shortestDouble(1e21), "1e+21");
    EXPECT_EQ(shortestDouble(0.000001), "0.000001");
    EXPECT_EQ(shortestDouble(1.5e-8), "1.5e-8");
    EXPECT_EQ(shortestDouble(-0.1), "-0.1");
    EXPECT_EQ(shortestDouble(0.0), "0");
    EXPECT_EQ(shortestDouble(-0.0), "-0");
    EXPECT_EQ(shortestDouble(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(shortestDouble(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(shortestSingle(-0.0f), "-0");
    EXPECT_EQ(shortestDouble(1e-7), "0.0000001");
    EXPECT_EQ(shortestSingle(0.1f), "0.1");
    EXPECT_EQ(shortestSingle(16777216.0f), "16777216");
    for (double d : {0.1, 1.0 / 3, 123456789.123, -2.5e-300, 1.7976931348623157e308}) {
        std::string t = shortestDouble(d);
        EXPECT_EQ(std::stod(t), d) << t;
    }
}

// Short decimals take a quicker way than other doubles; both must give the
// digits the shortest round trip gives, near the edges of the quick way too.
TEST(Value, ShortDecimalsGetTheSameDigitsAsTheGeneralSearch) {
    auto significant = [](std::string_view t) {
        std::string d;
        for (char c : t.substr(0, t.find('e')))
            if (c >= '0' && c <= '9') d += c;
        d.erase(0, std::min(d.find_first_not_of('0'), d.size()));
        while (!d.empty() && d.back() == '0') d.pop_back();
        return d;
    };
    std::mt19937_64 random(7);
    std::vector<double> values = {0.3, 0.7, 2.675, 1e-6, 5e-7, 999999.999999, 1125899906842623.0, 1125899906842624.0,
                                  112589990684.2623, 0.1 + 0.2, 4503599627370495.5, 9007199254740993.0};
    for (int i = 0; i < 200000; ++i) {
        const int places = static_cast<int>(random() % 8);
        const double scale = std::pow(10.0, places);
        const auto n = static_cast<int64_t>(random() % 2000000000000000ull) - 1000000000000000;
        values.push_back(static_cast<double>(n) / scale);
        values.push_back(std::nextafter(static_cast<double>(n) / scale, 0.0));
        uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any)) values.push_back(any);
    }
    for (double v : values) {
        const std::string t = shortestDouble(v);
        double back = 0;
        std::from_chars(t.data(), t.data() + t.size(), back);
        ASSERT_EQ(back, v) << t;
        char general[64];
        const char* end = std::to_chars(general, general + sizeof general, v, std::chars_format::scientific).ptr;
        ASSERT_EQ(significant(t), significant(std::string_view(general, static_cast<size_t>(end - general)))) << t;
    }
}

TEST(Value, CurrencyDecimalGuidAndDatesHaveOneCanonicalForm) {
    EXPECT_EQ(currencyToText(35000), "3.5000");
    EXPECT_EQ(currencyToText(-1), "-0.0001");
    EXPECT_EQ(currencyToText(std::numeric_limits<int64_t>::min()), "-922337203685477.5808");

    std::vector<uint8_t> dec(17, 0);
    dec[0] = 0x80;
    dec[13] = 0x39;  // least significant word = 12345 (0x3039)
    dec[14] = 0x30;
    EXPECT_EQ(decimalToText(bytesOf(dec), 2), "-123.45");
    EXPECT_EQ(decimalToText(bytesOf(dec), 7), "-0.0012345");
    std::vector<uint8_t> big(17, 0xFF);
    big[0] = 0;
    EXPECT_EQ(decimalToText(bytesOf(big), 0), "340282366920938463463374607431768211455");
    std::vector<uint8_t> negZero(17, 0);
    negZero[0] = 0x80;
    EXPECT_EQ(decimalToText(bytesOf(negZero), 1), "0.0");

    std::vector<uint8_t> g = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                              0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(guidToText(bytesOf(g)), "{00112233-4455-6677-8899-AABBCCDDEEFF}");

    Value d = Value::ofReal(ValueKind::DateTime, -1.25);  // before 1899-12-30: time stays positive
    EXPECT_EQ(canonicalText(d), "1899-12-29 06:00:00");
    d.real = 0.5;  // time only
    EXPECT_EQ(canonicalText(d), "1899-12-30 12:00:00");
    d.real = 37748.6041666667 + 0.5 / 86400000.0 * 1000;  // with milliseconds
    EXPECT_EQ(canonicalText(d).substr(0, 19), "2003-05-07 14:30:00");
    EXPECT_EQ(canonicalText(d).size(), 23u);

    EXPECT_EQ(canonicalText(Value::ofBytes(ValueKind::Binary, std::string("\x00\xAB\x10", 3))), "00AB10");
    EXPECT_EQ(canonicalText(Value::ofInteger(ValueKind::Boolean, 1)), "1");
    EXPECT_EQ(canonicalText(Value::null()), "");
}

TEST(Value, FixedValuesDecodeAndRefuseShortData) {
    std::vector<uint8_t> b = {0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    EXPECT_EQ(decodeFixedValue(ColumnType::Long, bytesOf(b), 0)->integer, -2);
    EXPECT_EQ(decodeFixedValue(ColumnType::Byte, bytesOf(b), 0)->integer, 254);
    EXPECT_FALSE(decodeFixedValue(ColumnType::Double, Bytes(b.data(), 7), 0).isOk());
    // A Single reaches the shared FieldValue as the number it shows.
    std::vector<uint8_t> f(4);
    float x = 0.1f;
    std::memcpy(f.data(), &x, 4);
    EXPECT_EQ(toFieldValue(*decodeFixedValue(ColumnType::Single, bytesOf(f), 0)).asNumber(), 0.1);
}

TEST(Text, CompressedUnicodeSwitchesModesAtZeroBytes) {
    // "ab" compressed, switch, U+0416 raw, switch back, "c".
    std::vector<uint8_t> s = {0xFF, 0xFE, 'a', 'b', 0x00, 0x16, 0x04, 0x00, 'c'};
    EXPECT_EQ(decodeJet4Text(bytesOf(s)), "ab\xD0\x96" "c");
    std::vector<uint8_t> plain = {'h', 0, 'i', 0};
    EXPECT_EQ(decodeJet4Text(bytesOf(plain)), "hi");
    std::vector<uint8_t> dangling = {0xFF, 0xFE, 0x00, 0x41};  // half a raw character
    EXPECT_EQ(decodeJet4Text(bytesOf(dangling)), "");
    std::vector<uint8_t> surrogates = {0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8};  // pair + lone
    EXPECT_EQ(utf16leToUtf8(bytesOf(surrogates)), "\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

TEST(Text, CodePagesRoundTripAndUndefinedBytesFallBack) {
    std::vector<uint8_t> cp = {'c', 'a', 'f', 0xE9, ' ', 0x80};
    EXPECT_EQ(decodeCodePage(bytesOf(cp), 1252), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(encodeCodePage("caf\xC3\xA9 \xE2\x82\xAC", 1252), std::string("caf\xE9 \x80"));
    EXPECT_EQ(encodeCodePage("\xE4\xB8\xAD", 1252), "?");
    std::vector<uint8_t> undefined = {0x81};  // not assigned in 1252
    EXPECT_EQ(decodeCodePage(bytesOf(undefined), 1252), "\xC2\x81");
    EXPECT_EQ(utf8ToUtf16le("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE", 4));
}

}  // namespace
}  // namespace veltrano::access
