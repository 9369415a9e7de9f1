#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "analysis/log_line.h"
#include "analysis/zone_table.h"
#include "analysis/zone_table_command.h"
#include "log/line_reader.h"
#include "support/command_run.h"
#include "support/log_lines.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

using test::TempDir;
using test::WriteWholeFile;

using test::DecodedFields;
using test::LoggedLine;
using test::LogText;

TEST(LogLineTest, SplitsAtSeparatorsThatEndFields) {
    const struct {
        std::string line;
        std::vector<std::string_view> fields;
    } cases[] = {
        {"", {}},
        {"\t", {""}},
        {"a\tb\t", {"a", "b"}},
        {"a\tb", {"a", "b"}},
        {"a\t\tb\t", {"a", "", "b"}},
        // Comma mode: a comma after a field, a lone tab after an empty one.
        {"A,12,\t\t5,", {"A", "12", "", "", "5"}},
        // Tab mode keeps the commas of a field.
        {"1,5\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\t",
         {"1,5", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"}},
    };
    std::vector<std::string_view> fields;
    for (const auto& c : cases) {
        SplitLogLine(c.line, fields);
        EXPECT_EQ(fields, c.fields) << c.line;
    }
}

// A data line is a line the decoder could have written, in either separator
// mode; lines run together or with their columns shifted are left out.
TEST(LogLineTest, DataLinesAreLinesTheDecoderCouldHaveWritten) {
    using Fields = std::vector<std::string>;
    const Fields real = DecodedFields("35", "120", "+5");  // zone 215, AFR 14.62, PSI -0.87
    const auto with = [&real](std::size_t column, const std::string& text) {
        Fields fields = real;
        fields[column] = text;
        return fields;
    };
    Fields lostField = real;  // a field lost in the middle, one more at the end
    lostField.erase(lostField.begin() + 3);
    lostField.emplace_back("0");
    const Fields header = {"RPM", "TPS", "MAP",  "CLT",  "IAT", "O2", "ADV",
                           "PW",  "ZON", "ZONE", "STNG", "AFR", "PSI"};
    const struct {
        Fields fields;
        LogLineKind kind;
    } cases[] = {
        {real, LogLineKind::Data},
        {DecodedFields("-1", "-13"), LogLineKind::Data},        // zone -105, AFR 9.5
        {with(kSettingColumn, "anything"), LogLineKind::Data},  // settings change
        // Within one hundredth of the decoder's value, as an older rounding wrote it.
        {with(kAirFuelColumn, "14.61"), LogLineKind::Data},
        {with(kAirFuelColumn, "14.64"), LogLineKind::Other},
        {with(kBoostColumn, "-0.86"), LogLineKind::Data},
        {with(kBoostColumn, "-0.89"), LogLineKind::Other},
        {with(kBoostColumn, ""), LogLineKind::Other},
        {with(kZoneColumn, "220"), LogLineKind::Other},
        {with(kZoneColumn, "21.5"), LogLineKind::Other},
        {with(kAirFuelColumn, "1E3"), LogLineKind::Other},
        {with(kAirFuelColumn, "99999999999999"), LogLineKind::Other},
        // No pressure: the decoder leaves PSI empty, and only then.
        {DecodedFields("35", "120", "", "?"), LogLineKind::Data},
        {[&] {
             Fields fields = DecodedFields("35", "120", "", "?");
             fields[kBoostColumn] = "0";
             return fields;
         }(),
         LogLineKind::Other},
        // No zone or no air-fuel ratio: the decoder's columns are empty.
        {DecodedFields("?", "120"), LogLineKind::Other},
        {DecodedFields("35", "?"), LogLineKind::Other},
        // The start of a line run together with the next line: no decoder wrote it.
        {{"1104", "0", "38", "88", "22100", "20", "67", "88", "19", "122", "17", "3.6", "33"},
         LogLineKind::Other},
        {lostField, LogLineKind::Other},
        {header, LogLineKind::Header},
        {{}, LogLineKind::Marker},
        {{"", "", "", "", ""}, LogLineKind::Other},
        {{"3000", "80", "215", "+5", "14.7"}, LogLineKind::Other},
        {[&] {
             Fields fields = real;
             fields.insert(fields.begin(), "1");
             return fields;
         }(),
         LogLineKind::Other},
    };
    std::vector<std::string_view> fields;
    for (const auto& c : cases) {
        for (const Separator separator : {Separator::Tab, Separator::Comma}) {
            const std::string text = LogText(c.fields, separator);
            std::string_view line = c.fields.empty() ? std::string_view() : text;
            if (!line.empty()) line.remove_suffix(2);
            SplitLogLine(line, fields);
            LogDataValues data;
            EXPECT_EQ(ClassifyLogLine(fields, data), c.kind) << line;
        }
    }
}

TEST(LogLineTest, ReadsHundredthsExactly) {
    const struct {
        std::string_view text;
        std::optional<std::int64_t> hundredths;
    } cases[] = {{"14.7", 1470},        {"15", 1500},     {"-0.05", -5},
                 {"0.29", 29},          {"14.706", 1471}, {"-0.004", 0},
                 {"+.5", 50},           {"10.025", 1003},  // as the log rounds it: not 1002
                 {"10000000000000", {}}};
    for (const auto& c : cases) EXPECT_EQ(HundredthsOf(c.text), c.hundredths) << c.text;
}

TEST(ZoneTableTest, QuotientsRoundExactlyWithTiesToEven) {
    const struct {
        long long sum, count, mean;
    } cases[] = {{5, 2, 2},       {7, 2, 4}, {-5, 2, -2}, {-7, 2, -4}, {10, 3, 3},  {11, 3, 4},
                 {2941, 2, 1470}, {0, 4, 0}, {5, -2, -2}, {-7, -2, 4}, {-11, -3, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundedQuotient(c.sum, c.count), c.mean) << c.sum << "/" << c.count;
}

class LogFileTest : public ::testing::Test {
  protected:
    std::string tableOf(const std::string& content) {
        WriteWholeFile(dir.file("Log1.txt"), content);
        ZoneTable table;
        const Status status = ReadZoneTable(dir.file("Log1.txt"), table);
        EXPECT_TRUE(status.ok()) << status.reason;
        counts = table.lineCounts();
        return ZoneTableText(table);
    }
    TempDir dir;
    LogLineCounts counts;
};

TEST_F(LogFileTest, PrintsOneRowPerZoneInNumericOrderAndCountsTheLines) {
    const std::string glued = "1104\t0\t38\t88\t22100\t20\t67\t88\t19\t122\t17\t3.6\t33\t\r\n";
    const std::string log = "RPM\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n" + LoggedLine(1000, "12", "+1") +
                            LoggedLine(215, "14.7", "+5") + "\r\n" + LoggedLine(215, "14.71") +
                            glued + LogText(DecodedFields("-1", "-13")) + LoggedLine(0, "11") +
                            LoggedLine(5, "16.02", "0") + LoggedLine(215, "14.72", "-2") +
                            LoggedLine(215, "14.7");
    EXPECT_EQ(tableOf(log),
              "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n"
              "-105\t1\t9.5\t9.5\t9.5\t\n"
              "0\t1\t11\t11\t11\t\n"
              "5\t1\t16.02\t16.02\t16.02\t0\n"
              "215\t4\t14.71\t14.7\t14.72\t-2\n"
              "1000\t1\t12\t12\t12\t+1\n");
    EXPECT_EQ(counts.data, 8);
    EXPECT_EQ(counts.headers + counts.markers + counts.leftOut, 3);
    EXPECT_EQ(LogLineCountsText(counts), "8 data lines, 1 line left out as not the unit's");
    // 14.705 and 14.715 are ties: the even hundredth wins.
    EXPECT_EQ(tableOf(LoggedLine(5, "14.7") + LoggedLine(5, "14.71")),
              "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n5\t2\t14.7\t14.7\t14.71\t\n");
    EXPECT_EQ(tableOf(LoggedLine(5, "14.71") + LoggedLine(5, "14.72")),
              "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n5\t2\t14.72\t14.71\t14.72\t\n");
}

// "kestrin --zone-table FILE" on logs recorded from the simulated unit in both
// separator modes gives the tables worked out apart, from standard input too;
// otherwise it says why not.
TEST(ZoneTableCommandTest, PrintsTheTableOrSaysWhyNot) {
    const std::string data = KESTRIN_TEST_DATA, tab = data + "/log_tab.txt";
    const std::string comma = data + "/log_comma.txt";
    const std::string counted = ": 399 data lines, 1 line left out as not the unit's\n";
    const std::string tabZones = test::ReadWholeFile(data + "/log_tab.zones");
    const std::string noFile = "kestrin: cannot read /none: No such file or directory\n";
    const std::string fullOutput = "kestrin: standard output: No space left on device\n";
    const struct {
        std::vector<std::string> args;
        const char* input;   // what standard input reads, if not left as it is
        const char* output;  // where standard output goes, if not captured
        int status;
        std::string out, err;
    } cases[] = {
        {{tab}, nullptr, nullptr, 0, tabZones, tab + counted},
        {{comma},
         nullptr,
         nullptr,
         0,
         test::ReadWholeFile(data + "/log_comma.zones"),
         comma + counted},
        {{"-"}, tab.c_str(), nullptr, 0, tabZones, "standard input" + counted},
        {{"-"},
         "/dev/null",
         nullptr,
         0,
         "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n",
         "standard input: 0 data lines, 0 lines left out as not the unit's\n"},
        {{"-"},
         data.c_str(),
         nullptr,
         1,
         "",
         "kestrin: cannot read standard input: Is a directory\n"},
        {{data}, nullptr, nullptr, 1, "", "kestrin: cannot read " + data + ": Is a directory\n"},
        {{"/none"}, nullptr, nullptr, 1, "", noFile},
        // A name's control bytes are shown, not sent to the terminal.
        {{"/no\n\x1b[2Jne\x7f"},
         nullptr,
         nullptr,
         1,
         "",
         "kestrin: cannot read /no\\x0a\\x1b[2Jne\\x7f: No such file or directory\n"},
        {{tab}, nullptr, "/dev/full", 1, "", fullOutput},
        {{tab, tab}, nullptr, nullptr, 2, "", "usage: kestrin --zone-table FILE\n"}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {kZoneTableOption};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::CommandRun run = test::RunCommand(RunZoneTableCommand, args, c.output, c.input);
        EXPECT_EQ(run.out, c.out) << args.back();
        EXPECT_EQ(run.err, c.err) << args.back();
        EXPECT_EQ(run.status, c.status) << args.back();
    }
}

TEST_F(LogFileTest, ReadsWhatIsReadableOfHostileFiles) {
    const std::string header = "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n";
    std::string binary("\0\xff\x01\t\t\r\r\n", 8);
    EXPECT_EQ(tableOf(binary + std::string(100, '\0')), header);
    EXPECT_EQ(tableOf(""), header);
    // No header, no line end on the last line.
    std::string last = LoggedLine(5, "15");
    last.resize(last.size() - 2);
    EXPECT_EQ(tableOf(last), header + "5\t1\t15\t15\t15\t\n");
    // A line beyond the limit is passed over whole, even when it would be data.
    const std::string huge = "3000" + std::string(LineReader::kMaxLineBytes, ' ');
    const std::string tail = LoggedLine(5, "15");
    EXPECT_EQ(
        tableOf(huge + tail + huge + "\n" + tail + std::string(3 << 20, 'x') + "\n" + tail + huge),
        header + "5\t2\t15\t15\t15\t\n");
}

TEST_F(LogFileTest, RefusesWhatIsNoRegularFile) {
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const struct {
        std::string path, reason;
    } cases[] = {{dir.path(), "Is a directory"},
                 {dir.file("fifo"), "not a regular file"},
                 {dir.file("missing.txt"), "No such file or directory"}};
    for (const auto& c : cases) {
        ZoneTable table;
        EXPECT_EQ(ReadZoneTable(c.path, table).reason, c.reason) << c.path;
    }
}

}  // namespace
}  // namespace kestrin
