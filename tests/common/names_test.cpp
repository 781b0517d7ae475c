#include "common/names.h"

#include <gtest/gtest.h>

namespace veltrano {
namespace {

TEST(Names, CaseIsIgnoredBeyondAsciiButLettersStayApart) {
    for (auto [a, b] : {std::pair{"Orders", "ORDERS"}, {"Ärger", "ärger"}, {"ÉTÉ", "été"}, {"Łódź", "ŁÓDŹ"},
                        {"ΣΟΦΊΑ", "σοφία"}, {"Москва", "МОСКВА"}, {"Ÿ", "ÿ"}, {"Straße", "STRAßE"}})
        EXPECT_TRUE(namesEqual(a, b)) << a << " / " << b;
    for (auto [a, b] : {std::pair{"Arger", "Ärger"}, {"Orders", "Order"}, {"a", "a "}, {"I", "ı"},
                        {"×", "÷"}, {"ß", "ss"}, {"\xC3", "\xE3"}})
        EXPECT_FALSE(namesEqual(a, b)) << a << " / " << b;
}

}  // namespace
}  // namespace veltrano
