#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "intake/record_decoder.h"

namespace kestrin {
namespace {

TEST(ReadDecimalTest, AcceptsSignDigitsAndOnePointOnly) {
    EXPECT_EQ(ReadDecimal("+0.5"), 0.5);
    EXPECT_EQ(ReadDecimal("-.25"), -0.25);
    EXPECT_EQ(ReadDecimal("7."), 7.0);
    EXPECT_EQ(ReadDecimal("007"), 7.0);
    for (const char* text : {"", "-", ".", "-.", "1.2.3", "1,5", "1E3", "ZON", "12-3", "+-1", " 1",
                             "1 ", "&H10", "B,5"}) {
        EXPECT_FALSE(ReadDecimal(text).has_value()) << "'" << text << "'";
    }
    EXPECT_FALSE(ReadDecimal(std::string(400, '9')).has_value());
    EXPECT_EQ(ReadDecimal("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(ReadDecimal("12345678901234567890.5"), 12345678901234567890.5);
}

// The usual columns are in the tokenizer's table; here the edges.
TEST(ZoneNumberTest, FailsWithoutANumberOrBeyond32Bits) {
    for (const char* text : {"", "ZON", "2147483648", "2147483647.5", "-2147483649"})
        EXPECT_FALSE(ZoneNumber(text).has_value()) << text;
    EXPECT_TRUE(ZoneNumber("2147483647") && ZoneNumber("-2147483648"));
    EXPECT_EQ(ZoneNumber("-17"), -205);
    EXPECT_EQ(ZoneNumber("2.5"), 10);  // the zone byte is rounded half to even first
    EXPECT_EQ(ZoneNumber("3.5"), 20);
    EXPECT_FALSE(ZoneNumber("1" + std::string(300, '0')).has_value());
    const std::string nearMax = "1" + std::string(308, '0');
    EXPECT_FALSE(BoostPsi(nearMax).has_value());               // times 14.5 overflows
    EXPECT_EQ(HundredthsText(*AirFuelRatio("100")), "13.85");  // 13.846...
}

TEST(HundredthsTextTest, TextFormAndTiesToTheEvenDecimalDigit) {
    const std::pair<double, const char*> cases[] = {
        {0, "0"},          {14.5, "14.5"},  {0.05, "0.05"},
        {-0.07, "-0.07"},  {99.996, "100"}, {1e20, "100000000000000000000"},
        {-0.0, "0"},       {-0.005, "0"},   {-1e-300, "0"},
        {0.125, "0.12"},   {0.135, "0.14"}, {2.675, "2.68"},  // held as 2.67499999999999982...
        {1.005, "1"},                                         // held as 1.00499999999999989...
        {-2.665, "-2.66"}, {9.995, "10"},   {0.12500001, "0.13"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(HundredthsText(value), text) << value;
    EXPECT_FALSE(HundredthsText(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(HundredthsText(std::nan("")).has_value());
}

}  // namespace
}  // namespace kestrin
