#include <gtest/gtest.h>

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
    const struct {
        LineKind kind;
        std::vector<std::string> fields;
        std::optional<int> current;
    } lines[] = {
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
    for (const auto& line : lines) {
        zones.onRecord(AsRecord(line.fields, line.kind));
        EXPECT_EQ(zones.currentCell(), line.current) << line.fields[kZoneColumn];
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
    EXPECT_EQ(channels.dataLines(), (std::vector<double>{0.5, 1.5}));
    EXPECT_EQ(channels.values(0), (std::vector<float>{1000, 2000}));
    EXPECT_FLOAT_EQ(channels.values(kAirFuelColumn).back(), 14.62f);
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

}  // namespace
}  // namespace kestrin
