#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ecu-sim/engine_model.h"
#include "ecu-sim/settings_dump.h"
#include "ecu-sim/sim_options.h"
#include "ecu-sim/stream_lines.h"
#include "settings/capture_cutter.h"
#include "settings/settings_format.h"
#include "settings/settings_table.h"

namespace kestrin::ecusim {
namespace {

bool IsFieldChar(char c) { return (c >= 43 && c <= 57) || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The fields of one received line as the logger cuts them: a space closes the
// field unless another space follows, a sign right after a digit starts a new
// field, the line feed closes the last field, anything else is dropped.
std::vector<std::string> LoggerFields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (IsFieldChar(c)) {
            fields.back() += c;
            if (IsDigit(c) && (next == '-' || next == '+')) fields.emplace_back();
        } else if (c == ' ') {
            if (next != ' ') fields.emplace_back();
        } else if (c == '\n') {
            return fields;
        }
    }
    ADD_FAILURE() << "line without a line feed: " << line;
    return fields;
}

int Number(const std::string& field) { return std::atoi(field.c_str()); }

std::vector<StreamSource::Line> Lines(std::uint64_t seed, int count, int headerEvery = 0) {
    StreamSource source(seed, headerEvery);
    std::vector<StreamSource::Line> lines;
    for (int i = 0; i < count; ++i) lines.push_back(source.next());
    return lines;
}

TEST(EcuSimStream, HeaderNamesTheColumnsTheLoggerDecodes) {
    const std::string header = HeaderLine();
    EXPECT_TRUE(header.ends_with("ZON\r\n")) << header;
    EXPECT_NE(header.front(), ' ');
    const std::vector<std::string> fields = LoggerFields(header);
    ASSERT_EQ(fields.size(), 9u) << header;
    EXPECT_EQ(fields[2], "MAP");
    EXPECT_EQ(fields[5], "O2");
    EXPECT_EQ(fields[8], "ZON");
}

TEST(EcuSimStream, DataLinesHaveNineFieldsWithPlausibleValues) {
    const auto lines = Lines(7, 3000);
    ASSERT_FALSE(lines[0].isData);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& text = lines[i].text;
        ASSERT_TRUE(lines[i].isData);
        ASSERT_TRUE(text.ends_with("\r\n")) << text;
        ASSERT_FALSE(text.ends_with(" \r\n")) << "a trailing space adds a tenth field: " << text;
        ASSERT_NE(text.front(), ' ') << "a leading space adds an empty first field";
        const std::vector<std::string> f = LoggerFields(text);
        ASSERT_EQ(f.size(), 9u) << text;
        const int map = Number(f[2]);
        const int o2 = Number(f[5]);
        const int zone = Number(f[8]);
        EXPECT_GE(map, 30) << text;
        EXPECT_LE(map, 250) << text;
        const double afr = o2 / 52.0 * 2 + 10;
        EXPECT_GE(afr, 10.0) << text;
        EXPECT_LE(afr, 17.0) << text;
        ASSERT_GE(zone, 16) << text;
        ASSERT_LE(zone, 159) << text;
        EXPECT_EQ(zone, ZoneByte(map, Number(f[0]))) << "zone disagrees with MAP and RPM: " << text;
    }
}

TEST(EcuSimStream, DriveCycleMovesThroughZonesSmoothly) {
    const auto lines = Lines(3, 4000);
    std::set<int> zones;
    std::set<int> rows;
    bool negativeAdvance = false;
    bool paddedColumns = false;
    int previousRpm = -1;
    for (const auto& line : lines) {
        if (!line.isData) continue;
        const std::vector<std::string> f = LoggerFields(line.text);
        const int rpm = Number(f[0]);
        const int zone = Number(f[8]);
        zones.insert(zone);
        rows.insert(zone / 16);
        negativeAdvance = negativeAdvance || Number(f[6]) < 0;
        paddedColumns = paddedColumns || line.text.find("  ") != std::string::npos;
        // A gear change drops the revs by at most 40 %; nothing else jumps.
        if (previousRpm >= 0) {
            EXPECT_LT(std::abs(rpm - previousRpm), 3000) << line.text;
        }
        previousRpm = rpm;
    }
    EXPECT_GE(zones.size(), 40u);
    EXPECT_TRUE(rows.count(1) || rows.count(2)) << "never at light load";
    EXPECT_TRUE(rows.count(8) || rows.count(9)) << "never on full boost";
    EXPECT_TRUE(negativeAdvance);
    EXPECT_TRUE(paddedColumns);
}

TEST(EcuSimStream, SeedDecidesTheDriveCycle) {
    const auto a = Lines(11, 500);
    const auto b = Lines(11, 500);
    const auto c = Lines(12, 500);
    std::size_t same = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].text, b[i].text) << "line " << i;
        same += a[i].text == c[i].text;
    }
    EXPECT_LT(same, a.size() / 2);
}

TEST(EcuSimStream, HeaderRepeatsAfterEveryNDataLines) {
    const auto lines = Lines(1, 13, 5);
    std::string pattern;
    for (const auto& line : lines) pattern += line.isData ? 'D' : 'H';
    EXPECT_EQ(pattern, "HDDDDDHDDDDDH");
    for (const auto& line : lines) {
        if (!line.isData) {
            EXPECT_EQ(line.text, HeaderLine());
        }
    }

    const auto once = Lines(1, 200, 0);
    EXPECT_EQ(std::count_if(once.begin(), once.end(), [](const auto& l) { return !l.isData; }), 1);
}

TEST(EcuSimStream, SignedAndDecimalValuesStayWholeFields) {
    EngineSample s;
    s.rpm = 850;
    s.throttlePercent = 0;
    s.mapKpa = 35;
    s.coolantC = -5;
    s.intakeC = -7;
    s.o2Count = 122;
    s.advanceDeg = -3;
    s.pulseTenthsMs = 27;
    s.zone = 17;
    const std::vector<std::string> f = LoggerFields(DataLine(s));
    EXPECT_EQ(f,
              (std::vector<std::string>{"850", "0", "35", "-5", "-7", "122", "-3", "2.7", "17"}));

    // The widest values still keep a space between the columns.
    s = EngineSample{};
    s.rpm = 12345;
    s.throttlePercent = 100;
    s.mapKpa = 250;
    s.coolantC = -40;
    s.intakeC = 120;
    s.o2Count = 255;
    s.advanceDeg = -10;
    s.pulseTenthsMs = 25000;
    s.zone = 159;
    EXPECT_EQ(LoggerFields(DataLine(s)).size(), 9u) << DataLine(s);
}

TEST(EcuSimStream, ZoneBytePutsLoadInTheHighNibble) {
    EXPECT_EQ(ZoneRow(30), 1);
    EXPECT_EQ(ZoneRow(0), 1);
    EXPECT_EQ(ZoneRow(230), 9);
    EXPECT_EQ(ZoneRow(250), 9);
    EXPECT_EQ(ZoneRow(1000), 9);
    EXPECT_EQ(ZoneRow(130), 5);
    EXPECT_EQ(ZoneColumn(600), 0);
    EXPECT_EQ(ZoneColumn(850), 1);
    EXPECT_EQ(ZoneColumn(-100), 0);
    EXPECT_EQ(ZoneColumn(6600), 15);
    EXPECT_EQ(ZoneColumn(20000), 15);
    EXPECT_EQ(ZoneColumn(3000), 6);
    EXPECT_EQ(ZoneByte(130, 3000), 5 * 16 + 6);
}

// The capture dialog's file: "BOT", the values the cutter closes, "EOT,".
class CapturedFile : public CaptureOutput {
  public:
    void CaptureAppendConsole(std::string_view) override {}
    void CaptureWriteField(std::string_view field) override { line += field; }
    void CaptureWriteComma() override { line += ','; }
    std::string line;
};

// Feeds the dump one character per receive event, as the serial port does.
std::string Capture(CaptureCutter& cutter, CapturedFile& file, std::string_view dump) {
    file.line = "BOT";
    for (char c : dump) cutter.Receive(std::string_view(&c, 1));
    file.line += "EOT,";
    return file.line;
}

DumpValues DistinctValues() {
    DumpValues v = DefaultDumpValues();
    for (std::size_t p = 0; p < kSmallZoneCount; ++p) v.smallZones[p] = static_cast<int>(p) - 60;
    for (std::size_t k = 0; k < kLargeZoneCount; ++k) v.largeZones[k] = 200 + static_cast<int>(k);
    return v;
}

void ExpectZonesInTable(const std::string& line, const DumpValues& v) {
    SettingsTable table;
    MapSettingsLine(line, table);
    EXPECT_EQ(table.at(100), SignedText(v.smallZones[0]));
    EXPECT_EQ(table.at(175), SignedText(v.smallZones[15]));
    EXPECT_EQ(table.at(200), SignedText(v.smallZones[16]));
    EXPECT_EQ(table.at(975), SignedText(v.smallZones[143]));
    EXPECT_EQ(table.at(1000), SignedText(v.largeZones[0]));
    EXPECT_EQ(table.at(1075), SignedText(v.largeZones[15]));
    EXPECT_EQ(table.at(1100), SignedText(v.largeZones[16]));
    EXPECT_EQ(table.at(1135), SignedText(v.largeZones[23]));
    for (std::size_t p = 0; p < kSmallZoneCount; ++p)
        ASSERT_EQ(table.at(static_cast<int>(100 * (p / 16 + 1) + 5 * (p % 16))),
                  SignedText(v.smallZones[p]))
            << "small zone " << p;
    for (std::size_t k = 0; k < kLargeZoneCount; ++k)
        ASSERT_EQ(table.at(static_cast<int>(k < 16 ? 1000 + 5 * k : 1100 + 5 * (k - 16))),
                  SignedText(v.largeZones[k]))
            << "large zone " << k;
    for (int row = 1; row <= 11; ++row) EXPECT_EQ(table.at(row * 100 + 80), "") << "row " << row;
}

TEST(EcuSimDump, CapturedDumpPassesTheLoadersCheck) {
    const std::string dump = SettingsDump(DefaultDumpValues());
    ASSERT_FALSE(dump.empty()) << DumpProblem(DefaultDumpValues());
    CapturedFile file;
    CaptureCutter cutter(file);
    const std::string line = Capture(cutter, file, dump);
    EXPECT_EQ(CommaCount(line), 194u) << line;
    EXPECT_TRUE(line.starts_with("BOT"));
    EXPECT_TRUE(line.ends_with("EOT,"));
    EXPECT_TRUE(PassesFullCheck(line)) << line;
    ExpectZonesInTable(line, DefaultDumpValues());
}

TEST(EcuSimDump, EveryZoneLandsInTheSlotTheViewerReads) {
    const DumpValues values = DistinctValues();
    const std::string dump = SettingsDump(values);
    ASSERT_FALSE(dump.empty()) << DumpProblem(values);
    CapturedFile file;
    CaptureCutter cutter(file);
    const std::string line = Capture(cutter, file, dump);
    ASSERT_TRUE(PassesFullCheck(line)) << line;
    ExpectZonesInTable(line, values);
}

TEST(EcuSimDump, SecondCaptureInTheSameDialogAlsoPasses) {
    // The cutter keeps its held characters between captures of one showing:
    // the end of the first dump must not add a value to the second.
    const std::string dump = SettingsDump(DefaultDumpValues());
    CapturedFile file;
    CaptureCutter cutter(file);
    const std::string first = Capture(cutter, file, dump);
    const std::string second = Capture(cutter, file, dump);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(PassesFullCheck(second)) << second;
}

TEST(EcuSimDump, DefaultTrimsSuitTheZoneViewer) {
    const DumpValues v = DefaultDumpValues();
    for (int trim : v.smallZones) {
        EXPECT_GE(trim, -20);
        EXPECT_LE(trim, 30);
    }
    // Leaner at light load than on boost, as a tuned map is.
    EXPECT_LT(v.smallZones[5], v.smallZones[8 * 16 + 5]);
    const auto texts = DumpValueTexts(v);
    EXPECT_TRUE(
        std::any_of(texts.begin(), texts.end(), [](auto& t) { return t.starts_with('-'); }));
    EXPECT_TRUE(
        std::any_of(texts.begin(), texts.end(), [](auto& t) { return t.starts_with('+'); }));
}

TEST(EcuSimDump, SentAsSingleSpacedLinesEndingInSpaceCrLf) {
    const std::string dump = SettingsDump(DefaultDumpValues());
    EXPECT_EQ(dump.find("  "), std::string::npos);
    EXPECT_NE(dump.front(), ' ') << "a leading space closes an empty first value";
    std::size_t lineEnds = 0;
    for (std::size_t pos = dump.find("\r\n"); pos != std::string::npos;
         pos = dump.find("\r\n", pos + 2)) {
        ++lineEnds;
        ASSERT_GT(pos, 0u);
        EXPECT_EQ(dump[pos - 1], ' ') << "a value before CR LF runs into the next line";
    }
    EXPECT_EQ(lineEnds, 13u);
    EXPECT_TRUE(dump.ends_with(" \r\n"));
    std::size_t spaces = std::count(dump.begin(), dump.end(), ' ');
    EXPECT_EQ(spaces, kDumpValueCount);
}

TEST(EcuSimDump, RejectsValuesThatWouldNotSurviveTheCapture) {
    EXPECT_EQ(DumpProblem(DefaultDumpValues()), "");

    DumpValues shortPreamble = DefaultDumpValues();
    shortPreamble.preamble.back() = "38";
    EXPECT_NE(DumpProblem(shortPreamble), "");
    EXPECT_EQ(SettingsDump(shortPreamble), "");

    const std::vector<std::string> bad = {"", "1-2", "3+", "ab", "1,5", "A B"};
    for (const std::string& value : bad) {
        DumpValues v = DefaultDumpValues();
        v.trailer.front() = value;
        EXPECT_NE(DumpProblem(v), "") << '"' << value << '"';
        EXPECT_EQ(SettingsDump(v), "") << '"' << value << '"';
    }

    DumpValues tooMany = DefaultDumpValues();
    tooMany.trailer.push_back("0");
    EXPECT_NE(DumpProblem(tooMany), "");

    // A sign after a letter or a point stays in the value.
    DumpValues fine = DefaultDumpValues();
    fine.trailer.front() = "A-3";
    EXPECT_EQ(DumpProblem(fine), "");
}

TEST(EcuSimDump, SignedTextUsesTheUnitsStyle) {
    EXPECT_EQ(SignedText(12), "+12");
    EXPECT_EQ(SignedText(0), "0");
    EXPECT_EQ(SignedText(-3), "-3");
}

ParsedOptions Parse(std::vector<std::string> args) { return ParseSimOptions(args); }

TEST(EcuSimOptions, DefaultsPlayAPseudoTerminalAt1200Baud) {
    const ParsedOptions p = Parse({});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.device, "");
    EXPECT_EQ(p.options.baud, 1200);
    EXPECT_FALSE(p.options.fast);
    EXPECT_FALSE(p.options.lines.has_value());
    EXPECT_FALSE(p.options.seconds.has_value());
    EXPECT_FALSE(p.options.parentPid.has_value());
}

TEST(EcuSimOptions, ReadsEveryOptionInBothForms) {
    const ParsedOptions p = Parse({"--device", "/dev/ttyUSB0", "--baud=9600", "--fast", "--lines",
                                   "0", "--seconds=2.5", "--seed", "42", "--header-every", "0",
                                   "--dump", "--paused", "--parent-pid=77", "--stop-on-stdin-eof"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.device, "/dev/ttyUSB0");
    EXPECT_EQ(p.options.baud, 9600);
    EXPECT_TRUE(p.options.fast);
    EXPECT_EQ(p.options.lines, 0);
    EXPECT_EQ(p.options.seconds, 2.5);
    EXPECT_EQ(p.options.seed, 42u);
    EXPECT_EQ(p.options.headerEvery, 0);
    EXPECT_TRUE(p.options.dumpAtStart);
    EXPECT_TRUE(p.options.startPaused);
    EXPECT_EQ(p.options.parentPid, 77);
    EXPECT_TRUE(p.options.stopOnStdinEof);
    EXPECT_TRUE(Parse({"-h"}).options.help);
}

TEST(EcuSimOptions, RefusesWhatItCannotUse) {
    const std::vector<std::vector<std::string>> bad = {
        {"--baud", "0"},
        {"--baud", "12k"},
        {"--lines", "-1"},
        {"--lines"},
        {"--seconds", "soon"},
        {"--seconds", "-1"},
        {"--seconds", "nan"},
        {"--parent-pid", "0"},
        {"--seed", "-5"},
        {"--fast=yes"},
        {"--device="},
        {"--colour"},
        {"--header-every", ""},
        {"extra"},
        {"--lines", "99999999999999999999"},
    };
    for (const auto& args : bad) {
        const ParsedOptions p = Parse(args);
        EXPECT_NE(p.error, "") << args.front();
    }
}

}  // namespace
}  // namespace kestrin::ecusim
