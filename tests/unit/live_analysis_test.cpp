// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "analysis/log_channels.h"
#include "analysis/log_line.h"
#include "viewer/visited_zones.h"
#include "viewer/zone_layout.h"

namespace kestrin {
namespace {

// The fields of a data line as the tokenizer tells them, with `zone` in ZONE.
std::vector<std::string> DataLine(const std::string& zone, const std::string& rpm = "3000") {
    return {rpm, "80", "95", "80", "30", "120", "20", "3.1", "35", zone, "", "14.62", "-0.87"};
}

// The record the tokenizer makes of `fields`, its numbers read from their texts.
Record AsRecord(const std::vector<std::string>& fields, LineKind kind = LineKind::Data) {
    Record record{kind, fields, {}, {}, {}};
    if (kind == LineKind::Data && fields.size() == kLogColumns) {
        record.zone = WholeNumber(fields[kZoneColumn]);
        record.airFuelHundredths = HundredthsOf(fields[kAirFuelColumn]);
        record.boostHundredths = HundredthsOf(fields[kLogColumns - 1]);
    }
    return record;
}

TEST(SmallZoneOfSlotTest, OnlyTheSlotsTheGridShows) {
    for (int p = 0; p < ZoneView::kSmallZones; ++p) EXPECT_EQ(SmallZoneOfSlot(SmallZoneSlot(p)), p);
    // Below the grid, a row's gap at 80 to 95, not a multiple of 5, below zero, past row 9.
    for (std::int64_t slot : {0, 99, 180, 195, 102, -105, 1000, 1575})
        EXPECT_EQ(SmallZoneOfSlot(slot), std::nullopt) << slot;
}

TEST(VisitedZonesTest, CountsDataLinesPerCellAndFollowsTheNewest) {
    VisitedZones zones;
    // A line and the cell outlined after it.
    const std::tuple<LineKind, std::vector<std::string>, std::optional<int>> lines[] = {
        {LineKind::Data, DataLine("215"), 19},
        {LineKind::Data, DataLine("215"), 19},
        {LineKind::Data, DataLine("100"), 0},
        // Headers and long lines leave the zone as it was.
        {LineKind::Header, DataLine("975"), 0},
        {LineKind::Long, DataLine("975"), 0},
        // A zone outside the grid outlines nothing and counts nowhere.
        {LineKind::Data, DataLine("1575"), {}},
        {LineKind::Data, DataLine(""), {}},
        {LineKind::Data, DataLine("215"), 19},
        // Short or damaged lines are no data lines: the zone stays.
        {LineKind::Data, {"1", "2", "3", "215"}, 19},
        {LineKind::Data, DataLine("975.5"), 19},
        {LineKind::Data, DataLine("975"), 143},
    };
    for (const auto& [kind, fields, current] : lines) {
        zones.onRecord(AsRecord(fields, kind));
        EXPECT_EQ(zones.currentCell(), current) << fields[kZoneColumn];
    }
    EXPECT_EQ(zones.linesOf(19), 3);
    EXPECT_EQ(zones.linesOf(0), 1);
    EXPECT_EQ(zones.linesOf(143), 1);
    EXPECT_EQ(zones.mostLines(), 3);

    const auto before = zones.changes();
    zones.Clear();
    EXPECT_GT(zones.changes(), before);
    EXPECT_EQ(zones.currentCell(), std::nullopt);
    EXPECT_EQ(zones.mostLines(), 0);
    EXPECT_EQ(zones.linesOf(19), 0);
}

TEST(LiveChannelsTest, TitlesFollowTheLatestHeaderAndKeysAreGiven) {
    LogChannels channels(ChannelSource::Stream);
    // Numbered before any header, and the usual three shown by place.
    EXPECT_EQ(channels.titles().front() + channels.titles().back(), "113");
    EXPECT_EQ(InitialColumns(channels.titles()), (std::vector<std::size_t>{0, 11, 12}));
    const std::vector<std::string> header{"RPM", "TPS", "MAP",  "CLT",  "IAT", "O2", "ADV",
                                          "PW",  "ZON", "ZONE", "STNG", "AFR", "PSI"};
    std::vector<std::string> renamed = header;
    renamed[0] = "REV";
    channels.AppendRecord(AsRecord(DataLine("215", "1000")), 0.5);
    channels.AppendRecord(AsRecord(header, LineKind::Header), 1.0);
    channels.AppendRecord(AsRecord(DataLine("215", "2000")), 1.5);
    channels.AppendMarker(1.75);
    channels.AppendRecord(AsRecord(renamed, LineKind::Header), 2.0);
    channels.AppendRecord(AsRecord({"1", "2"}), 2.5);  // no data: only the last key moves
    // A long line's fields by position are no data, whatever they hold.
    channels.AppendRecord(AsRecord(DataLine("215", "9999"), LineKind::Long), 2.6);
    channels.AppendMarker(2.75);

    EXPECT_EQ(channels.titles(), renamed);
    ASSERT_EQ(channels.dataLines().size(), 2u);
    EXPECT_EQ(channels.dataLines()[0], 0.5);
    EXPECT_EQ(channels.dataLines()[1], 1.5);
    ASSERT_EQ(channels.values(0).size(), 2u);
    EXPECT_EQ(channels.values(0)[0], 1000);
    EXPECT_EQ(channels.values(0)[1], 2000);
    EXPECT_EQ(channels.values(kAirFuelColumn)[1], 14.62);
    EXPECT_EQ(channels.markers(), (std::vector<double>{1.75, 2.75}));
    EXPECT_EQ(channels.lastKey(), 2.75);
    EXPECT_EQ(channels.lineCount(), 8);
    EXPECT_TRUE(channels.zoneTable().zones().empty());
    EXPECT_EQ(InitialColumns(channels.titles()), (std::vector<std::size_t>{11, 12}));

    // A file keeps the titles of its first header.
    LogChannels file;
    file.Append("RPM\tTPS\tMAP\tCLT\tIAT\tO2\tADV\tPW\tZON\tZONE\tSTNG\tAFR\tPSI\t");
    file.Append("REV\tTPS\tMAP\tCLT\tIAT\tO2\tADV\tPW\tZON\tZONE\tSTNG\tAFR\tPSI\t");
    EXPECT_EQ(file.titles(), header);
}

TEST(LiveChannelsTest, KeepRecentBoundsTheStreamByTimeAndCount) {
    LogChannels channels(ChannelSource::Stream);
    const auto fields = DataLine("215");
    const Record line = AsRecord(fields);
    // Ten lines a second for two hours, a marker every minute.
    for (int i = 0; i < 72000; ++i) {
        const double key = i / 10.0;
        channels.AppendRecord(line, key);
        if (i % 600 == 0) channels.AppendMarker(key);
        channels.KeepRecent(3600, 1'000'000);
        // At least the last hour is kept, and at most a sixtieth more.
        ASSERT_LE(channels.dataLines().front(), std::max(0.0, key - 3600) + 0.1);
        ASSERT_GE(channels.dataLines().front(), key - 3600 - 61);
    }
    EXPECT_EQ(channels.dataLines().size(), channels.values(0).size());
    EXPECT_EQ(channels.droppedDataLines() + channels.dataLines().size(), 72000u);
    EXPECT_EQ(channels.droppedMarkers() + channels.markers().size(), 120u);
    EXPECT_GE(channels.markers().front(), channels.dataLines().front() - 61);

    channels.KeepRecent(3600, 100);  // a count limit drops the oldest beyond it
    EXPECT_EQ(channels.dataLines().size(), 100u);
    EXPECT_EQ(channels.dataLines().back(), 7199.9);
    channels.DropBefore(7190.1);  // one line
    EXPECT_EQ(channels.dataLines().size(), 99u);
}

TEST(LiveChannelsTest, ThePointerReadsTheNearestLine) {
    LogChannels channels(ChannelSource::Stream);
    const auto fields = DataLine("215");
    for (double key : {1.0, 2.0, 4.0}) channels.AppendRecord(AsRecord(fields), key);
    const std::pair<double, std::ptrdiff_t> cases[] = {{-5, 0},  {1.4, 0}, {1.6, 1}, {2.9, 1},
                                                       {3.0, 1}, {3.1, 2}, {99, 2}};
    for (const auto& [key, index] : cases) EXPECT_EQ(channels.nearestDataIndex(key), index) << key;
    EXPECT_EQ(LogChannels(ChannelSource::Stream).nearestDataIndex(1), -1);
}

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
