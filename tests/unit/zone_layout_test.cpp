#include "viewer/zone_layout.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace kestrin {
namespace {

TEST(ConvertZoneNumber, ReadsSignedDecimalsRoundingHalvesToEven) {
    const std::pair<const char*, int> numbers[] = {
        {" 7 ", 7},           {"\t+12\t", 12}, {"-32768", -32768},  {"2.5", 2},
        {"3.5", 4},           {"-0.5", 0},     {".5", 0},           {"5.", 5},
        {"2.50000000001", 3}, {"2.50", 2},     {"-32768.5", -32768}};
    for (const auto& [text, value] : numbers) EXPECT_EQ(ConvertZoneNumber(text), value) << text;
    EXPECT_EQ(ConvertZoneNumber(std::string(100000, '0') + "42"), 42);
    EXPECT_EQ(ConvertZoneNumber("0.5" + std::string(100000, '0') + "1"), 1);
    for (const char* text : {"", "   ", "+", ".", "-.", "12A", "1 2", "+-1", "- 1", "1.2.3", "1e3",
                             "0x10", "1,5", "32768", "-32769", "32767.5", "99999999999999999999"})
        EXPECT_FALSE(ConvertZoneNumber(text).has_value()) << '"' << text << '"';
    EXPECT_FALSE(ConvertZoneNumber(std::string("1\0", 2)).has_value());
}

// Slots 100.. feed the small zones row by row (80 to 95 of each row are gaps), 1000.. and
// 1100.. the large zones.
TEST(ShowZones, CopiesSlotTextsExactlyAndNumbersTheBlocks) {
    const std::pair<int, const char*> texts[] = {{100, " 1 "}, {175, "A"},  {180, "x"},
                                                 {200, "-3"},  {975, "E"},  {1075, "B"},
                                                 {1080, "x"},  {1100, "C"}, {1135, "7"}};
    SettingsTable table;
    for (const auto& [slot, text] : texts) table.slot(slot) = text;
    ZoneView view;
    view.smallZones.fill("old");
    ShowZones(table, view);
    std::string shown;
    for (const std::string& text : view.smallZones) shown += text.empty() ? "" : text + "|";
    for (const std::string& text : view.largeZoneValues) shown += text.empty() ? "" : text + "|";
    EXPECT_EQ(shown, " 1 |A|-3|E|B|C|7|");
    EXPECT_EQ(view.largeZoneNumbers[0] + view.largeZoneNumbers[23], "023");
}

// Cells as "index=text" separated by spaces.
template <std::size_t N>
void Fill(std::array<std::string, N>& cells, const std::string& layout) {
    std::istringstream items(layout);
    for (std::string item; items >> item;)
        cells[std::stoul(item.substr(0, item.find('=')))] = item.substr(item.find('=') + 1);
}

TEST(AddZones, AddsEachBlocksValueToItsSmallZones) {
    const char* cases[][3] = {
        // small zones, large zones, expected small zones
        {"", "", "0=0 77=0 143=0"},
        // Blocks run down each band of 2 columns (4 from column 8 on), 2 rows high (3 at the
        // bottom).
        {"", "0=1 3=2 4=3", "0=+1 17=+1 2=+3 6=0 96=+2 128=+2 32=0"},
        {"", "16=4 23=5", "8=+4 27=+4 12=0 108=+5 143=+5 95=0"},
        {"0=+12 2=-5 4=3 6=12", "0=-3 4=+5 8=-10 12=ABC", "0=+9 2=0 4=-7 6=+12"},
        // Non-numbers carry the last number of the run over; fractions round half to even.
        {"16=9 17=XY 18=Z", "0=+2 4=-1", "16=+11 17=+11 18=+8 20=+9"},
        {"0=-0.5 16=2.5", "0=0.4", "0=0 16=+2"},
        // A sum out of range leaves only that cell as it was.
        {"0=32767 1=5 2=32766 4=-32768 5=32768", "0=+1 4=+1 8=-1",
         "0=32767 1=+6 2=+32767 4=-32768 5=32768 6=-32768"}};
    for (const auto& [small, large, expected] : cases) {
        ZoneView view, want;
        ShowZones(SettingsTable{}, view);
        Fill(view.smallZones, small);
        Fill(view.largeZoneValues, large);
        const ZoneView before = view;
        AddZones(view);
        want.smallZones = view.smallZones;
        Fill(want.smallZones, expected);
        EXPECT_EQ(view.smallZones, want.smallZones) << small << " + " << large;
        EXPECT_EQ(view.largeZoneValues, before.largeZoneValues);
    }
}

}  // namespace
}  // namespace kestrin
