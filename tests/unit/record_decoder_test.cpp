#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
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

// Short numbers are read without std::from_chars, to the very same double.
TEST(ReadDecimalTest, ShortNumbersReadAsFromCharsReadsThem) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 20000; ++i) {
        std::string digits = std::to_string(random() % 1'000'000'000'000'000);
        digits = digits.substr(0, 1 + random() % digits.size());
        const std::size_t point = random() % (digits.size() + 1);
        const std::string text = digits.substr(0, point) + "." + digits.substr(point);
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected, std::chars_format::fixed);
        ASSERT_EQ(ReadDecimal(text), expected) << text;
        ASSERT_EQ(ReadDecimal("-" + text), -expected) << text;
    }
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

// The nearest hundredth of the double the formula gives: 236.21 gives
// 19.08500000000000085..., 186.81 gives 17.18500000000000227..., and 3.25 and
// 9.75 give the exact ties 10.125 and 10.375.
TEST(HundredthsTextTest, NearestHundredthOfTheDoubleAndExactTiesToEven) {
    const std::pair<const char*, const char*> ratios[] = {
        {"236.21", "19.09"}, {"186.81", "17.19"}, {"3.25", "10.12"}, {"9.75", "10.38"}};
    for (const auto& [sensor, text] : ratios)
        EXPECT_EQ(HundredthsText(*AirFuelRatio(sensor)), text) << sensor;
    const std::pair<double, const char*> cases[] = {
        {0, "0"},         {14.5, "14.5"},    {0.05, "0.05"},
        {-0.07, "-0.07"}, {99.996, "100"},   {1e20, "100000000000000000000"},
        {-0.0, "0"},      {-0.004, "0"},     {-1e-300, "0"},
        {2.125, "2.12"},  {2.375, "2.38"},   {-0.125, "-0.12"},     // exact ties
        {2.675, "2.67"},  {1.005, "1"},      {9.995, "9.99"},       // held just below
        {0.135, "0.14"},  {-2.665, "-2.67"}, {0.12500001, "0.13"},  // held just above
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(HundredthsText(value), text) << value;
    EXPECT_EQ(HundredthsText(1e308)->size(), 309u);
    EXPECT_FALSE(HundredthsText(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(HundredthsText(std::nan("")).has_value());
}

}  // namespace
}  // namespace kestrin
