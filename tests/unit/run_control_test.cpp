#include "app/run_control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <string>

#include "support/fake_port.h"
#include "support/memory_file_system.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

namespace kestrin {
namespace {

// The main window's run without the window: the commands, a port, the log
// and the intake that writes to it.
struct RunControlTest : ::testing::Test {
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
        tokenizer.MSComm1_OnComm("");
        test::FeedEach(text, [this](std::string_view c) { tokenizer.MSComm1_OnComm(c); });
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

TEST_F(RunControlTest, FullDiskIsToldOnceARunAndKeepsEverythingBefore) {
    files.writeLimit = 10;
    for (const std::string name : {"Log1.txt", "Log2.txt"}) {
        newRun();
        receive("12 34\r\n56 78\r\nX");
        files.writeLimit = 1000;  // room again: the failed log still gets nothing more
        receive("1\r\n2\r\nX");
        files.writeLimit = 10;
        run.syncLog();  // a failed log is left alone
        EXPECT_EQ(files.files[name], "12\t34\t\t\t\t\t");
        EXPECT_TRUE(console.text().ends_with("1\t\t\t\t\t\r\n2\t\t\t\t\t\r\n"));
        EXPECT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(box(0), "Log file " + dir.file(name) +
                              " could not be written: No space left on device." +
                              "\r\n\r\nEverything before this point is in the file. Received lines "
                              "are still shown but no longer logged.");
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

TEST(DevicePathForPort, VariableWhenSetElseTheUsbAdapterOfThatNumber) {
    ::setenv("KESTRIN_COM9", "", 1);
    EXPECT_EQ(DevicePathForPort(9), "/dev/ttyUSB8");
    ::setenv("KESTRIN_COM9", "/tmp/unit", 1);
    EXPECT_EQ(DevicePathForPort(9), "/tmp/unit");
    ::unsetenv("KESTRIN_COM9");
    EXPECT_EQ(DevicePathForPort(9), "/dev/ttyUSB8");
}

}  // namespace
}  // namespace kestrin
