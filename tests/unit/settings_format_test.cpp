#include <gtest/gtest.h>

#include <map>
#include <string>

#include "settings/settings_format.h"
#include "settings/settings_table.h"

namespace kestrin {
namespace {

// 45 characters that, after "BOT", make up the 48 the mapping skips.
const std::string kPrefix = "BOT" + std::string(45, '9');

std::string Commas(int n) { return std::string(n, ','); }

// Every non-empty slot of the table, for comparing whole tables.
std::map<int, std::string> Filled(const SettingsTable& table) {
    std::map<int, std::string> filled;
    for (int i = 0; i < SettingsTable::kSize; ++i)
        if (!table.at(i).empty()) filled[i] = table.at(i);
    return filled;
}

TEST(SettingsFormatChecks, CommaCountAndFullCheck) {
    struct Case {
        std::string line;
        std::size_t commas;
        bool passes;
    };
    const Case cases[] = {
        {"BOT" + Commas(193) + "EOT,", 194, true},  // 193 empty values
        {"bot" + Commas(193) + "EOT,", 194, false},
        {"BOT" + Commas(194) + "EOT", 194, false},  // no final comma
        {"BOT" + Commas(193) + "eot,", 194, false},
        {"BOT" + Commas(194) + "EOT,", 195, false},
        {"BOT" + Commas(192) + "EOT,", 193, false},
        {"BOT1,2,EOT,", 3, false},  // a comma inside a value counts too
        {"", 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommaCount(c.line), c.commas) << c.line;
        EXPECT_EQ(PassesFullCheck(c.line), c.passes) << c.line;
    }
}

TEST(SettingsMapping, EmptyDumpPutsEndMarkerInSlot840) {
    SettingsTable table;
    EXPECT_EQ(MapSettingsLine("BOT" + Commas(193) + "EOT,", table), 845);
    EXPECT_EQ(Filled(table), (std::map<int, std::string>{{840, "EOT"}}));
}

TEST(SettingsMapping, SkipsFirst48CharactersCommasIncluded) {
    SettingsTable table;
    const std::string prefix = "BOT" + Commas(20) + std::string(25, 'Q');
    EXPECT_EQ(MapSettingsLine(prefix + "12,-3,,A5,EOT,", table), 125);
    EXPECT_EQ(Filled(table),
              (std::map<int, std::string>{{100, "12"}, {105, "-3"}, {115, "A5"}, {120, "EOT"}}));
}

TEST(SettingsMapping, RowStepsOverPositions80To95AndKeepsValuesAsWritten) {
    SettingsTable table;
    EXPECT_EQ(MapSettingsLine(kPrefix + " 1 ,007,+.5/," + Commas(13) + "X,Y,", table), 210);
    EXPECT_EQ(Filled(table),
              (std::map<int, std::string>{
                  {100, " 1 "}, {105, "007"}, {110, "+.5/"}, {200, "X"}, {205, "Y"}}));
}

TEST(SettingsMapping, EmptyValueOpeningARowMissesTheRowStep) {
    std::string line = kPrefix;
    for (int i = 0; i < 16; ++i) line += "R,";
    line += ",A,B,C,D,";  // the empty value that should open row 2 carries the index to 185
    for (int i = 0; i < 16; ++i) line += "S" + std::to_string(i) + ",";
    SettingsTable table;
    MapSettingsLine(line, table);
    EXPECT_EQ(table.at(185), "A");
    EXPECT_EQ(table.at(195), "C");
    EXPECT_EQ(table.at(200), "D");  // 20 index units before the usual 220
    // The next row step works as usual: S15 would be at 280 and goes to 300.
    EXPECT_EQ(table.at(275), "S14");
    EXPECT_EQ(table.at(280), "");
    EXPECT_EQ(table.at(300), "S15");
}

TEST(SettingsMapping, StaysInsideTheTable) {
    SettingsTable table;
    EXPECT_EQ(MapSettingsLine("", table), 100);
    EXPECT_EQ(MapSettingsLine(kPrefix, table), 100);
    // 400 commas carry the index to 2100; the letter after them is dropped.
    EXPECT_NO_THROW(MapSettingsLine(kPrefix + Commas(400) + "X", table));
    EXPECT_TRUE(Filled(table).empty());

    // Rows 1 to 19 fill, the next row step reaches the last slot, 2000, and
    // everything after it is dropped.
    std::string values = kPrefix;
    for (int i = 0; i < 1000; ++i) values += "V,";
    EXPECT_EQ(MapSettingsLine(values, table), 2005);
    EXPECT_EQ(table.at(1975), "V");
    EXPECT_EQ(table.at(1980), "");
    EXPECT_EQ(table.at(2000), "V");
    EXPECT_EQ(Filled(table).size(), 19u * 16u + 1u);
}

}  // namespace
}  // namespace kestrin
