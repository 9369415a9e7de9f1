#include <gtest/gtest.h>

#include <string>

#include "settings/settings_format.h"
#include "settings/settings_table.h"

namespace kestrin {
namespace {

// 45 characters that, after "BOT", make up the 48 the mapping skips.
const std::string kPrefix = "BOT" + std::string(45, '9');

std::string EmptyDump() { return "BOT" + std::string(193, ',') + "EOT,"; }

// Every non-empty slot of the table, for comparing whole tables.
std::map<int, std::string> Filled(const SettingsTable& table) {
    std::map<int, std::string> filled;
    for (int i = 0; i < SettingsTable::kSize; ++i)
        if (!table.at(i).empty()) filled[i] = table.at(i);
    return filled;
}

TEST(SettingsFormatChecks, EmptyDumpPassesBothTests) {
    EXPECT_EQ(CommaCount(EmptyDump()), 194u);
    EXPECT_TRUE(PassesFullCheck(EmptyDump()));
}

TEST(SettingsFormatChecks, MarkersAreCaseSensitiveAndExact) {
    const std::string lowerBegin = "bot" + std::string(193, ',') + "EOT,";
    EXPECT_EQ(CommaCount(lowerBegin), 194u);
    EXPECT_FALSE(PassesFullCheck(lowerBegin));

    // 194 commas, but the last four characters are not "EOT,".
    const std::string noFinalComma = "BOT" + std::string(194, ',') + "EOT";
    EXPECT_EQ(CommaCount(noFinalComma), 194u);
    EXPECT_FALSE(PassesFullCheck(noFinalComma));

    EXPECT_FALSE(PassesFullCheck("BOT" + std::string(193, ',') + "eot,"));
    EXPECT_FALSE(PassesFullCheck(""));
    EXPECT_FALSE(PassesFullCheck("BOT,"));
}

TEST(SettingsFormatChecks, WrongCommaCountFailsEvenWithRightMarkers) {
    const std::string extra = "BOT" + std::string(194, ',') + "EOT,";
    EXPECT_EQ(CommaCount(extra), 195u);
    EXPECT_FALSE(PassesFullCheck(extra));
    EXPECT_FALSE(PassesFullCheck("BOT" + std::string(192, ',') + "EOT,"));
    // A comma inside a value counts like a value terminator.
    EXPECT_EQ(CommaCount("BOT1,2,EOT,"), 3u);
}

TEST(SettingsMapping, EmptyDumpPutsEndMarkerInSlot840) {
    SettingsTable table;
    EXPECT_EQ(MapSettingsLine(EmptyDump(), table), 845);
    EXPECT_EQ(Filled(table), (std::map<int, std::string>{{840, "EOT"}}));
}

TEST(SettingsMapping, SkipsFirst48CharactersCommasIncluded) {
    SettingsTable table;
    // Commas among the skipped characters move no index.
    std::string prefix = "BOT" + std::string(20, ',') + std::string(25, 'Q');
    ASSERT_EQ(prefix.size(), 48u);
    EXPECT_EQ(MapSettingsLine(prefix + "12,-3,,A5,EOT,", table), 125);
    EXPECT_EQ(Filled(table),
              (std::map<int, std::string>{{100, "12"}, {105, "-3"}, {115, "A5"}, {120, "EOT"}}));
}

TEST(SettingsMapping, ValuesAreStoredExactlyAsWritten) {
    SettingsTable table;
    MapSettingsLine(kPrefix + " 1 ,007,+.5/,", table);
    EXPECT_EQ(table.at(100), " 1 ");
    EXPECT_EQ(table.at(105), "007");
    EXPECT_EQ(table.at(110), "+.5/");
}

TEST(SettingsMapping, RowStepsOverPositions80To95) {
    std::string line = kPrefix;
    for (int i = 0; i < 16; ++i) line += "R1,";
    line += "X,Y,";
    SettingsTable table;
    EXPECT_EQ(MapSettingsLine(line, table), 210);
    EXPECT_EQ(table.at(175), "R1");
    EXPECT_EQ(table.at(180), "");
    EXPECT_EQ(table.at(200), "X");
    EXPECT_EQ(table.at(205), "Y");
}

TEST(SettingsMapping, EmptyValueOpeningARowMissesTheRowStep) {
    std::string line = kPrefix;
    for (int i = 0; i < 16; ++i) line += "R1,";
    // The empty value that should open row 2 carries the index to 185.
    line += ",A,B,C,D,";
    for (int i = 0; i < 16; ++i) line += "S" + std::to_string(i) + ",";
    SettingsTable table;
    MapSettingsLine(line, table);
    EXPECT_EQ(table.at(185), "A");
    EXPECT_EQ(table.at(190), "B");
    EXPECT_EQ(table.at(195), "C");
    // 20 index units before the usual 220.
    EXPECT_EQ(table.at(200), "D");
    // The next row step works as usual: S15 would be at 280 and goes to 300.
    EXPECT_EQ(table.at(275), "S14");
    EXPECT_EQ(table.at(280), "");
    EXPECT_EQ(table.at(300), "S15");
}

TEST(SettingsMapping, ShortLinesMapNothing) {
    SettingsTable table;
    EXPECT_EQ(MapSettingsLine("", table), 100);
    EXPECT_EQ(MapSettingsLine(kPrefix, table), 100);
    EXPECT_TRUE(Filled(table).empty());
}

TEST(SettingsMapping, NeverWritesPastTheTable) {
    SettingsTable table;
    // 400 commas carry the index to 2100; the letter after them is dropped.
    std::string commas = kPrefix + std::string(400, ',') + "X";
    EXPECT_NO_THROW(MapSettingsLine(commas, table));
    EXPECT_TRUE(Filled(table).empty());

    // Values step through rows 1 to 19, the next row step reaches the last
    // slot, 2000, and everything after it is dropped.
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
