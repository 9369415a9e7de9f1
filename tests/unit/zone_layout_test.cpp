#include "viewer/zone_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kestrin {
namespace {

std::vector<int> SmallZonesOf(int k) {
    std::vector<int> zones;
    for (int p = 0; p < ZoneView::kSmallZones; ++p)
        if (LargeZoneOf(p) == k) zones.push_back(p);
    return zones;
}

// The plain view of an empty table: every value text empty.
ZoneView PlainView() {
    SettingsTable table;
    ZoneView view;
    ShowZones(table, view);
    return view;
}

TEST(ZoneLayout, CellsReadTheirTableSlotsAndNoOthers) {
    EXPECT_EQ(SmallZoneSlot(15), 175);
    EXPECT_EQ(SmallZoneSlot(16), 200);
    EXPECT_EQ(SmallZoneSlot(143), 975);
    EXPECT_EQ(LargeZoneSlot(15), 1075);
    EXPECT_EQ(LargeZoneSlot(16), 1100);
    EXPECT_EQ(LargeZoneSlot(23), 1135);
    std::set<int> used;
    for (int p = 0; p < ZoneView::kSmallZones; ++p) used.insert(SmallZoneSlot(p));
    for (int k = 0; k < ZoneView::kLargeZones; ++k) used.insert(LargeZoneSlot(k));
    EXPECT_EQ(used.size(), 168u);
    EXPECT_EQ(*used.begin(), 100);
    for (int slot : used) {
        EXPECT_LT(slot, 1140);
        EXPECT_EQ(slot % 5, 0);
        EXPECT_LT(slot % 100, 80) << slot;
    }
}

TEST(ZoneLayout, BlocksRunDownEachColumnBandAndCoverEverySmallZoneOnce) {
    EXPECT_EQ(SmallZonesOf(0), (std::vector<int>{0, 1, 16, 17}));
    EXPECT_EQ(SmallZonesOf(3), (std::vector<int>{96, 97, 112, 113, 128, 129}));
    EXPECT_EQ(SmallZonesOf(16), (std::vector<int>{8, 9, 10, 11, 24, 25, 26, 27}));
    EXPECT_EQ(SmallZonesOf(23),
              (std::vector<int>{108, 109, 110, 111, 124, 125, 126, 127, 140, 141, 142, 143}));
    int total = 0;
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        const int size = static_cast<int>(SmallZonesOf(k).size());
        EXPECT_EQ(size, (k / 4 < 4 ? 2 : 4) * (k % 4 < 3 ? 2 : 3)) << "block " << k;
        total += size;
    }
    EXPECT_EQ(total, ZoneView::kSmallZones);
}

TEST(ConvertZoneNumber, ReadsSignedDecimalsRoundingHalvesToEven) {
    EXPECT_EQ(ConvertZoneNumber(" 7 "), 7);
    EXPECT_EQ(ConvertZoneNumber("\t+12\t"), 12);
    EXPECT_EQ(ConvertZoneNumber("-32768"), -32768);
    EXPECT_EQ(ConvertZoneNumber("2.5"), 2);
    EXPECT_EQ(ConvertZoneNumber("3.5"), 4);
    EXPECT_EQ(ConvertZoneNumber("-0.5"), 0);
    EXPECT_EQ(ConvertZoneNumber("2.50000000001"), 3);
    EXPECT_EQ(ConvertZoneNumber("-32768.5"), -32768);
    EXPECT_EQ(ConvertZoneNumber(".5"), 0);
    EXPECT_EQ(ConvertZoneNumber("5."), 5);
    for (const char* text : {"", "   ", "+", ".", "-.", "12A", "1 2", "+-1", "- 1", "1.2.3", "1e3",
                             "0x10", "1,5", "32768", "-32769", "32767.5", "99999999999999999999"})
        EXPECT_FALSE(ConvertZoneNumber(text).has_value()) << '"' << text << '"';
}

TEST(ConvertZoneNumber, IsSafeOnArbitraryBytesAndVeryLongTexts) {
    const std::string zeros(1'000'000, '0');
    EXPECT_EQ(ConvertZoneNumber(zeros + "42"), 42);
    EXPECT_EQ(ConvertZoneNumber("0.5" + zeros + "1"), 1);
    EXPECT_FALSE(ConvertZoneNumber(std::string(1'000'000, '9')).has_value());
    EXPECT_FALSE(ConvertZoneNumber(std::string(1'000'000, ' ')).has_value());
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    EXPECT_FALSE(ConvertZoneNumber(bytes).has_value());
    EXPECT_FALSE(ConvertZoneNumber(std::string("1\0", 2)).has_value());
}

TEST(ShowZones, CopiesSlotTextsExactlyAndNumbersTheBlocks) {
    SettingsTable table;
    table.slot(100) = " 12 ";
    table.slot(180) = "99";  // a row gap: never shown
    table.slot(200) = "-3";
    table.slot(975) = "EOT";
    table.slot(1135) = "7.5";
    table.slot(1140) = "8";
    ZoneView view;
    view.smallZones.fill("-127");
    view.largeZoneValues.fill("+129");
    ShowZones(table, view);

    EXPECT_EQ(view.smallZones[0], " 12 ");
    EXPECT_EQ(view.smallZones[16], "-3");
    EXPECT_EQ(view.smallZones[143], "EOT");
    EXPECT_EQ(view.largeZoneValues[23], "7.5");
    int empty = 0;
    for (const auto& text : view.smallZones) empty += text.empty();
    for (const auto& text : view.largeZoneValues) empty += text.empty();
    EXPECT_EQ(empty, 168 - 4);
    for (int k = 0; k < ZoneView::kLargeZones; ++k)
        EXPECT_EQ(view.largeZoneNumbers[k], std::to_string(k));
}

TEST(AddZones, AddsEachBlocksValueToItsSmallZones) {
    struct Case {
        const char* what;
        std::map<int, std::string> small, large, expected;
    };
    const Case cases[] = {
        {"empty table", {}, {}, {{0, "0"}, {77, "0"}, {143, "0"}}},
        {"sums",
         {{0, "+12"}, {2, "-5"}, {4, "3"}, {6, "12"}},
         {{0, "-3"}, {4, "+5"}, {8, "-10"}, {12, "ABC"}},
         {{0, "+9"}, {2, "0"}, {4, "-7"}, {6, "+12"}}},
        {"letters only", {{0, "ABC"}}, {{0, "+4"}}, {{0, "+4"}}},
        // Non-numbers carry the last number of the run over; block 8 adds 0.
        {"carry",
         {{16, "9"}, {17, "XY"}, {18, "Z"}},
         {{0, "+2"}, {4, "-1"}},
         {{16, "+11"}, {17, "+11"}, {18, "+8"}, {20, "+9"}}},
        {"rounding",
         {{0, "-0.5"}, {1, " 7 "}, {16, "2.5"}},
         {{0, "0.4"}},
         {{0, "0"}, {1, "+7"}, {16, "+2"}}},
        // A sum out of range leaves only that cell as it was; 32768 fails and
        // carries -32768 over, which is out of range again with block 8.
        {"range",
         {{0, "32767"}, {1, "5"}, {2, "32766"}, {4, "-32768"}, {5, "32768"}},
         {{0, "+1"}, {4, "+1"}, {8, "-1"}},
         {{0, "32767"}, {1, "+6"}, {2, "+32767"}, {4, "-32768"}, {5, "32768"}, {6, "-32768"}}},
    };
    for (const Case& c : cases) {
        ZoneView view = PlainView();
        for (const auto& [p, text] : c.small) view.smallZones[p] = text;
        for (const auto& [k, text] : c.large) view.largeZoneValues[k] = text;
        AddZones(view);
        for (const auto& [p, text] : c.expected)
            EXPECT_EQ(view.smallZones[p], text) << c.what << ", small zone " << p;
        // The large-zone texts are left as they were.
        for (int k = 0; k < ZoneView::kLargeZones; ++k) {
            EXPECT_EQ(view.largeZoneValues[k], c.large.contains(k) ? c.large.at(k) : "");
            EXPECT_EQ(view.largeZoneNumbers[k], std::to_string(k));
        }
    }
}

}  // namespace
}  // namespace kestrin
