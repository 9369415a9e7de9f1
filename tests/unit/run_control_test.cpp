// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/run_control.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/command_line.h"
#include "app/work_folder.h"
#include "support/fake_port.h"
#include "support/memory_file_system.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

namespace kestrin {
namespace {

// The main window's run without the window: the commands, a port, the log
// and the intake that writes to it.
struct Rig {
    OptionState options;
    test::MemoryFileSystem files;
    test::FakePort port;
    LogWriter log{options};
    MemoryConsole console;
    SettingsTable settings;
    test::ScriptedPrompt prompt;
    LineTokenizer tokenizer{console, log, settings, prompt};
    RunControl run{options, files, port, log, tokenizer, prompt};
};

struct RunControlTest : ::testing::Test, Rig {
    // Enabled states of New Run, End, Start, Pause, Marker, Capture, Load, View; the caption.
    std::string states() {
        const RunButtons& b = run.buttons();
        std::string s;
        for (bool on : {b.cmdNewRun, b.cmdEnd, b.cmdStart, b.cmdPause, b.cmdSetMarker,
                        b.cmdCaptureSettings, b.cmdLoadSettings, b.cmdViewSettings})
            s += on ? '1' : '0';
        return s + " " + b.startCaption;
    }
    // One chunk from the port, handled as the window does, from a clean line on.
    void receive(std::string_view text) {
        test::FeedEach("\004" + std::string(text),
                       [this](std::string_view c) { tokenizer.MSComm1_OnComm(c); });
        run.flushLog();
        run.reportLogFailure();
    }
    void newRun() {
        prompt.shown.clear();
        run.cmdNewRun_Click();
        run.cmdStart_Click();
    }
    std::string box(std::size_t i) { return i < prompt.shown.size() ? prompt.shown[i].text : ""; }

    // Messages name a log by its full path, in the working directory.
    test::TempDir dir;
    test::ScopedCwd cwd{dir.path()};
};

constexpr char kMissing[] = "Com 3 does not exist.\r\n\r\nPlease correct the com port setting.";
constexpr char kNotLogged[] = ".\r\n\r\nReceived lines are shown but not logged.";

TEST_F(RunControlTest, CommandsWalkTheRunStatesAndNumberTheRuns) {
    using C = RunControl;
    const std::pair<void (C::*)(), const char*> steps[] = {
        {&C::cmdNewRun_Click, "01101000 Begin Logging"},
        {&C::cmdStart_Click, "01011000 Begin Logging"},
        {&C::cmdPause_Click, "01101000 Resume Logging"},
        {&C::cmdStart_Click, "01011000 Resume Logging"},
        {&C::cmdEnd_Click, "10000111 Begin Logging"},
        {&C::cmdNewRun_Click, "01101000 Begin Logging"}};
    EXPECT_EQ(states(), "10000111 Begin Logging");
    options.SavePath = "out/";
    for (const auto& [command, expected] : steps) {
        (run.*command)();
        EXPECT_EQ(states(), expected);
        EXPECT_EQ(log.loggingActive(), states()[3] == '1');
        EXPECT_EQ(port.isOpen() && run.runOpen(), states()[0] == '0');
        if (command == &C::cmdStart_Click) receive("1\r\nX");  // logged
        if (command == &C::cmdPause_Click) receive("2\r\nX");  // shown only
    }
    run.cmdSetMarker_Click();
    EXPECT_TRUE(tokenizer.MarkerPending);
    run.cmdEnd_Click();
    EXPECT_EQ(files.files["out/Log1.txt"], "1\t\t\t\t\t\r\n1\t\t\t\t\t\r\n");
    EXPECT_EQ(options.LogFileName, "out/Log2.txt");
    EXPECT_TRUE(console.text().ends_with("2\t\t\t\t\t\r\n1\t\t\t\t\t\r\n"));
    EXPECT_TRUE(!port.isOpen() && files.openStreams == 0 && !log.stream() && prompt.shown.empty());
}

TEST_F(RunControlTest, LinesAreHandedOverWithTheirChunkAndAFieldClosedWhilePausedIsMissed) {
    const auto feed = [this](std::string_view text) {
        test::FeedEach(text, [this](std::string_view c) { tokenizer.MSComm1_OnComm(c); });
    };
    newRun();
    options.SeparatorMode = Separator::Comma;
    feed("A  B C\r\n1 2 3");
    EXPECT_EQ(files.handedOver["Log1.txt"], "");
    run.flushLog();  // a program killed now keeps the ended line
    EXPECT_EQ(files.handedOver["Log1.txt"], "A,B,C,\t\t\t\t\r\n1,2,");
    run.cmdPause_Click();
    feed(" 4");
    run.cmdStart_Click();
    feed("\nX");
    const std::string logged = "A,B,C,\t\t\t\t\r\n1,2,4,\t\t\t-14.21,\r\n";
    EXPECT_EQ(files.files["Log1.txt"], logged);
    log.setStream(nullptr);  // a writer without a stream writes nowhere, even while logging
    receive("9\r\nX");
    EXPECT_EQ(files.files["Log1.txt"], logged);
}

TEST_F(RunControlTest, PortThatCannotBeOpenedChangesNothing) {
    // A missing device is told; a port held by another program says nothing.
    options.ComPort = 3;
    for (const ErrorKind kind : {ErrorKind::PortNotFound, ErrorKind::PortUnavailable}) {
        port.openResult = Status::Failure(kind, "why");
        prompt.shown.clear();
        run.cmdNewRun_Click();
        EXPECT_EQ(port.number, 3);
        EXPECT_EQ(states(), "10000111 Begin Logging");
        EXPECT_EQ(prompt.shown.size(), kind == ErrorKind::PortNotFound ? 1u : 0u);
        EXPECT_EQ(box(0), kind == ErrorKind::PortNotFound ? kMissing : "");
        EXPECT_TRUE(options.SequenceNumber == 0 && files.files.empty());
    }
}

// A folder that cannot hold the log (gone, or the name taken by a folder), or no run number left.
TEST_F(RunControlTest, RunWithoutALogFileIsToldOnceAndWritesNowhere) {
    const std::tuple<std::int16_t, std::optional<Status>, std::string> cases[] = {
        {4, Status::FromErrno(EISDIR),
         "Log file " + dir.file("Log5.txt") + " could not be created: Is a directory" + kNotLogged},
        {32767, std::nullopt,
         std::string("No log file was created for this run: the run number cannot go past 32767") +
             kNotLogged}};
    for (const auto& [sequence, failure, text] : cases) {
        options.SequenceNumber = sequence;
        files.createFailure = failure;
        files.files.clear();
        newRun();
        EXPECT_EQ(states(), "01011000 Begin Logging");
        receive("1 2\r\nX");
        run.syncLog();  // the window's once-a-second sync, with no file to sync
        EXPECT_EQ(options.SequenceNumber, std::min(sequence + 1, 32767));
        EXPECT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(box(0) + prompt.shown[0].title, text + "Kestrin");
        EXPECT_TRUE(files.files.empty());
        run.cmdEnd_Click();
        files.createFailure.reset();
        run.cmdNewRun_Click();  // the next run starts clean
        EXPECT_EQ(log.stream() != nullptr, sequence != 32767);
        run.cmdEnd_Click();
    }
}

// A full disk, or a failed once-a-second sync: the log is kept as failed and told once a run.
TEST_F(RunControlTest, FailedWriteOrSyncIsToldOnceARunAndKeepsEverythingBefore) {
    const std::size_t room = files.writeLimit;
    const std::tuple<std::size_t, std::optional<Status>, std::string, std::string> cases[] = {
        {10, std::nullopt, "12\t34\t\t\t\t\t", "No space left on device"},
        {room, Status::FromErrno(EIO), "12\t34\t\t\t\t\t\r\n56\t78\t\t\t\t\t\r\n",
         "Input/output error"}};
    for (const auto& [limit, syncFailure, kept, reason] : cases) {
        files.writeLimit = limit;
        files.syncFailure = syncFailure;
        newRun();
        receive("12 34\r\n56 78\r\nX");
        run.syncLog();            // a failed log is left alone
        files.writeLimit = room;  // room again: the failed log still gets nothing more
        files.syncFailure.reset();
        receive("1\r\n2\r\nX");
        run.syncLog();
        EXPECT_EQ(files.files[options.LogFileName], kept);
        EXPECT_TRUE(console.text().ends_with("1\t\t\t\t\t\r\n2\t\t\t\t\t\r\n"));
        EXPECT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(box(0), "Log file " + dir.file(options.LogFileName) +
                              " could not be written: " + reason +
                              ".\r\n\r\nEverything before this point is in the file. Received "
                              "lines are still shown but no longer logged.");
        run.cmdEnd_Click();
    }
    {
        RunControl closedWithTheWindow(options, files, port, log, tokenizer, prompt);
        closedWithTheWindow.cmdNewRun_Click();
        EXPECT_EQ(files.openStreams, 1);
    }
    EXPECT_TRUE(files.openStreams == 0 && !log.stream());
}

TEST_F(RunControlTest, NewRunKeepsTheEarlierLogBesideItUnlessEmptyOrHasNoLog) {
    using Files = std::map<std::string, std::string>;
    const std::string kept = "Log1.2026-12-07_15-03-22.txt";  // in Central European Time
    const std::tuple<Files, std::optional<Status>, Files> cases[] = {
        {{{"Log1.txt", "old"}}, {}, {{kept, "old"}, {"Log1.txt", "1\t\t\t\t\t\r\n"}}},
        {{{"Log1.txt", "old"}, {kept, "older"}},
         {},
         {{kept, "older"},
          {"Log1.2026-12-07_15-03-22-2.txt", "old"},
          {"Log1.txt", "1\t\t\t\t\t\r\n"}}},
        {{{"Log1.txt", "old"}}, Status::FromErrno(EACCES), {{"Log1.txt", "old"}}},
        // An empty file holds nothing to keep.
        {{{"Log1.txt", ""}}, {}, {{"Log1.txt", "1\t\t\t\t\t\r\n"}}}};
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    for (const auto& [before, renameFailure, after] : cases) {
        files.files = before;
        for (const auto& [name, content] : before)
            files.modified[name] = 1796652202;  // 14:03:22 UTC
        files.renameFailure = renameFailure;
        options.SequenceNumber = 0;
        newRun();
        receive("1\r\nX");
        run.cmdEnd_Click();
        EXPECT_EQ(files.files, after);
        // Told once, as for a file that cannot be created.
        EXPECT_EQ(box(0), renameFailure
                              ? "Log file " + dir.file("Log1.txt") +
                                    " could not be created: Permission denied" + kNotLogged
                              : "");
    }
    ::unsetenv("TZ");
    ::tzset();
}

// A run whose port is lost stays open, marks the gap once and goes on in the
// same state when the port opens again.
#define L(field) field "\t\t\t\t\t\r\n"  // a one-field line and the decoder's four columns

// Characters go to the tokenizer one event each. #b Begin/Resume, #p Pause,
// #l the port is lost, #r a retry, #u the unit is back, #e End Run, #n New Run,
// #c Save Options picks Com 3, #F the disk is full.
struct Case {
    const char* script;
    const char* logs;  // Log1.txt then Log2.txt
    const char* console;
    std::size_t prompts = 0;
} const kCases[] = {
    {"#b1\n2\n#l#u#r3\n4\nX", L("1") L("2") "\r\n" L("3") L("4"),
     L("1") L("2") "\r\n" L("3") L("4")},
    {"#b1\n2 3#l#r#r#u#r4\nX", L("1") "2\t\r\n\r\n" L("4"), L("1") "2\t\r\n\r\n" L("4")},
    {"#b1 2#p 3\n4 5#l#b#u#r6\nX", "1\t\r\n" L("6"),
     "1\t2\t3\t\t\t\t-14.21\t\r\n4\t\r\n\r\n" L("6")},
    {"#b1\n2#p#l#u#r3\nX", L("1"), L("1") "\r\n" L("3")},
    {"1\n#l#b#u#r2\nX", L("2"), L("1") "\r\n" L("2")},
    {"#b1\n#l#u#r#l#u#r2\nX", L("1") "\r\n" L("2"), L("1") "\r\n" L("2")},
    {"#b1\n#l#u#r2#l#u#r3\nX", L("1") "\r\n\r\n" L("3"), L("1") "\r\n\r\n" L("3")},
    {"#b1\n#l#c#u#r2\nX", L("1") "\r\n" L("2"), L("1") "\r\n" L("2")},
    {"#b1\n#l#r#e#u#r", L("1") "\r\n", L("1") "\r\n"},
    {"#b1\n#l#r", L("1") "\r\n", L("1") "\r\n"},
    {"#b1\n#l#r#e#u#n#b2\nX", L("1") "\r\n" L("2"), L("1") "\r\n" L("2")},
    {"#b1\nX#F#l#u#r2\nX", L("1"), L("1") "\r\n" L("2"), 1},
};

TEST(RunReconnect, GapIsMarkedOnceAndTheRunGoesOnAsItWas) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.script);
        Rig rig;
        auto& [options, files, port, log, console, settings, prompt, tokenizer, run] = rig;
        const Status gone = Status::Failure(ErrorKind::PortUnavailable, "gone");
        const std::map<char, std::function<void()>> commands = {
            {'b', [&] { run.cmdStart_Click(); }},
            {'p', [&] { run.cmdPause_Click(); }},
            {'l', [&] { port.close(), port.openResult = gone, run.portLost(gone); }},
            {'r', [&] { run.retryPort(); }},
            {'u', [&] { port.openResult = Status::Ok(); }},
            {'e', [&] { run.cmdEnd_Click(); }},
            {'n', [&] { run.cmdNewRun_Click(); }},
            {'c', [&] { options.ComPort = 3; }},
            {'F', [&] { files.writeLimit = files.files["Log1.txt"].size(); }}};
        run.cmdNewRun_Click();
        for (const char* s = c.script; *s; ++s) {
            if (*s == '#') {
                commands.at (*++s)();
            } else {
                tokenizer.MSComm1_OnComm(std::string_view(s, 1));
            }
        }
        run.reportLogFailure();
        EXPECT_EQ(files.files["Log1.txt"] + files.files["Log2.txt"], c.logs);
        EXPECT_EQ(console.text(), c.console);
        EXPECT_EQ(prompt.shown.size(), c.prompts);
        EXPECT_EQ(run.portNotice(),
                  run.waitingForPort() ? "Com 1 was lost (gone). Reconnecting..." : "");
        EXPECT_EQ(port.isOpen(), run.runOpen() && !run.waitingForPort());
        EXPECT_EQ(port.number, 1);
    }
}

// KESTRIN_COM<N> overrides the configuration file for one launch; the file
// overrides /dev/ttyUSB<N-1>. nullptr: not set.
TEST(PortNaming, EnvironmentThenFileThenDefault) {
    const char* cases[][3] = {{nullptr, nullptr, "/dev/ttyUSB2"},
                              {nullptr, "/dev/serial/by-id/a", "/dev/serial/by-id/a"},
                              {"/dev/pts/7", "/dev/ttyACM0", "/dev/pts/7"},
                              {"", "/dev/ttyACM0", "/dev/ttyACM0"},
                              {nullptr, "", "/dev/ttyUSB2"}};
    for (const auto& [environment, configured, device] : cases) {
        environment ? setenv("KESTRIN_COM3", environment, 1) : unsetenv("KESTRIN_COM3");
        std::map<int, std::string> file{{2, "/dev/other"}};
        if (configured) file[3] = configured;
        SetConfiguredPortDevices(file);
        EXPECT_EQ(DevicePathForPort(3), device);
    }
    unsetenv("KESTRIN_COM3");
    SetConfiguredPortDevices({});
}

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
        "  or:  kestrin --compare [OPTIONS] BEFORE AFTER\n"
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

// A folder that cannot be made leaves the working directory (a launch that
// makes and enters it is ctest's desktop_launch).
TEST(WorkFolderTest, DesktopLaunchThatCannotMakeTheFolderSaysWhy) {
    const test::TempDir dir;
    const test::ScopedCwd cwd(dir.path());
    std::filesystem::create_directories(dir.file("config"));
    test::WriteWholeFile(dir.file("config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    test::WriteWholeFile(dir.file("file"), "");
    const char* names[] = {"HOME", "XDG_CONFIG_HOME"};  // put back at the end
    std::optional<std::string> saved[2];
    for (int i = 0; i < 2; ++i)
        if (const char* value = std::getenv(names[i])) saved[i] = value;
    ::setenv("HOME", dir.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    ::setenv("HOME", dir.file("file").c_str(), 1);
    EXPECT_EQ(EnterDesktopWorkFolder(),
              "Kestrin cannot work in the folder " + dir.file("file/Docs/Kestrin") +
                  ": Not a directory.\r\n\r\nIts files go to " + dir.path() + " instead.");
    EXPECT_EQ(std::filesystem::current_path(), dir.path());
    for (int i = 0; i < 2; ++i)
        saved[i] ? ::setenv(names[i], saved[i]->c_str(), 1) : ::unsetenv(names[i]);
}

}  // namespace
}  // namespace kestrin
