#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "analysis/log_file_reader.h"
#include "analysis/log_line.h"
#include "analysis/zone_table.h"
#include "analysis/zone_table_command.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

using test::TempDir;
using test::WriteWholeFile;

// A data line as the log writer lays it out in tab mode.
std::string TabLine(const std::string& zone, const std::string& setting, const std::string& afr) {
    return "3000\t80\t95\t80\t30\t120\t20\t3.1\t35\t" + zone + "\t" + setting + "\t" + afr +
           "\t-0.87\t\r\n";
}

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

TEST(LogLineTest, TellsDataFromOtherLines) {
    std::string comma = "3000,80,95,80,30,120,20,3.1,35,215,\t14.7,-0.87,";
    const struct {
        std::string line;
        LogLineKind kind;
    } cases[] = {
        {TabLine("215", "+5", "14.7"), LogLineKind::Data},
        {TabLine("-105", "", "-0.05"), LogLineKind::Data},
        {comma, LogLineKind::Data},
        {"RPM\tTPS\tMAP\tCLT\tIAT\tO2\tADV\tPW\tZON\tZONE\tSTNG\tAFR\tPSI\t", LogLineKind::Header},
        {"RPM,TPS,MAP,CLT,IAT,O2,ADV,PW,ZON,ZONE,STNG,AFR,PSI,", LogLineKind::Header},
        {"", LogLineKind::Marker},
        {"\t\t\t\t\t", LogLineKind::Other},
        {"3000\t80\t215\t+5\t14.7\t", LogLineKind::Other},
        {"1\t" + TabLine("215", "+5", "14.7"), LogLineKind::Other},
        {TabLine("21.5", "+5", "14.7"), LogLineKind::Other},
        {TabLine("", "+5", "14.7"), LogLineKind::Other},
        {TabLine("215", "+5", "1E3"), LogLineKind::Other},
        {TabLine("215", "+5", "99999999999999"), LogLineKind::Other},
    };
    std::vector<std::string_view> fields;
    for (const auto& c : cases) {
        std::string_view line = c.line;
        if (line.ends_with("\r\n")) line.remove_suffix(2);
        SplitLogLine(line, fields);
        LogDataValues data;
        EXPECT_EQ(ClassifyLogLine(fields, data), c.kind) << c.line;
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

TEST(ZoneTableTest, MeanRoundsExactlyWithTiesToEven) {
    const struct {
        long long sum, count, mean;
    } cases[] = {{5, 2, 2},  {7, 2, 4},  {-5, 2, -2},     {-7, 2, -4},
                 {10, 3, 3}, {11, 3, 4}, {2941, 2, 1470}, {0, 4, 0}};
    for (const auto& c : cases) EXPECT_EQ(RoundedQuotient(c.sum, c.count), c.mean) << c.sum;
}

class LogFileTest : public ::testing::Test {
  protected:
    std::string tableOf(const std::string& content) {
        WriteWholeFile(dir.file("Log1.txt"), content);
        ZoneTable table;
        const Status status = ReadZoneTable(dir.file("Log1.txt"), table);
        EXPECT_TRUE(status.ok()) << status.reason;
        return ZoneTableText(table);
    }
    TempDir dir;
};

TEST_F(LogFileTest, PrintsOneRowPerZoneInNumericOrder) {
    const std::string log = "RPM\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n" + TabLine("1000", "+1", "12") +
                            TabLine("215", "+5", "14.7") + "\r\n" + TabLine("215", "", "14.71") +
                            TabLine("-105", "", "9.5") + TabLine("0", "", "11") +
                            TabLine("5", "0", "16.02") + TabLine("215", "-2", "14.72") +
                            TabLine("215", "", "14.7");
    EXPECT_EQ(tableOf(log),
              "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n"
              "-105\t1\t9.5\t9.5\t9.5\t\n"
              "0\t1\t11\t11\t11\t\n"
              "5\t1\t16.02\t16.02\t16.02\t0\n"
              "215\t4\t14.71\t14.7\t14.72\t-2\n"
              "1000\t1\t12\t12\t12\t+1\n");
    // 14.705 and 14.715 are ties: the even hundredth wins.
    EXPECT_EQ(tableOf(TabLine("5", "", "14.7") + TabLine("5", "", "14.71")),
              "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n5\t2\t14.7\t14.7\t14.71\t\n");
    EXPECT_EQ(tableOf(TabLine("5", "", "14.71") + TabLine("5", "", "14.72")),
              "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n5\t2\t14.72\t14.71\t14.72\t\n");
}

// "kestrin --zone-table FILE" on logs recorded from the simulated unit in both
// separator modes gives the tables worked out apart, from standard input too;
// otherwise it says why not.
TEST(ZoneTableCommandTest, PrintsTheTableOrSaysWhyNot) {
    const std::string data = KESTRIN_TEST_DATA, tab = data + "/log_tab.txt";
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
        {{tab}, nullptr, nullptr, 0, tabZones, ""},
        {{data + "/log_comma.txt"},
         nullptr,
         nullptr,
         0,
         test::ReadWholeFile(data + "/log_comma.zones"),
         ""},
        {{"-"}, tab.c_str(), nullptr, 0, tabZones, ""},
        {{"-"}, "/dev/null", nullptr, 0, "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n", ""},
        {{"-"},
         data.c_str(),
         nullptr,
         1,
         "",
         "kestrin: cannot read standard input: Is a directory\n"},
        {{data}, nullptr, nullptr, 1, "", "kestrin: cannot read " + data + ": Is a directory\n"},
        {{"/none"}, nullptr, nullptr, 1, "", noFile},
        {{tab}, nullptr, "/dev/full", 1, "", fullOutput},
        {{tab, tab}, nullptr, nullptr, 2, "", "usage: kestrin --zone-table FILE\n"}};
    // Puts `path` in the place of descriptor `fd`; gives the descriptor that was there.
    const auto redirect = [](int fd, const char* path, int flags) {
        const int saved = ::dup(fd);
        const int opened = ::open(path, flags | O_CLOEXEC);
        ::dup2(opened, fd);
        ::close(opened);
        return saved;
    };
    const auto restore = [](int fd, int saved) {
        ::dup2(saved, fd);
        ::close(saved);
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"kestrin", kZoneTableOption};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int savedIn = c.input ? redirect(0, c.input, O_RDONLY) : -1;
        const int savedOut = c.output ? redirect(1, c.output, O_WRONLY) : -1;
        const int status = RunZoneTableCommand(static_cast<int>(argv.size()), argv.data());
        std::clearerr(stdout);
        if (c.output) restore(1, savedOut);
        if (c.input) restore(0, savedIn);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << args.back();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err) << args.back();
        EXPECT_EQ(status, c.status) << args.back();
    }
}

TEST_F(LogFileTest, ReadsWhatIsReadableOfHostileFiles) {
    const std::string header = "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n";
    std::string binary("\0\xff\x01\t\t\r\r\n", 8);
    EXPECT_EQ(tableOf(binary + std::string(100, '\0')), header);
    EXPECT_EQ(tableOf(""), header);
    // No header, no line end on the last line.
    std::string last = TabLine("5", "", "15");
    last.resize(last.size() - 2);
    EXPECT_EQ(tableOf(last), header + "5\t1\t15\t15\t15\t\n");
    // A line beyond the limit is passed over whole, even when it would be data.
    const std::string huge = "3000" + std::string(LogFileReader::kMaxLineBytes, ' ');
    const std::string tail = TabLine("5", "", "15");
    EXPECT_EQ(
        tableOf(huge + tail + huge + "\n" + tail + std::string(3 << 20, 'x') + "\n" + tail + huge),
        header + "5\t2\t15\t15\t15\t\n");
}

// Lines of many lengths straddle the reader's chunks and come out whole.
TEST_F(LogFileTest, LinesAcrossChunksComeOutWhole) {
    std::vector<std::string> lines;
    std::string content;
    for (std::size_t i = 0; content.size() < (3u << 20); ++i) {
        lines.emplace_back(i * 7919 % 60000, static_cast<char>('a' + i % 26));
        content += lines.back() + (i % 2 ? "\r\n" : "\n");
    }
    WriteWholeFile(dir.file("long.txt"), content);
    LogFileReader reader;
    ASSERT_TRUE(reader.Open(dir.file("long.txt")).ok());
    std::string_view line;
    bool tooLong = true;
    std::size_t count = 0;
    while (reader.Next(line, tooLong) && count < lines.size())
        EXPECT_TRUE(!tooLong && line == lines[count++]) << count;
    EXPECT_EQ(count, lines.size());
    EXPECT_FALSE(reader.Next(line, tooLong));
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
