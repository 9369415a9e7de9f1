#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "log/text_file.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

class TextFileTest : public ::testing::Test {
  protected:
    std::unique_ptr<TextStream> create(const std::string& name) {
        std::unique_ptr<TextStream> stream;
        const Status status = files.CreateTextFile(dir.file(name), stream);
        EXPECT_TRUE(status.ok()) << status.reason;
        return stream;
    }
    // Reads the first line of a file holding `content`.
    Status firstLine(const std::string& content, std::string& line,
                     std::size_t maxBytes = TextStream::kMaxLineBytes) {
        WriteWholeFile(dir.file("in.txt"), content);
        std::unique_ptr<TextStream> stream;
        const Status opened = files.OpenTextFile(dir.file("in.txt"), stream);
        if (!opened.ok()) return opened;
        return stream->readline(line, maxBytes);
    }

    TempDir dir;
    PosixFileSystem files;
};

TEST_F(TextFileTest, CreateReplacesAnExistingFileAndWritesBytesUnchanged) {
    WriteWholeFile(dir.file("Log1.txt"), "an older and much longer content\r\n");
    auto stream = create("Log1.txt");
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), "");
    ASSERT_TRUE(stream->write("A\t\xB0").ok());
    ASSERT_TRUE(stream->write("").ok());
    ASSERT_TRUE(stream->writeline().ok());
    ASSERT_TRUE(stream->writeline().ok());
    ASSERT_TRUE(stream->Close().ok());
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), "A\t\xB0\r\n\r\n");
}

TEST_F(TextFileTest, WrittenTextReachesTheFileOnFlushSyncAndClose) {
    auto stream = create("Log1.txt");
    ASSERT_TRUE(stream->write("12\t").ok());
    ASSERT_TRUE(stream->writeline().ok());
    ASSERT_TRUE(stream->write("unended").ok());
    // Only buffered so far: what a killed program would leave behind.
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), "");
    ASSERT_TRUE(stream->flush().ok());
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), "12\t\r\nunended");
    ASSERT_TRUE(stream->flush().ok());  // nothing new: nothing twice
    ASSERT_TRUE(stream->writeline().ok());
    ASSERT_TRUE(stream->sync().ok());
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), "12\t\r\nunended\r\n");
    ASSERT_TRUE(stream->write("last").ok());
    ASSERT_TRUE(stream->Close().ok());
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), "12\t\r\nunended\r\nlast");

    create("Log2.txt")->write("tail");  // destroyed while open
    EXPECT_EQ(ReadWholeFile(dir.file("Log2.txt")), "tail");
}

TEST_F(TextFileTest, LargeTextIsHandedOverInOrderWithoutAFlush) {
    auto stream = create("Log1.txt");
    const std::string chunk(1000, 'x');
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(stream->write(chunk).ok());
    EXPECT_GE(ReadWholeFile(dir.file("Log1.txt")).size(), 64u * 1024);
    const std::string huge(200 * 1024, 'h');
    ASSERT_TRUE(stream->write(huge).ok());
    ASSERT_TRUE(stream->write("z\t").ok());
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), std::string(200000, 'x') + huge);
    ASSERT_TRUE(stream->Close().ok());
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), std::string(200000, 'x') + huge + "z\t");
}

TEST_F(TextFileTest, ClosedStreamsAndWrongDirectionsAreRefused) {
    auto stream = create("Log1.txt");
    std::string line;
    EXPECT_EQ(stream->readline(line).systemError, EBADF);
    ASSERT_TRUE(stream->Close().ok());
    EXPECT_EQ(stream->write("x").systemError, EBADF);
    EXPECT_EQ(stream->writeline().systemError, EBADF);
    EXPECT_EQ(stream->flush().systemError, EBADF);
    EXPECT_EQ(stream->sync().systemError, EBADF);
    EXPECT_EQ(stream->Close().systemError, EBADF);
    EXPECT_EQ(ReadWholeFile(dir.file("Log1.txt")), "");

    WriteWholeFile(dir.file("in.txt"), "x");
    std::unique_ptr<TextStream> reader;
    ASSERT_TRUE(files.OpenTextFile(dir.file("in.txt"), reader).ok());
    EXPECT_EQ(reader->write("y").systemError, EBADF);
    EXPECT_EQ(reader->writeline().systemError, EBADF);
    EXPECT_TRUE(reader->flush().ok());  // nothing written, nothing to hand over
    EXPECT_EQ(ReadWholeFile(dir.file("in.txt")), "x");
}

TEST_F(TextFileTest, FullDiskFailsTheWriteAndKeepsEarlierLines) {
    // /dev/full accepts the open and refuses every write with ENOSPC.
    struct stat info {};
    if (::stat("/dev/full", &info) != 0) GTEST_SKIP() << "no /dev/full";
    std::unique_ptr<TextStream> stream;
    ASSERT_TRUE(files.CreateTextFile("/dev/full", stream).ok());
    EXPECT_TRUE(stream->write("A\t").ok());  // only buffered so far
    const Status failed = stream->flush();
    EXPECT_EQ(failed.systemError, ENOSPC);
    EXPECT_FALSE(failed.reason.empty());
    // The stream stays failed instead of buffering without end.
    EXPECT_EQ(stream->write("B").systemError, ENOSPC);
    EXPECT_EQ(stream->flush().systemError, ENOSPC);
    EXPECT_EQ(stream->Close().systemError, ENOSPC);
}

TEST_F(TextFileTest, OpeningFailuresHaveTheirCodes) {
    std::unique_ptr<TextStream> stream;
    EXPECT_EQ(files.CreateTextFile(dir.file("nowhere/Log1.txt"), stream).kind,
              ErrorKind::FileNotFound);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(files.CreateTextFile(dir.path(), stream).systemError, EISDIR);
    EXPECT_EQ(files.OpenTextFile(dir.file("Settings.txt"), stream).kind, ErrorKind::FileNotFound);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(files.OpenTextFile(dir.path(), stream).systemError, EISDIR);
    // A pipe in a file's place is refused at once instead of blocking the window.
    ASSERT_EQ(mkfifo(dir.file("Settings.txt").c_str(), 0644), 0);
    EXPECT_EQ(files.OpenTextFile(dir.file("Settings.txt"), stream).systemError, EINVAL);
    EXPECT_FALSE(files.CreateTextFile(dir.file("Settings.txt"), stream).ok());
    EXPECT_EQ(stream, nullptr);
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
    WriteWholeFile(dir.file("Log1.txt"), "one");
    WriteWholeFile(dir.file("Log2.txt"), "two");
    ASSERT_EQ(::symlink("Log2.txt", dir.file("Log4.txt").c_str()), 0);
    fs::create_directory(dir.file("ro"));
    WriteWholeFile(dir.file("ro/Log3.txt"), "three");
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

// System error numbers that equal the program's own numbers (EBADR 53,
// ETIME 62, E2BIG 7) stay system errors, with their own text.
TEST(StatusTest, SystemErrorsNeverPassForTheProgramsKinds) {
    for (const int err : {EBADR, ETIME, E2BIG, EIO, ENXIO}) {
        const Status status = Status::FromErrno(err);
        EXPECT_EQ(status.kind, ErrorKind::System) << err;
        EXPECT_EQ(status.number(), err);
    }
    EXPECT_EQ(Status::FromErrno(ENOENT).kind, ErrorKind::FileNotFound);
    EXPECT_TRUE(Status::FromErrno(0).ok());
}

TEST_F(TextFileTest, ReadlineGivesTheFirstLineWithoutItsEnd) {
    const std::string longLine(300 * 1024, 'z');  // across many read chunks
    const std::pair<std::string, std::string> cases[] = {
        {"BOT,1,2,EOT,", "BOT,1,2,EOT,"},
        {"first\r\nsecond\r\n", "first"},
        {"unix\nsecond", "unix"},
        {"\r\nsecond", ""},
        // Only a carriage return right before the feed belongs to the line end.
        {"a\rb\r\r\n", "a\rb\r"},
        {longLine + "\r\nrest", longLine},
    };
    for (const auto& [content, expected] : cases) {
        std::string line;
        ASSERT_TRUE(firstLine(content, line).ok());
        EXPECT_EQ(line, expected);
    }
    std::string line = "stale";
    EXPECT_EQ(firstLine("", line).kind, ErrorKind::ReadPastEnd);

    // Later calls go on line by line until the end.
    WriteWholeFile(dir.file("in.txt"), "one\r\ntwo\nthree");
    std::unique_ptr<TextStream> stream;
    ASSERT_TRUE(files.OpenTextFile(dir.file("in.txt"), stream).ok());
    for (const char* expected : {"one", "two", "three"}) {
        ASSERT_TRUE(stream->readline(line).ok());
        EXPECT_EQ(line, expected);
    }
    EXPECT_EQ(stream->readline(line).kind, ErrorKind::ReadPastEnd);
}

TEST_F(TextFileTest, LineLongerThanTheLimitIsRefused) {
    std::string line;
    ASSERT_TRUE(firstLine("12345\r\n", line, 5).ok());
    EXPECT_EQ(line, "12345");
    ASSERT_TRUE(firstLine("12345", line, 5).ok());
    EXPECT_EQ(firstLine("123456\r\n", line, 5).kind, ErrorKind::LineTooLong);
    EXPECT_EQ(firstLine("123456", line, 5).kind, ErrorKind::LineTooLong);
    EXPECT_EQ(firstLine("12345\r", line, 5).kind, ErrorKind::LineTooLong);
    // A huge line without an end is refused long before it is all read.
    const std::string huge(4 * 1024 * 1024, 'q');
    EXPECT_EQ(firstLine(huge, line, 1000).kind, ErrorKind::LineTooLong);
    EXPECT_LE(line.size(), 1001u);
}

}  // namespace
}  // namespace kestrin
