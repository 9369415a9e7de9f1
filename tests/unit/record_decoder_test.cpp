#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "intake/record_decoder.h"

namespace kestrin {
namespace {

TEST(ReadDecimalTest, AcceptsSignDigitsAndOnePoint) {
    EXPECT_EQ(ReadDecimal("12"), 12.0);
    EXPECT_EQ(ReadDecimal("-3"), -3.0);
    EXPECT_EQ(ReadDecimal("+0.5"), 0.5);
    EXPECT_EQ(ReadDecimal(".5"), 0.5);
    EXPECT_EQ(ReadDecimal("7."), 7.0);
    EXPECT_EQ(ReadDecimal("-.25"), -0.25);
    EXPECT_EQ(ReadDecimal("007"), 7.0);
}

TEST(ReadDecimalTest, RejectsEverythingElse) {
    for (const char* text : {"", "-", "+", ".", "-.", "1.2.3", "1,5", "1E3", "1e3", "ZON", "12-3",
                             "+-1", "--1", " 1", "1 ", "&H10", "1/2", "B,5"}) {
        EXPECT_FALSE(ReadDecimal(text).has_value()) << "'" << text << "'";
    }
}

TEST(ReadDecimalTest, HugeIsNotANumberButTinyIsZero) {
    EXPECT_FALSE(ReadDecimal(std::string(400, '9')).has_value());
    EXPECT_FALSE(ReadDecimal("-" + std::string(400, '9') + ".5").has_value());
    EXPECT_EQ(ReadDecimal("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(ZoneNumberTest, RowFromTheHighNibbleColumnFromTheLow) {
    EXPECT_EQ(ZoneNumber("35"), 215);
    EXPECT_EQ(ZoneNumber("255"), 1575);
    EXPECT_EQ(ZoneNumber("0"), 0);
    EXPECT_EQ(ZoneNumber("16"), 100);
}

TEST(ZoneNumberTest, FloorForTheRowTruncatingRemainderForTheColumn) {
    EXPECT_EQ(ZoneNumber("-1"), -105);
    EXPECT_EQ(ZoneNumber("-16"), -100);
    EXPECT_EQ(ZoneNumber("-17"), -205);
}

TEST(ZoneNumberTest, ColumnUsesTheValueRoundedTiesToEven) {
    EXPECT_EQ(ZoneNumber("2.5"), 10);     // k = 2
    EXPECT_EQ(ZoneNumber("3.5"), 20);     // k = 4
    EXPECT_EQ(ZoneNumber("15.6"), 0);     // row 0, k = 16 gives column 0
    EXPECT_EQ(ZoneNumber("-0.5"), -100);  // row -1, k = 0
}

TEST(ZoneNumberTest, FailsWithoutANumberOrBeyond32Bits) {
    EXPECT_FALSE(ZoneNumber("").has_value());
    EXPECT_FALSE(ZoneNumber("ZON").has_value());
    EXPECT_TRUE(ZoneNumber("2147483647").has_value());
    EXPECT_FALSE(ZoneNumber("2147483648").has_value());
    EXPECT_FALSE(ZoneNumber("2147483647.5").has_value());  // rounds to 2^31
    EXPECT_TRUE(ZoneNumber("-2147483648").has_value());
    EXPECT_FALSE(ZoneNumber("-2147483649").has_value());
    EXPECT_FALSE(ZoneNumber("1" + std::string(300, '0')).has_value());
}

TEST(AirFuelAndBoostTest, FollowTheirFormulas) {
    EXPECT_EQ(HundredthsText(*AirFuelRatio("130")), "15");
    EXPECT_EQ(HundredthsText(*AirFuelRatio("0")), "10");
    EXPECT_EQ(HundredthsText(*AirFuelRatio("100")), "13.85");  // 13.846...
    EXPECT_EQ(HundredthsText(*BoostPsi("201")), "14.5");
    EXPECT_EQ(HundredthsText(*BoostPsi("101")), "0");
    EXPECT_EQ(HundredthsText(*BoostPsi("50")), "-7.4");
    EXPECT_EQ(HundredthsText(*BoostPsi("-3")), "-15.08");
    EXPECT_FALSE(AirFuelRatio("").has_value());
    EXPECT_FALSE(BoostPsi("1E3").has_value());
}

TEST(AirFuelAndBoostTest, OverflowFailsTheColumn) {
    const std::string nearMax = "1" + std::string(308, '0');  // 1e308 reads fine
    ASSERT_TRUE(ReadDecimal(nearMax).has_value());
    EXPECT_FALSE(BoostPsi(nearMax).has_value());  // times 14.5 overflows
    EXPECT_TRUE(AirFuelRatio(nearMax).has_value());
}

TEST(HundredthsTextTest, DecimalTextForm) {
    EXPECT_EQ(HundredthsText(0), "0");
    EXPECT_EQ(HundredthsText(15), "15");
    EXPECT_EQ(HundredthsText(14.5), "14.5");
    EXPECT_EQ(HundredthsText(0.5), "0.5");
    EXPECT_EQ(HundredthsText(0.05), "0.05");
    EXPECT_EQ(HundredthsText(-0.07), "-0.07");
    EXPECT_EQ(HundredthsText(1.999), "2");
    EXPECT_EQ(HundredthsText(99.996), "100");
    EXPECT_EQ(HundredthsText(-1234567.891), "-1234567.89");
    EXPECT_EQ(HundredthsText(1e20), "100000000000000000000");
}

TEST(HundredthsTextTest, NeverMinusZero) {
    EXPECT_EQ(HundredthsText(-0.0), "0");
    EXPECT_EQ(HundredthsText(-0.004), "0");
    EXPECT_EQ(HundredthsText(-0.005), "0");  // tie to the even 0
    EXPECT_EQ(HundredthsText(-1e-300), "0");
}

TEST(HundredthsTextTest, DecimalTiesGoToTheEvenDigit) {
    EXPECT_EQ(HundredthsText(0.125), "0.12");
    EXPECT_EQ(HundredthsText(0.135), "0.14");
    EXPECT_EQ(HundredthsText(2.675), "2.68");  // held as 2.67499999999999982...
    EXPECT_EQ(HundredthsText(1.005), "1");     // held as 1.00499999999999989...
    EXPECT_EQ(HundredthsText(-2.665), "-2.66");
    EXPECT_EQ(HundredthsText(0.005), "0");
    EXPECT_EQ(HundredthsText(0.015), "0.02");
    EXPECT_EQ(HundredthsText(9.995), "10");
    // Past the tie is no tie.
    EXPECT_EQ(HundredthsText(0.12500001), "0.13");
    EXPECT_EQ(HundredthsText(0.12499999), "0.12");
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

TEST(HundredthsTextTest, NonFiniteHasNoText) {
    EXPECT_FALSE(HundredthsText(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(HundredthsText(-std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(HundredthsText(std::nan("")).has_value());
}

}  // namespace
}  // namespace kestrin
