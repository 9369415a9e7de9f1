#include "viewer/zone_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kestrin {
namespace {

std::vector<int> SmallZonesOf(int k) {
    std::vector<int> zones;
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        if (LargeZoneOf(p) == k) zones.push_back(p);
    }
    return zones;
}

// The plain view of an empty table: every value text empty.
ZoneView PlainView() {
    SettingsTable table;
    ZoneView view;
    ShowZones(table, view);
    return view;
}

TEST(ZoneSlots, SmallAndLargeZonesReadTheirTableSlots) {
    EXPECT_EQ(SmallZoneSlot(0), 100);
    EXPECT_EQ(SmallZoneSlot(15), 175);
    EXPECT_EQ(SmallZoneSlot(16), 200);
    EXPECT_EQ(SmallZoneSlot(143), 975);
    EXPECT_EQ(LargeZoneSlot(0), 1000);
    EXPECT_EQ(LargeZoneSlot(15), 1075);
    EXPECT_EQ(LargeZoneSlot(16), 1100);
    EXPECT_EQ(LargeZoneSlot(23), 1135);
}

TEST(ZoneSlots, NoCellReadsARowGapOrASlotOutsideTheShownRows) {
    std::set<int> used;
    for (int p = 0; p < ZoneView::kSmallZones; ++p) used.insert(SmallZoneSlot(p));
    for (int k = 0; k < ZoneView::kLargeZones; ++k) used.insert(LargeZoneSlot(k));
    EXPECT_EQ(used.size(), 168u);
    for (int slot : used) {
        EXPECT_GE(slot, 100);
        EXPECT_LT(slot, 1140);
        EXPECT_EQ(slot % 5, 0);
        EXPECT_LT(slot % 100, 80) << slot;
    }
}

TEST(ZoneBlocks, ExampleBlocksHoldTheirSmallZones) {
    EXPECT_EQ(SmallZonesOf(0), (std::vector<int>{0, 1, 16, 17}));
    EXPECT_EQ(SmallZonesOf(3), (std::vector<int>{96, 97, 112, 113, 128, 129}));
    EXPECT_EQ(SmallZonesOf(16), (std::vector<int>{8, 9, 10, 11, 24, 25, 26, 27}));
    EXPECT_EQ(SmallZonesOf(23),
              (std::vector<int>{108, 109, 110, 111, 124, 125, 126, 127, 140, 141, 142, 143}));
    // Numbers run down each column band first.
    EXPECT_EQ(LargeZoneOf(2), 4);
    EXPECT_EQ(LargeZoneOf(32), 1);
    EXPECT_EQ(LargeZoneOf(12), 20);
}

TEST(ZoneBlocks, EverySmallZoneLiesInExactlyOneBlockOfTheRightSize) {
    int total = 0;
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        const int columnBand = k / 4;
        const int rowBand = k % 4;
        const int width = columnBand < 4 ? 2 : 4;
        const int height = rowBand < 3 ? 2 : 3;
        EXPECT_EQ(static_cast<int>(SmallZonesOf(k).size()), width * height) << "block " << k;
        total += static_cast<int>(SmallZonesOf(k).size());
    }
    EXPECT_EQ(total, ZoneView::kSmallZones);
}

TEST(ConvertZoneNumber, ReadsSignedDecimalsWithBlanksAround) {
    EXPECT_EQ(ConvertZoneNumber("7"), 7);
    EXPECT_EQ(ConvertZoneNumber(" 7 "), 7);
    EXPECT_EQ(ConvertZoneNumber("\t+12\t"), 12);
    EXPECT_EQ(ConvertZoneNumber("-3"), -3);
    EXPECT_EQ(ConvertZoneNumber("0"), 0);
    EXPECT_EQ(ConvertZoneNumber("-0"), 0);
    EXPECT_EQ(ConvertZoneNumber("007"), 7);
    EXPECT_EQ(ConvertZoneNumber("32767"), 32767);
    EXPECT_EQ(ConvertZoneNumber("-32768"), -32768);
}

TEST(ConvertZoneNumber, RoundsHalvesToEven) {
    EXPECT_EQ(ConvertZoneNumber("2.5"), 2);
    EXPECT_EQ(ConvertZoneNumber("3.5"), 4);
    EXPECT_EQ(ConvertZoneNumber("-0.5"), 0);
    EXPECT_EQ(ConvertZoneNumber("-1.5"), -2);
    EXPECT_EQ(ConvertZoneNumber("2.50000000001"), 3);
    EXPECT_EQ(ConvertZoneNumber("2.4999"), 2);
    EXPECT_EQ(ConvertZoneNumber("-2.6"), -3);
    EXPECT_EQ(ConvertZoneNumber(".5"), 0);
    EXPECT_EQ(ConvertZoneNumber("5."), 5);
    EXPECT_EQ(ConvertZoneNumber("-32768.5"), -32768);
    EXPECT_EQ(ConvertZoneNumber("32767.4"), 32767);
}

TEST(ConvertZoneNumber, FailsOnEmptyTextsNonNumbersAndOutOfRange) {
    for (const char* text : {"",         "   ",
                             "+",        "-",
                             ".",        "-.",
                             "ABC",      "12A",
                             "A12",      "1 2",
                             "+-1",      "- 1",
                             "1.2.3",    "1e3",
                             "0x10",     "1,000",
                             "1,5",      "32768",
                             "-32769",   "32767.5",
                             "-32768.6", "99999999999999999999"}) {
        EXPECT_FALSE(ConvertZoneNumber(text).has_value()) << '"' << text << '"';
    }
}

TEST(ConvertZoneNumber, IsSafeOnArbitraryBytesAndVeryLongTexts) {
    const std::string zeros(1'000'000, '0');
    EXPECT_EQ(ConvertZoneNumber(zeros + "42"), 42);
    EXPECT_EQ(ConvertZoneNumber("1." + zeros + "1"), 1);
    EXPECT_EQ(ConvertZoneNumber("0.5" + zeros + "1"), 1);
    EXPECT_FALSE(ConvertZoneNumber(std::string(1'000'000, '9')).has_value());
    EXPECT_FALSE(ConvertZoneNumber(std::string(1'000'000, ' ')).has_value());

    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    EXPECT_FALSE(ConvertZoneNumber(bytes).has_value());
    EXPECT_FALSE(ConvertZoneNumber(std::string("1\0", 2)).has_value());
    EXPECT_FALSE(ConvertZoneNumber("\xff"
                                   "5")
                     .has_value());
}

TEST(FormatZoneSum, SignsPositiveSumsOnly) {
    EXPECT_EQ(FormatZoneSum(7), "+7");
    EXPECT_EQ(FormatZoneSum(0), "0");
    EXPECT_EQ(FormatZoneSum(-12), "-12");
    EXPECT_EQ(FormatZoneSum(32767), "+32767");
    EXPECT_EQ(FormatZoneSum(-32768), "-32768");
}

TEST(ShowZones, CopiesSlotTextsExactlyAndNumbersTheBlocks) {
    SettingsTable table;
    table.slot(100) = " 12 ";
    table.slot(175) = "A5";
    table.slot(180) = "99";  // a row gap: never shown
    table.slot(200) = "-3";
    table.slot(975) = "EOT";
    table.slot(1000) = "+4";
    table.slot(1135) = "7.5";
    table.slot(1140) = "8";

    ZoneView view;
    view.smallZones.fill("-127");
    view.largeZoneValues.fill("+129");
    ShowZones(table, view);

    EXPECT_EQ(view.smallZones[0], " 12 ");
    EXPECT_EQ(view.smallZones[15], "A5");
    EXPECT_EQ(view.smallZones[16], "-3");
    EXPECT_EQ(view.smallZones[143], "EOT");
    EXPECT_EQ(view.largeZoneValues[0], "+4");
    EXPECT_EQ(view.largeZoneValues[23], "7.5");
    for (int p = 0; p < ZoneView::kSmallZones; ++p) EXPECT_NE(view.smallZones[p], "99");
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        EXPECT_EQ(view.largeZoneNumbers[k], std::to_string(k));
        EXPECT_NE(view.largeZoneValues[k], "8");
    }
}

TEST(ShowZones, EmptyTableGivesEmptyCellsAndAnAllZeroAddedView) {
    ZoneView view = PlainView();
    int empty = 0;
    for (const auto& text : view.smallZones) empty += text.empty();
    for (const auto& text : view.largeZoneValues) empty += text.empty();
    EXPECT_EQ(empty, 168);
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        EXPECT_EQ(view.largeZoneNumbers[k], std::to_string(k));
    }

    AddZones(view);
    for (const auto& text : view.smallZones) EXPECT_EQ(text, "0");
    for (const auto& text : view.largeZoneValues) EXPECT_EQ(text, "");
}

TEST(AddZones, AddsEachBlocksValueToItsSmallZones) {
    ZoneView view = PlainView();
    view.smallZones[0] = "+12";  // block 0
    view.largeZoneValues[0] = "-3";
    view.smallZones[2] = "-5";  // block 4
    view.largeZoneValues[4] = "+5";
    view.smallZones[4] = "3";  // block 8
    view.largeZoneValues[8] = "-10";
    view.smallZones[6] = "12";  // block 12
    view.largeZoneValues[12] = "ABC";
    AddZones(view);
    EXPECT_EQ(view.smallZones[0], "+9");
    EXPECT_EQ(view.smallZones[2], "0");
    EXPECT_EQ(view.smallZones[4], "-7");
    EXPECT_EQ(view.smallZones[6], "+12");
    // The large-zone texts are left as they were.
    EXPECT_EQ(view.largeZoneValues[0], "-3");
    EXPECT_EQ(view.largeZoneValues[12], "ABC");
    EXPECT_EQ(view.largeZoneNumbers[23], "23");
}

TEST(AddZones, NonNumbersCarryTheLastNumberOver) {
    ZoneView view = PlainView();
    view.smallZones[0] = "ABC";
    view.largeZoneValues[0] = "+4";
    AddZones(view);
    EXPECT_EQ(view.smallZones[0], "+4");

    view = PlainView();
    view.smallZones[16] = "9";
    view.smallZones[17] = "XY";
    view.smallZones[18] = "Z";
    view.largeZoneValues[0] = "+2";
    view.largeZoneValues[4] = "-1";
    AddZones(view);
    EXPECT_EQ(view.smallZones[16], "+11");
    EXPECT_EQ(view.smallZones[17], "+11");
    EXPECT_EQ(view.smallZones[18], "+8");
    // Block 8 has value 0, so the carried 9 shows as it is further along the row.
    EXPECT_EQ(view.smallZones[20], "+9");
}

TEST(AddZones, RoundsAndZeroesLikeTheConversion) {
    ZoneView view = PlainView();
    view.smallZones[0] = "-0.5";
    view.smallZones[1] = " 7 ";
    view.smallZones[16] = "2.5";
    view.largeZoneValues[0] = "0.4";
    AddZones(view);
    EXPECT_EQ(view.smallZones[0], "0");
    EXPECT_EQ(view.smallZones[1], "+7");
    EXPECT_EQ(view.smallZones[16], "+2");
}

TEST(AddZones, OutOfRangeSumLeavesOnlyThatCellAsItWas) {
    ZoneView view = PlainView();
    view.smallZones[0] = "32767";
    view.smallZones[1] = "5";
    view.largeZoneValues[0] = "+1";
    view.smallZones[4] = "-32768";
    view.largeZoneValues[8] = "-1";
    view.smallZones[5] = "32768";  // fails: carries -32768 over, which is out of range again
    AddZones(view);
    EXPECT_EQ(view.smallZones[0], "32767");
    EXPECT_EQ(view.smallZones[1], "+6");
    EXPECT_EQ(view.smallZones[4], "-32768");
    EXPECT_EQ(view.smallZones[5], "32768");
    EXPECT_EQ(view.smallZones[6], "-32768");  // block 12 adds 0
}

}  // namespace
}  // namespace kestrin
