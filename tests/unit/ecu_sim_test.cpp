#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ranges>
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

// The fields of one received line as the logger cuts them: a space closes the
// field unless another space follows, a sign right after a digit starts a new
// field, the line feed closes the last field, anything else is dropped.
std::vector<std::string> LoggerFields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i], next = i + 1 < line.size() ? line[i + 1] : '\0';
        if ((c >= 43 && c <= 57) || (c >= 'A' && c <= 'Z')) {
            fields.back() += c;
            if (c >= '0' && c <= '9' && (next == '-' || next == '+')) fields.emplace_back();
        } else if (c == ' ' && next != ' ') {
            fields.emplace_back();
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

TEST(EcuSimStream, LinesHaveNineFieldsWithPlausibleValues) {
    const auto lines = Lines(3, 4000);
    const std::vector<std::string> header = LoggerFields(lines[0].text);
    ASSERT_EQ(header.size(), 9u) << lines[0].text;
    EXPECT_TRUE(header[2] == "MAP" && header[5] == "O2" && header[8] == "ZON") << lines[0].text;

    std::set<int> zones, rows;
    bool negativeAdvance = false, paddedColumns = false;
    int previousRpm = -1;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& text = lines[i].text;
        ASSERT_TRUE(lines[i].isData && text.ends_with("\r\n")) << text;
        // A leading or trailing space would add a tenth field.
        const std::vector<std::string> f = LoggerFields(text);
        ASSERT_EQ(f.size(), 9u) << text;
        const int rpm = Number(f[0]), map = Number(f[2]), zone = Number(f[8]);
        const double afr = Number(f[5]) / 52.0 * 2 + 10;
        EXPECT_TRUE(map >= 30 && map <= 250 && afr >= 10.0 && afr <= 17.0) << text;
        // Load rows 1 to 9 in the high nibble: the table rows of the small zones.
        ASSERT_TRUE(zone >= 16 && zone <= 159) << text;
        EXPECT_EQ(zone, ZoneByte(map, rpm)) << "zone disagrees with MAP and RPM: " << text;
        // A gear change drops the revs by at most 40 %; nothing else jumps.
        EXPECT_TRUE(previousRpm < 0 || std::abs(rpm - previousRpm) < 3000) << text;
        previousRpm = rpm;
        zones.insert(zone);
        rows.insert(zone / 16);
        negativeAdvance = negativeAdvance || Number(f[6]) < 0;
        paddedColumns = paddedColumns || text.find("  ") != std::string::npos;
    }
    // The drive cycle visits much of the map, from light load to full boost.
    EXPECT_GE(zones.size(), 40u);
    EXPECT_TRUE(rows.count(1) || rows.count(2));
    EXPECT_TRUE(rows.count(8) || rows.count(9));
    EXPECT_TRUE(negativeAdvance && paddedColumns);
}

TEST(EcuSimStream, SeedDecidesTheDriveCycleAndTheHeaderRepeats) {
    const auto a = Lines(11, 500), b = Lines(11, 500), c = Lines(12, 500);
    std::size_t same = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].text, b[i].text) << "line " << i;
        same += a[i].text == c[i].text;
    }
    EXPECT_LT(same, a.size() / 2);
    EXPECT_EQ(std::count_if(a.begin(), a.end(), [](const auto& l) { return !l.isData; }), 1);

    std::string pattern;
    for (const auto& line : Lines(1, 13, 5)) {
        pattern += line.isData ? 'D' : 'H';
        EXPECT_TRUE(line.isData || line.text == HeaderLine()) << line.text;
    }
    EXPECT_EQ(pattern, "HDDDDDHDDDDDH");
}

TEST(EcuSimStream, SignedAndDecimalValuesStayWholeFields) {
    EngineSample s{850, 0, 35, -5, -7, 122, -3, 27, 17};
    EXPECT_EQ(LoggerFields(DataLine(s)),
              (std::vector<std::string>{"850", "0", "35", "-5", "-7", "122", "-3", "2.7", "17"}));
    // The widest values still keep a space between the columns.
    s = EngineSample{12345, 100, 250, -40, 120, 255, -10, 25000, 159};
    EXPECT_EQ(LoggerFields(DataLine(s)).size(), 9u) << DataLine(s);
}

// The capture dialog's file: "BOT", the values the cutter closes, "EOT,".
class CapturedFile : public CaptureOutput {
  public:
    void CaptureAppendConsole(std::string_view) override {}
    void CaptureWriteField(std::string_view field) override { line += field; }
    void CaptureWriteComma() override { line += ','; }
    std::string line;
};

TEST(EcuSimDump, EveryZoneLandsInTheSlotTheViewerReads) {
    DumpValues v = DefaultDumpValues();
    for (std::size_t p = 0; p < kSmallZoneCount; ++p) v.smallZones[p] = static_cast<int>(p) - 60;
    for (std::size_t k = 0; k < kLargeZoneCount; ++k) v.largeZones[k] = 200 + static_cast<int>(k);
    const std::string dump = SettingsDump(v);
    ASSERT_FALSE(dump.empty()) << DumpProblem(v);

    // Two captures in one showing of the dialog: the cutter keeps its held
    // characters, and the end of the first dump must not spill into the second.
    CapturedFile file;
    CaptureCutter cutter(file);
    std::string lines[2];
    for (std::string& line : lines) {
        file.line = "BOT";
        for (char c : dump) cutter.Receive(std::string_view(&c, 1));
        line = file.line + "EOT,";
        ASSERT_TRUE(PassesFullCheck(line)) << line;
    }
    EXPECT_EQ(lines[0], lines[1]);

    SettingsTable table;
    MapSettingsLine(lines[0], table);
    for (std::size_t p = 0; p < kSmallZoneCount; ++p)
        ASSERT_EQ(table.at(static_cast<int>(100 * (p / 16 + 1) + 5 * (p % 16))),
                  SignedText(v.smallZones[p]))
            << "small zone " << p;
    for (std::size_t k = 0; k < kLargeZoneCount; ++k)
        ASSERT_EQ(table.at(static_cast<int>(k < 16 ? 1000 + 5 * k : 1100 + 5 * (k - 16))),
                  SignedText(v.largeZones[k]))
            << "large zone " << k;
    // In the unit's number style.
    EXPECT_EQ(table.at(100), "-60");
    EXPECT_EQ(table.at(460), "0");
    EXPECT_EQ(table.at(1000), "+200");
}

TEST(EcuSimDump, RejectsValuesThatWouldNotSurviveTheCapture) {
    EXPECT_EQ(DumpProblem(DefaultDumpValues()), "");
    std::vector<DumpValues> bad(8, DefaultDumpValues());
    bad[0].preamble.back() = "38";  // the preamble no longer fills 45 characters
    bad[1].trailer.push_back("0");  // 194 values
    const char* badValues[] = {"", "1-2", "3+", "ab", "1,5", "A B"};
    for (int i = 0; i < 6; ++i) bad[2 + i].trailer.front() = badValues[i];
    for (const DumpValues& v : bad) {
        EXPECT_NE(DumpProblem(v), "") << '"' << v.trailer.front() << '"';
        EXPECT_EQ(SettingsDump(v), "") << '"' << v.trailer.front() << '"';
    }
    // A sign after a letter or a point stays in the value.
    DumpValues fine = DefaultDumpValues();
    fine.trailer.front() = "A-3";
    EXPECT_EQ(DumpProblem(fine), "");
}

// The options the end-to-end test and the scripts pass are read there; these are the others.
TEST(EcuSimOptions, ReadsBothFormsAndRefusesWhatItCannotUse) {
    ParsedOptions p =
        ParseSimOptions({"--device", "/dev/ttyUSB0", "--baud=9600", "--lines", "0", "--seconds=2.5",
                         "--seed", "42", "--dump", "--parent-pid=77", "--stop-on-stdin-eof"});
    const SimOptions& o = p.options;
    ASSERT_EQ(p.error, "");
    EXPECT_TRUE(o.device == "/dev/ttyUSB0" && o.baud == 9600 && o.lines == 0 && o.seconds == 2.5 &&
                o.seed == 42u && o.parentPid == 77 && o.dumpAtStart && o.stopOnStdinEof);
    EXPECT_TRUE(ParseSimOptions({"-h"}).options.help);

    // One command line each, its arguments separated by '|'.
    for (std::string_view line :
         {"--baud|0", "--baud|12k", "--lines|-1", "--lines", "--lines|99999999999999999999",
          "--seconds|soon", "--seconds|-1", "--seconds|nan", "--parent-pid|0", "--seed|-5",
          "--fast=yes", "--device=", "--colour", "--header-every|", "extra"}) {
        std::vector<std::string> args;
        for (const auto arg : std::views::split(line, '|'))
            args.emplace_back(arg.begin(), arg.end());
        EXPECT_NE(ParseSimOptions(args).error, "") << line;
    }
}

}  // namespace
}  // namespace kestrin::ecusim
