// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/log_line.h"
#include "analysis/zone_table.h"
#include "analysis/zone_table_command.h"
#include "log/line_reader.h"
#include "log/text_file.h"
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
    const std::pair<std::string, std::vector<std::string_view>> cases[] = {
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
    for (const auto& [line, expected] : cases) {
        SplitLogLine(line, fields);
        EXPECT_EQ(fields, expected) << line;
    }
}

// A data line is a line the decoder could have written, in either separator
// mode; lines run together or with their columns shifted are left out.
TEST(LogLineTest, DataLinesAreLinesTheDecoderCouldHaveWritten) {
    using Fields = std::vector<std::string>;
    const Fields real = DecodedFields("35", "120", "+5");  // zone 215, AFR 14.62, PSI -0.87
    const Fields noPressure = DecodedFields("35", "120", "", "?");
    const auto with = [](Fields fields, std::size_t column, const std::string& text) {
        fields[column] = text;
        return fields;
    };
    // A field lost in the middle and one more at the end; one more in front.
    Fields lostField = real, shifted = real;
    lostField.erase(lostField.begin() + 3);
    lostField.emplace_back("0");
    shifted.insert(shifted.begin(), "1");
    const Fields header = {"RPM", "TPS", "MAP",  "CLT",  "IAT", "O2", "ADV",
                           "PW",  "ZON", "ZONE", "STNG", "AFR", "PSI"};
    const std::pair<Fields, LogLineKind> cases[] = {
        {real, LogLineKind::Data},
        {DecodedFields("-1", "-13"), LogLineKind::Data},              // zone -105, AFR 9.5
        {with(real, kSettingColumn, "anything"), LogLineKind::Data},  // settings change
        // Within one hundredth of the decoder's value, as an older rounding wrote it.
        {with(real, kAirFuelColumn, "14.61"), LogLineKind::Data},
        {with(real, kAirFuelColumn, "14.64"), LogLineKind::Other},
        {with(real, kBoostColumn, "-0.86"), LogLineKind::Data},
        {with(real, kBoostColumn, "-0.89"), LogLineKind::Other},
        {with(real, kBoostColumn, ""), LogLineKind::Other},
        {with(real, kZoneColumn, "220"), LogLineKind::Other},
        {with(real, kZoneColumn, "21.5"), LogLineKind::Other},
        {with(real, kAirFuelColumn, "1E3"), LogLineKind::Other},
        {with(real, kAirFuelColumn, "99999999999999"), LogLineKind::Other},
        // No pressure: the decoder leaves PSI empty, and only then.
        {noPressure, LogLineKind::Data},
        {with(noPressure, kBoostColumn, "0"), LogLineKind::Other},
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
        {shifted, LogLineKind::Other},
    };
    std::vector<std::string_view> fields;
    for (const auto& [logged, kind] : cases) {
        for (const Separator separator : {Separator::Tab, Separator::Comma}) {
            const std::string text = LogText(logged, separator);
            std::string_view line = logged.empty() ? std::string_view() : text;
            if (!line.empty()) line.remove_suffix(2);
            SplitLogLine(line, fields);
            LogDataValues data;
            EXPECT_EQ(ClassifyLogLine(fields, data), kind) << line;
        }
    }
}

TEST(LogLineTest, ReadsHundredthsExactly) {
    const std::pair<std::string_view, std::optional<std::int64_t>> cases[] = {
        {"14.7", 1470},        {"15", 1500}, {"-0.05", -5},    {"0.29", 29}, {"14.706", 1471},
        {"-0.004", 0},         {"+.5", 50},  {"10.025", 1003},  // as the log rounds it: not 1002
        {"10000000000000", {}}};
    for (const auto& [text, hundredths] : cases) EXPECT_EQ(HundredthsOf(text), hundredths) << text;
}

TEST(ZoneTableTest, QuotientsRoundExactlyWithTiesToEven) {
    const long long cases[][3] = {{5, 2, 2},   {7, 2, 4},   {-5, 2, -2},     {-7, 2, -4},
                                  {10, 3, 3},  {11, 3, 4},  {2941, 2, 1470}, {0, 4, 0},
                                  {5, -2, -2}, {-7, -2, 4}, {-11, -3, 4}};
    for (const auto& [sum, count, mean] : cases)
        EXPECT_EQ(RoundedQuotient(sum, count), mean) << sum << "/" << count;
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
}

// "kestrin --zone-table FILE" on a log recorded from the simulated unit gives the table worked
// out apart, from standard input too; otherwise it says why not. (The comma log is run through
// the program by ctest; its lines are the data-line table's.)
TEST(ZoneTableCommandTest, PrintsTheTableOrSaysWhyNot) {
    const std::string data = KESTRIN_TEST_DATA, tab = data + "/log_tab.txt";
    const std::string zones = test::ReadWholeFile(data + "/log_tab.zones");
    const std::string counted = ": 399 data lines, 1 line left out as not the unit's\n";
    const std::string header = zones.substr(0, zones.find('\n') + 1),
                      cannot = "kestrin: cannot read ";
    const std::string none = ": 0 data lines, 0 lines left out as not the unit's\n";
    // The arguments, what standard input reads and where standard output goes (when not left
    // as they are), the status, standard output and standard error.
    using Args = std::vector<std::string>;
    const std::tuple<Args, const char*, const char*, int, std::string, std::string> cases[] = {
        {{tab}, nullptr, nullptr, 0, zones, tab + counted},
        {{"-"}, tab.c_str(), nullptr, 0, zones, "standard input" + counted},
        {{"-"}, "/dev/null", nullptr, 0, header, "standard input" + none},
        {{"-"}, data.c_str(), nullptr, 1, "", cannot + "standard input: Is a directory\n"},
        {{data}, nullptr, nullptr, 1, "", cannot + data + ": Is a directory\n"},
        {{"/none"}, nullptr, nullptr, 1, "", cannot + "/none: No such file or directory\n"},
        // A name's control bytes are shown, not sent to the terminal.
        {{"/no\n\x1b[2Jne\x7f"},
         nullptr,
         nullptr,
         1,
         "",
         cannot + "/no\\x0a\\x1b[2Jne\\x7f: No such file or directory\n"},
        {{tab}, nullptr, "/dev/full", 1, "", "kestrin: standard output: No space left on device\n"},
        {{tab, tab}, nullptr, nullptr, 2, "", "usage: kestrin --zone-table FILE\n"}};
    for (const auto& [rest, input, output, status, out, err] : cases) {
        Args args = {kZoneTableOption};
        args.insert(args.end(), rest.begin(), rest.end());
        const test::CommandRun run = test::RunCommand(RunZoneTableCommand, args, output, input);
        EXPECT_TRUE(run.out == out && run.err == err && run.status == status) << run.err;
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

using test::ReadWholeFile;

struct TextFileTest : ::testing::Test {
    std::unique_ptr<TextStream> create(const std::string& name) {
        std::unique_ptr<TextStream> stream;
        EXPECT_TRUE(files.CreateTextFile(name, stream).ok());
        return stream;
    }
    std::unique_ptr<TextStream> open(const std::string& content) {
        test::WriteWholeFile(dir.file("in.txt"), content);
        std::unique_ptr<TextStream> stream;
        EXPECT_TRUE(files.OpenTextFile(dir.file("in.txt"), stream).ok());
        return stream;
    }
    std::string log() { return ReadWholeFile(dir.file("Log1.txt")); }

    test::TempDir dir;
    PosixFileSystem files;
};

// What a killed program leaves is what was handed over.
TEST_F(TextFileTest, TextReachesTheFileOnFlushSyncCloseAndWhenTheBufferFills) {
    test::WriteWholeFile(dir.file("Log1.txt"), "an older and longer content\r\n");
    auto stream = create(dir.file("Log1.txt"));
    EXPECT_EQ(log(), "");
    ASSERT_TRUE(stream->write("1\t\xB0").ok() && stream->writeline().ok());
    ASSERT_TRUE(stream->write("2\t").ok());
    EXPECT_EQ(log(), "");
    ASSERT_TRUE(stream->flush().ok() && stream->flush().ok());  // nothing new: nothing twice
    EXPECT_EQ(log(), "1\t\xB0\r\n2\t");
    ASSERT_TRUE(stream->write("").ok() && stream->writeline().ok() && stream->sync().ok());
    std::string expected = "1\t\xB0\r\n2\t\r\n";
    EXPECT_EQ(log(), expected);
    // Short and long texts go out in order without a flush once the buffer is full.
    for (int i = 0; i < 40000; ++i) ASSERT_TRUE(stream->write("x").ok());
    for (int i = 0; i < 160; ++i) ASSERT_TRUE(stream->write(std::string(1000, 'x')).ok());
    expected += std::string(200000, 'x');
    EXPECT_TRUE(expected.starts_with(log()) && log().size() + 64 * 1024 >= expected.size());
    ASSERT_TRUE(stream->write(std::string(200 * 1024, 'h')).ok());
    expected += std::string(200 * 1024, 'h');
    EXPECT_TRUE(log() == expected);
    ASSERT_TRUE(stream->write("last").ok() && stream->Close().ok());
    EXPECT_TRUE(log() == expected + "last");
    EXPECT_TRUE(create(dir.file("Log2.txt"))->write("tail").ok());  // destroyed while open
    EXPECT_EQ(ReadWholeFile(dir.file("Log2.txt")), "tail");
}

TEST_F(TextFileTest, FailuresHaveTheirCodesAndNothingIsWrittenAfterThem) {
    auto stream = create(dir.file("Log1.txt"));
    std::string line;
    EXPECT_EQ(stream->readline(line).systemError, EBADF);
    ASSERT_TRUE(stream->Close().ok());
    for (const Status& s : {stream->write("x"), stream->writeline(), stream->flush(),
                            stream->sync(), stream->Close()})
        EXPECT_EQ(s.systemError, EBADF);
    EXPECT_EQ(open("x")->writeline().systemError, EBADF);
    EXPECT_EQ(ReadWholeFile(dir.file("in.txt")), "x");

    // /dev/full accepts the open and refuses every write, as a full disk does.
    ASSERT_TRUE((stream = create("/dev/full")) && stream->write("A\t").ok());
    EXPECT_EQ(stream->flush().systemError, ENOSPC);
    EXPECT_EQ(stream->write("B").systemError, ENOSPC);  // stays failed
    EXPECT_EQ(stream->Close().systemError, ENOSPC);

    // A missing folder, a folder or a pipe in a file's place; a pipe would block the window.
    EXPECT_EQ(files.CreateTextFile(dir.file("no/Log1.txt"), stream).kind, ErrorKind::FileNotFound);
    EXPECT_EQ(files.CreateTextFile(dir.path(), stream).systemError, EISDIR);
    EXPECT_EQ(files.OpenTextFile(dir.file("Settings.txt"), stream).kind, ErrorKind::FileNotFound);
    EXPECT_EQ(files.OpenTextFile(dir.path(), stream).systemError, EISDIR);
    ASSERT_EQ(mkfifo(dir.file("Settings.txt").c_str(), 0644), 0);
    const Status fifo = files.OpenTextFile(dir.file("Settings.txt"), stream);
    EXPECT_TRUE(fifo.systemError == EINVAL && fifo.reason == "not a regular file");
    EXPECT_FALSE(files.CreateTextFile(dir.file("Settings.txt"), stream).ok());
}

// Runs `rename` in a child process without root's power to pass over a
// folder's permissions; the errno it failed with, 0 when it worked.
int ErrnoWithoutRoot(const std::function<Status()>& rename) {
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(255);
        ::_exit(rename().systemError);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_F(TextFileTest, RenameNoReplaceMovesANameButNeverOverAnother) {
    namespace fs = std::filesystem;
    test::WriteWholeFile(dir.file("Log1.txt"), "one");
    test::WriteWholeFile(dir.file("Log2.txt"), "two");
    ASSERT_EQ(::symlink("Log2.txt", dir.file("Log4.txt").c_str()), 0);
    fs::create_directory(dir.file("ro"));
    test::WriteWholeFile(dir.file("ro/Log3.txt"), "three");
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(dir.file("ro"), fs::perms::all & ~fs::perms::owner_write &
                                        ~fs::perms::group_write & ~fs::perms::others_write);
    const std::tuple<const char*, const char*, int> cases[] = {
        {"Log1.txt", "Log1.kept.txt", 0},
        {"Log2.txt", "Log1.kept.txt", EEXIST},
        {"Log1.txt", "Log1.again.txt", ENOENT},
        {"Log4.txt", "Log4.kept.txt", 0},  // the link, not its target
        {"ro/Log3.txt", "ro/Log3.kept.txt", EACCES},
    };
    for (const auto& [from, to, error] : cases) {
        EXPECT_EQ(
            ErrnoWithoutRoot([&] { return files.renameNoReplace(dir.file(from), dir.file(to)); }),
            error)
            << from;
    }
    // Every content is where it was or where it moved; nothing was replaced.
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.kept.txt")), "one");
    EXPECT_EQ(ReadWholeFile(dir.file("Log2.txt")), "two");
    EXPECT_EQ(fs::read_symlink(dir.file("Log4.kept.txt")), "Log2.txt");
    EXPECT_EQ(ReadWholeFile(dir.file("ro/Log3.txt")), "three");
    for (const char* gone : {"Log1.txt", "Log1.again.txt", "Log4.txt", "ro/Log3.kept.txt"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file(gone)))) << gone;
    fs::permissions(dir.file("ro"), fs::perms::owner_all, fs::perm_options::add);
}

// Only a regular file of no bytes is empty: a link to one is a link.
TEST_F(TextFileTest, InspectTellsKindsAndEmptyFiles) {
    using Kind = FileEntry::Kind;
    test::WriteWholeFile(dir.file("empty.txt"), "");
    test::WriteWholeFile(dir.file("full.txt"), "x");
    ASSERT_EQ(::symlink("empty.txt", dir.file("link.txt").c_str()), 0);
    const std::tuple<const char*, Kind, bool> cases[] = {{"empty.txt", Kind::Regular, true},
                                                         {"full.txt", Kind::Regular, false},
                                                         {"link.txt", Kind::SymbolicLink, false},
                                                         {"missing.txt", Kind::Missing, false},
                                                         {".", Kind::Other, false}};
    for (const auto& [name, kind, empty] : cases) {
        FileEntry entry;
        ASSERT_TRUE(files.inspect(dir.file(name), entry).ok()) << name;
        EXPECT_TRUE(entry.kind == kind && entry.empty == empty) << name;
    }
}

TEST_F(TextFileTest, ReadlineGivesEachLineWithoutItsEndUpToTheLimit) {
    const std::string longest(LineReader::kMaxLineBytes, 'z');  // across read chunks
    const std::pair<std::string, std::string> cases[] = {
        {"BOT,1,EOT,", "BOT,1,EOT,"},
        {"\r\nsecond", ""},
        {longest + "\r\nrest", longest},
        // Only a carriage return right before the feed, or ending the file, is a line end.
        {"a\rb\r\r\n", "a\rb\r"},
        {"BOT,\r", "BOT,"}};
    std::string line;
    for (const auto& [content, expected] : cases) {
        ASSERT_TRUE(open(content)->readline(line).ok());
        EXPECT_TRUE(line == expected);
    }
    auto stream = open("one\r\ntwo\nthree");
    for (const char* expected : {"one", "two", "three"})
        EXPECT_TRUE(stream->readline(line).ok() && line == expected);
    EXPECT_EQ(stream->readline(line).kind, ErrorKind::ReadPastEnd);
    EXPECT_EQ(open("")->readline(line).kind, ErrorKind::ReadPastEnd);
    // A line over the limit is refused; a huge one long before it is all read.
    for (const std::string& tooLong :
         {longest + "z\r\n", longest + "z", longest + "z\r", std::string(4 << 20, 'q')})
        EXPECT_EQ(open(tooLong)->readline(line).kind, ErrorKind::LineTooLong);
    EXPECT_TRUE(line.empty());
}

// Lines of many lengths straddle the reader's chunks and come out whole; a
// line over the limit is said at once and passed over up to its line feed.
TEST_F(TextFileTest, LineReaderTakesLinesAcrossChunksAndPassesOverLongOnes) {
    const std::size_t limit = LineReader::kMaxLineBytes;
    std::vector<std::optional<std::string>> lines;  // nothing for a line too long
    std::string content;
    for (std::size_t i = 0; content.size() < (6u << 20); ++i) {
        const std::size_t length = i == 9 ? 2u << 20 : i % 50 == 7 ? limit + 1 : i * 7919 % limit;
        const std::string text(length, static_cast<char>('a' + i % 26));
        lines.push_back(length > limit ? std::nullopt : std::optional(text));
        content += text + (i % 2 ? "\r\n" : "\n");
    }
    content += "last";
    lines.emplace_back("last");
    test::WriteWholeFile(dir.file("long.txt"), content);
    LineReader reader;
    ASSERT_TRUE(reader.Open(dir.file("long.txt")).ok());
    std::string_view line;
    bool tooLong = false;
    std::size_t count = 0;
    while (count < lines.size() && reader.Next(line, tooLong)) {
        EXPECT_TRUE(tooLong ? !lines[count] && line.empty() : line == lines[count]) << count;
        ++count;
    }
    EXPECT_EQ(count, lines.size());
    EXPECT_FALSE(reader.Next(line, tooLong));
    EXPECT_TRUE(reader.failure().ok());
}

}  // namespace
}  // namespace kestrin
