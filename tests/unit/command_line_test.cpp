#include "app/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/work_folder.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

std::optional<int> Read(std::vector<std::string> args, StartRequest& start) {
    args.insert(args.begin(), "kestrin");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return ReadCommandLine(static_cast<int>(argv.size()), argv.data(), start);
}

// Answered, or refused with the usage on standard error, before any window.
TEST(CommandLineTest, AnswersCommandsAndRefusesWrongOptions) {
    const std::string usage =
        "Usage: kestrin [--desktop] [--] [LOG]...\n  or:  kestrin --zone-table FILE\n"
        "  or:  kestrin --corrections [OPTIONS] LOG...\n"
        "  or:  kestrin --help\n  or:  kestrin --version\n"
        "Try 'kestrin --help' for more information.\n";
    // The arguments, the exit status, the start of standard output, standard error.
    const std::tuple<std::vector<std::string>, int, std::string, std::string> cases[] = {
        {{"--help", "a.txt"}, 0, usage.substr(0, usage.find('\n') + 1), ""},
        {{"--version"}, 0, "kestrin (Kestrin) " KESTRIN_VERSION "\nCopyright", ""},
        {{"--zone-table"}, 2, "", "usage: kestrin --zone-table FILE\n"},
        {{"--log", "a.txt"}, 2, "", "kestrin: unknown option '--log'\n" + usage},
        {{"-"}, 2, "", "kestrin: unknown option '-'\n" + usage},
        {{"a.txt", "--version"}, 2, "", "kestrin: --version must be the first argument\n" + usage}};
    for (const auto& [args, status, out, err] : cases) {
        StartRequest start;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(Read(args, start), status) << args[0];
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(printed.starts_with(out) && printed.empty() == out.empty()) << printed;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), err) << args[0];
    }
}

TEST(CommandLineTest, WindowProgramTakesItsSwitchesAndLogs) {
    using Args = std::vector<std::string>;
    const std::tuple<Args, bool, Args> cases[] = {
        {Args{}, false, Args{}},
        {Args{"a.txt", "/b.txt"}, false, Args{"a.txt", "/b.txt"}},
        {Args{"--desktop", "--", "-x.txt", "--help"}, true, Args{"-x.txt", "--help"}}};
    for (const auto& [args, desktop, logs] : cases) {
        StartRequest start{false, {"left over"}};
        EXPECT_EQ(Read(args, start), std::nullopt);
        EXPECT_TRUE(start.desktop == desktop && start.logs == logs) << logs.size();
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
