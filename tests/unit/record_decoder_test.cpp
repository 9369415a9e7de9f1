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
}

TEST(ZoneNumberTest, Examples) {
    const std::pair<const char*, int> cases[] = {
        {"35", 215},   {"255", 1575}, {"0", 0},    {"16", 100}, {"-1", -105},   {"-16", -100},
        {"-17", -205}, {"2.5", 10},   {"3.5", 20}, {"15.6", 0}, {"-0.5", -100},
    };
    for (const auto& [text, zone] : cases) EXPECT_EQ(ZoneNumber(text), zone) << text;
}

TEST(ZoneNumberTest, FailsWithoutANumberOrBeyond32Bits) {
    for (const char* text : {"", "ZON", "2147483648", "2147483647.5", "-2147483649"}) {
        EXPECT_FALSE(ZoneNumber(text).has_value()) << text;
    }
    EXPECT_TRUE(ZoneNumber("2147483647").has_value());
    EXPECT_TRUE(ZoneNumber("-2147483648").has_value());
    EXPECT_FALSE(ZoneNumber("1" + std::string(300, '0')).has_value());
}

TEST(AirFuelAndBoostTest, FollowTheirFormulas) {
    EXPECT_EQ(HundredthsText(*AirFuelRatio("130")), "15");
    EXPECT_EQ(HundredthsText(*AirFuelRatio("100")), "13.85");  // 13.846...
    EXPECT_EQ(HundredthsText(*BoostPsi("201")), "14.5");
    EXPECT_EQ(HundredthsText(*BoostPsi("101")), "0");
    EXPECT_EQ(HundredthsText(*BoostPsi("50")), "-7.4");
    EXPECT_FALSE(AirFuelRatio("").has_value());
    EXPECT_FALSE(BoostPsi("1E3").has_value());
    const std::string nearMax = "1" + std::string(308, '0');
    EXPECT_FALSE(BoostPsi(nearMax).has_value());  // times 14.5 overflows
    EXPECT_TRUE(AirFuelRatio(nearMax).has_value());
}

TEST(HundredthsTextTest, TextFormAndTiesToTheEvenDecimalDigit) {
    const std::pair<double, const char*> cases[] = {
        {0, "0"},          {14.5, "14.5"},  {0.05, "0.05"},
        {-0.07, "-0.07"},  {99.996, "100"}, {1e20, "100000000000000000000"},
        {-0.0, "0"},       {-0.005, "0"},   {-1e-300, "0"},
        {0.125, "0.12"},   {0.135, "0.14"}, {2.675, "2.68"},  // held as 2.67499999999999982...
        {1.005, "1"},                                         // held as 1.00499999999999989...
        {-2.665, "-2.66"}, {9.995, "10"},   {0.12500001, "0.13"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(HundredthsText(value), text) << value;
    EXPECT_FALSE(HundredthsText(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(HundredthsText(std::nan("")).has_value());
}

TEST(HundredthsTextTest, AgreesWithDecimalRoundingOverAWideRange) {
    // Every value with three decimals in [0, 200): the expected text is
    // worked out on the decimal digits alone.
    for (int thousandths = 0; thousandths < 200000; ++thousandths) {
        int hundredths = thousandths / 10;
        const int last = thousandths % 10;
        if (last > 5 || (last == 5 && hundredths % 2 == 1)) ++hundredths;
        std::string expected = std::to_string(hundredths / 100);
        if (hundredths % 100 != 0) {
            expected += '.';
            expected += static_cast<char>('0' + hundredths % 100 / 10);
            if (hundredths % 10 != 0) expected += static_cast<char>('0' + hundredths % 10);
        }
        const double value = thousandths / 1000.0;
        ASSERT_EQ(HundredthsText(value), expected) << "value " << thousandths << "/1000";
        if (expected != "0") {
            ASSERT_EQ(HundredthsText(-value), "-" + expected);
        }
    }
}

}  // namespace
}  // namespace kestrin
