#include "app/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/work_folder.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

constexpr char kUsage[] =
    "Usage: kestrin [--desktop] [--] [LOG]...\n"
    "  or:  kestrin --zone-table FILE\n"
    "  or:  kestrin --help\n"
    "  or:  kestrin --version\n"
    "Try 'kestrin --help' for more information.\n";

// Commands are answered and wrong options refused before any window; the
// rest are the window program's switches and logs.
TEST(CommandLineTest, AnswersCommandsRefusesWrongOptionsAndKeepsLogs) {
    const struct {
        std::vector<std::string> args;
        std::optional<int> status;
        std::string out, err;  // the start of standard output; standard error
        bool desktop;
        std::vector<std::string> logs;
    } cases[] = {
        {{}, std::nullopt, "", "", false, {}},
        {{"a.txt", "/b.txt"}, std::nullopt, "", "", false, {"a.txt", "/b.txt"}},
        {{"--desktop", "--", "-x.txt", "--help"}, std::nullopt, "", "", true, {"-x.txt", "--help"}},
        {{"--help", "a.txt"}, 0, "Usage: kestrin [--desktop] [--] [LOG]...\n", "", false, {}},
        {{"--version"}, 0, "kestrin (Kestrin) " KESTRIN_VERSION "\nCopyright", "", false, {}},
        {{"--zone-table"}, 2, "", "usage: kestrin --zone-table FILE\n", false, {}},
        {{"--log", "a.txt"},
         2,
         "",
         std::string("kestrin: unknown option '--log'\n") + kUsage,
         false,
         {}},
        {{"-"}, 2, "", std::string("kestrin: unknown option '-'\n") + kUsage, false, {}},
        {{"a.txt", "--version"},
         2,
         "",
         std::string("kestrin: --version must be the first argument\n") + kUsage,
         false,
         {}}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"kestrin"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        StartRequest start;
        start.logs = {"left over"};
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const std::optional<int> status =
            ReadCommandLine(static_cast<int>(argv.size()), argv.data(), start);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, c.status) << args.back();
        EXPECT_TRUE(out.starts_with(c.out) && out.empty() == c.out.empty()) << out;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err) << args.back();
        if (!status) {
            EXPECT_TRUE(start.desktop == c.desktop && start.logs == c.logs) << args.back();
        }
    }
}

TEST(WorkFolderTest, DocumentsFolderAsXdgUserDirFindsItElseHome) {
    const std::string home = "/home/ann";
    const struct {
        const char* userDirs;
        const char* variable;
        std::string folder;
    } cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", nullptr,
         "/home/ann/Dokumente/Kestrin"},
        // The file wins over the variable, the last line over the ones before.
        {"XDG_DOCUMENTS_DIR=\"/srv/a\"\n  XDG_DOCUMENTS_DIR=\"/srv/b\\\"q\"", "/var/docs",
         "/srv/b\"q/Kestrin"},
        {"", "/var/docs/", "/var/docs/Kestrin"},
        // Set to the home folder itself, as xdg-user-dirs does to switch it off.
        {"XDG_DOCUMENTS_DIR=\"$HOME/\"", nullptr, "/home/ann/Kestrin"},
        // What xdg-user-dirs never writes is passed over.
        {"XDG_DOCUMENTS_DIR=\"Documents\"\nXDG_DOCUMENTS_DIR=$HOME/D\n"
         "XDG_DOCUMENTS_DIR=\"$HOMEWORK\"\n#XDG_DOCUMENTS_DIR=\"/x\"\nXDG_DOCUMENTS_DIR=\"/y",
         "relative", "/home/ann/Kestrin"},
        {"XDG_DOCUMENTS_DIR=\"/\"", nullptr, "/Kestrin"}};
    for (const auto& c : cases)
        EXPECT_EQ(DesktopWorkFolder(home, c.userDirs, c.variable), c.folder) << c.userDirs;
}

// A launch from the desktop menu works in the documents folder's Kestrin,
// made when missing; a folder that cannot be made leaves the working directory.
TEST(WorkFolderTest, DesktopLaunchEntersTheFolderOrSaysWhy) {
    const test::TempDir dir;
    const test::ScopedCwd cwd(dir.path());
    std::filesystem::create_directories(dir.file("config"));
    test::WriteWholeFile(dir.file("config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    test::WriteWholeFile(dir.file("file"), "");
    const char* names[] = {"HOME", "XDG_CONFIG_HOME"};
    std::optional<std::string> saved[2];
    for (int i = 0; i < 2; ++i)
        if (const char* value = std::getenv(names[i])) saved[i] = value;
    ::setenv("HOME", dir.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    EXPECT_EQ(EnterDesktopWorkFolder(), "");
    EXPECT_EQ(std::filesystem::current_path(), dir.file("Docs/Kestrin"));
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    ::setenv("HOME", dir.file("file").c_str(), 1);
    EXPECT_EQ(EnterDesktopWorkFolder(),
              "Kestrin cannot work in the folder " + dir.file("file/Docs/Kestrin") +
                  ": Not a directory.\r\n\r\nIts files go to " + dir.path() + " instead.");
    EXPECT_EQ(std::filesystem::current_path(), dir.path());
    for (int i = 0; i < 2; ++i) {
        if (saved[i])
            ::setenv(names[i], saved[i]->c_str(), 1);
        else
            ::unsetenv(names[i]);
    }
}

}  // namespace
}  // namespace kestrin
