#include "log/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "log/full_path.h"
#include "log/line_reader.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

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
    EXPECT_EQ(files.OpenTextFile(dir.file("Settings.txt"), stream).systemError, EINVAL);
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

TEST_F(TextFileTest, FullPathPutsTheWorkingDirectoryBeforeARelativeName) {
    std::filesystem::create_directory(dir.file("gone"));
    const test::ScopedCwd cwd(dir.file("gone"));
    EXPECT_EQ(FullPath("Log1.txt"), dir.file("gone/Log1.txt"));
    EXPECT_EQ(FullPath("/srv/Log1.txt"), "/srv/Log1.txt");
    // A working directory that was removed cannot be named.
    std::filesystem::remove(dir.file("gone"));
    EXPECT_EQ(FullPath("Log1.txt"), "Log1.txt");
}

// System error numbers equal to the program's own numbers stay system errors.
TEST(StatusTest, SystemErrorsKeepTheirErrno) {
    for (const int err : {EBADR, ETIME, E2BIG, EIO, ENXIO}) {
        EXPECT_EQ(Status::FromErrno(err).kind, ErrorKind::System);
        EXPECT_EQ(Status::FromErrno(err).number(), err);
    }
    EXPECT_EQ(Status::FromErrno(ENOENT).kind, ErrorKind::FileNotFound);
    EXPECT_TRUE(Status::FromErrno(0).ok());
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
