#include "common/field_value.h"

#include <gtest/gtest.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

namespace veltrano {
namespace {

TEST(OleDate, RoundTripsAcrossTheEpochAndBeforeIt) {
    struct Case { CalendarTime t; double ole; };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1899, 12, 29, 6, 0, 0, 0}, -1.25},   // day before the epoch, time stays positive
        {{1900, 1, 1, 12, 0, 0, 0}, 2.5},
        {{1800, 1, 1, 0, 0, 0, 0}, -36522.0},
        {{2003, 1, 5, 13, 45, 30, 0}, 37626.573263888889},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(calendarToOleDate(c.t), c.ole, 1e-9) << c.t.year;
        CalendarTime back = oleDateToCalendar(c.ole);
        EXPECT_EQ(back.year, c.t.year);
        EXPECT_EQ(back.month, c.t.month);
        EXPECT_EQ(back.day, c.t.day);
        EXPECT_EQ(back.hour, c.t.hour);
        EXPECT_EQ(back.minute, c.t.minute);
        EXPECT_EQ(back.second, c.t.second);
    }
}

TEST(OleDate, FormatsMillisecondsOnlyWhenPresent) {
    EXPECT_EQ(formatOleDate(2.5), "1900-01-01 12:00:00");
    CalendarTime t{2020, 2, 29, 23, 59, 59, 123};
    EXPECT_EQ(formatOleDate(calendarToOleDate(t)), "2020-02-29 23:59:59.123");
}

// The writer keeps the last day's text: it must still write what
// formatOleDate writes when the day changes, comes back, or falls outside
// the years it writes by hand.
TEST(OleDate, WriterWritesWhatFormatWrites) {
    std::vector<double> dates = {0.0, -1.25, -0.5, 2.5, 37626.573263888889, 37626.9999999999, 37627.0,
                                 -36522.0, -36522.999999999, 2958465.99999, 2958466.5, -657434.0, -700000.25,
                                 3e6, 3.0000001e6, -3e6, std::nan(""), INFINITY, -INFINITY};
    for (int day = -800000; day <= 2958465; day += 4099)
        for (double frac : {0.0, 0.000011574, 0.5, 0.999988426, 0.99999999})
            dates.push_back(day + (day < 0 ? -frac : frac));
    OleDateWriter writer;
    for (double d : dates) {
        char buf[OleDateWriter::kRoom];
        EXPECT_EQ(std::string(buf, writer.write(buf, d)), formatOleDate(d)) << d;
    }
}

TEST(Decimal, WritesWhatToCharsWrites) {
    std::vector<int64_t> values = {0, INT64_MIN, INT64_MAX, INT64_MIN + 1};
    for (int64_t p = 1; p <= INT64_MAX / 10; p *= 10)
        for (int64_t v : {p - 1, p, p + 1, 7 * p}) values.insert(values.end(), {v, -v});
    for (int64_t v : values) {
        char want[24], got[24];
        const std::string expected(want, std::to_chars(want, want + sizeof want, v).ptr);
        EXPECT_EQ(std::string(got, writeDecimal(got, v)), expected);
        if (v >= 0) {
            EXPECT_EQ(std::string(got, writeDecimal(got, static_cast<uint64_t>(v))), expected);
        }
    }
    char got[24];
    EXPECT_EQ(std::string(got, writeDecimal(got, UINT64_MAX)), "18446744073709551615");
}

TEST(FieldValueKinds, KeepTextBytesAndTellNullFromEmpty) {
    std::string withNul("a\0b", 3);
    FieldValue v(withNul);
    ASSERT_TRUE(v.isText());
    EXPECT_EQ(v.asText().size(), 3u);
    EXPECT_FALSE(FieldValue::null() == FieldValue::empty());
    EXPECT_FALSE(FieldValue("") == FieldValue::null());
    EXPECT_TRUE(FieldValue(2) == FieldValue(2.0));
    EXPECT_EQ(FieldValue(0.1).toDisplayText(), "0.1");
}

}  // namespace
}  // namespace veltrano
