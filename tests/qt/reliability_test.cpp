// Faults from outside the program, on real files and real pseudo-terminals:
// hostile streams, a program killed while logging, a full disk, a working
// folder that cannot hold files, damaged settings files and a second copy of
// the program on the same port.
//
// The same executable also plays the program as a separate process (see
// RunLoggingChild), so a copy can be killed or made to compete for the port.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/qt/main_window.h"
#include "display/qt/console_view.h"
#include "intake/line_tokenizer.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"
#include "support/settings_dump.h"
#include "viewer/qt/settings_viewer.h"

using namespace kestrin;
using kestrin::test::PtyPair;
using kestrin::test::ReadWholeFile;
using kestrin::test::ScopedCwd;
using kestrin::test::ScriptedPrompt;
using kestrin::test::TempDir;
using kestrin::test::WriteWholeFile;

namespace {

constexpr char kChildRole[] = "KESTRIN_TEST_LOGGING_CHILD";
constexpr int kLongWaitMs = 60000;

// A unit's data line and what the log makes of it. Writers follow a line with
// a carriage return, which is ignored but lets the line end be acted on.
const std::string kUnitLine = "2480 142  31 88 41 130 22 37 53\r\n";
const std::string kUnitLineLogged =
    "2480\t142\t31\t88\t41\t130\t22\t37\t53\t325\t\t15\t-10.15\t\r\n";

// Line i of a numbered stream: ten fields, so the decoder adds nothing.
std::string NumberedLine(int i) { return std::to_string(i) + " A B C D E F G H I\r\n"; }
std::string NumberedLogged(int i) {
    return std::to_string(i) + "\tA\tB\tC\tD\tE\tF\tG\tH\tI\t\r\n";
}
std::string Numbered(int from, int to, std::string (*line)(int)) {
    std::string s;
    for (int i = from; i < to; ++i) s += line(i);
    return s;
}

// Writes everything to the unit's side of the pseudo-terminal while the event
// loop runs, so a window of this process can read it as it goes.
bool Feed(const PtyPair& pty, std::string_view bytes) {
    const int fd = pty.masterFd();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
        if (n < 0) QTest::qWait(1);
    }
    return true;
}

struct Fixture {
    Fixture() : cwd(dir.path()) {
        qputenv("KESTRIN_COM1", QByteArray::fromStdString(pty.slavePath()));
        window = std::make_unique<MainWindow>(program, &prompt);
        window->show();
    }
    ~Fixture() { qunsetenv("KESTRIN_COM1"); }

    void click(const char* name) {
        auto* b = window->findChild<QPushButton*>(name);
        QVERIFY2(b && b->isEnabled(), name);
        b->click();
    }
    bool enabled(const char* name) { return window->findChild<QPushButton*>(name)->isEnabled(); }
    bool idle() { return enabled("cmdNewRun") && !enabled("cmdEnd"); }
    std::string log(int n) { return ReadWholeFile(dir.file("Log" + std::to_string(n) + ".txt")); }
    ConsoleView* console() { return window->findChild<ConsoleView*>("txtVornOutput"); }
    std::size_t endedLines() { return console()->lineCount() - 1; }

    TempDir dir;
    ScopedCwd cwd;
    PtyPair pty;
    Program program;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> window;
};

// The largest field store seen between receive events.
struct FieldStoreWatch {
    explicit FieldStoreWatch(const LineTokenizer& tokenizer) {
        QObject::connect(&timer, &QTimer::timeout, [this, &tokenizer] {
            std::size_t bytes = 0;
            for (const std::string& f : tokenizer.fields()) bytes += f.size();
            maxBytes = std::max(maxBytes, bytes);
            maxIndex = std::max(maxIndex, int(tokenizer.fieldIndex()));
        });
        timer.start(0);
    }
    QTimer timer;
    std::size_t maxBytes = 0;
    int maxIndex = 0;
};

// Files of this process may not grow past `bytes` while it lives: writes
// past it fail with EFBIG, as on a full disk. (Only regular files count, so
// the test's output through a pipe is not affected.)
class FileSizeLimit {
  public:
    explicit FileSizeLimit(std::size_t bytes) {
        getrlimit(RLIMIT_FSIZE, &before_);
        handler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit small = before_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before_);
        signal(SIGXFSZ, handler_);
    }

  private:
    rlimit before_{};
    sighandler_t handler_;
};

// Peak resident memory of this process so far, in MiB.
long PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A copy of the program in its own process, logging in `dir` on `device`.
class LoggingChild {
  public:
    LoggingChild(const std::string& dir, const std::string& device) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildRole, "1");
        env.insert("KESTRIN_COM1", QString::fromStdString(device));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(dir));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), {});
    }
    ~LoggingChild() { kill(); }

    // Reads the child's reports until `done` holds or the time is up.
    bool waitFor(const std::function<bool()>& done, int timeoutMs = kLongWaitMs) {
        QDeadlineTimer deadline(timeoutMs);
        while (!done()) {
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning) return false;
            process.waitForReadyRead(10);
            read();
        }
        return true;
    }
    void read() {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            if (line == "logging") logging = true;
            if (line.startsWith("ended ")) ended = line.mid(6).toLongLong();
        }
    }
    void kill() {
        if (process.state() == QProcess::NotRunning) return;
        process.kill();  // SIGKILL
        process.waitForFinished();
        read();
    }

    QProcess process;
    bool logging = false;
    long long ended = 0;  // lines the child's console had ended at its last report
};

// Whether `log` is `expected` cut anywhere after `atLeast` whole lines.
bool KeepsEveryEndedLine(const std::string& log, const std::string& expected, long long atLeast) {
    if (!std::string_view(expected).starts_with(log)) return false;
    return std::count(log.begin(), log.end(), '\n') >= atLeast;
}

}  // namespace

class ReliabilityTest : public QObject {
    Q_OBJECT
  private slots:
    void hostileStreamsKeepTheFieldStoreBoundedAndTheNextLineExact();
    void killedWhileLoggingKeepsEveryEndedLine();
    void secondCopyOnTheSamePortChangesNothing();
    void fullDiskIsToldOnceAndKeepsEverythingBefore();
    void folderThatCannotHoldFilesIsToldAndNothingIsWrittenElsewhere();
    void damagedSettingsFilesAreReportedAndLeaveTheTableEmpty();
};

void ReliabilityTest::hostileStreamsKeepTheFieldStoreBoundedAndTheNextLineExact() {
    std::string binary;
    for (int i = 0; i < 200000; ++i) binary += char((i * 131 + i / 256) % 256);
    std::string manyFields;
    for (int i = 0; i < 5000; ++i) manyFields += std::to_string(i) + ' ';
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"a line of 5000 fields", manyFields},
        {"a field of 2 MiB", std::string(2 << 20, '7')},
        {"binary bytes with NULs", binary},
        {"only carriage returns", std::string(200000, '\r')},
        {"only spaces", std::string(200000, ' ')},
    };
    const std::size_t storeLimit = LineTokenizer::kSlots * LineTokenizer::kMaxFieldBytes;
    for (const auto& c : cases) {
        Fixture f;
        f.click("cmdNewRun");
        f.click("cmdStart");
        FieldStoreWatch watch(f.window->tokenizer());
        QVERIFY2(Feed(f.pty, c.bytes + "\n" + kUnitLine + "\r"), c.name);
        QTRY_VERIFY2_WITH_TIMEOUT(f.log(1).ends_with("\r\n" + kUnitLineLogged), c.name,
                                  kLongWaitMs);
        QVERIFY2(watch.maxBytes <= storeLimit && watch.maxIndex <= LineTokenizer::kSlots, c.name);
        QVERIFY2(f.console()->text().ends_with("\r\n" + kUnitLineLogged), c.name);
        QVERIFY2(f.prompt.shown.empty(), c.name);
        f.click("cmdEnd");
        QVERIFY2(f.log(1).ends_with("\r\n" + kUnitLineLogged), c.name);
    }
}

void ReliabilityTest::killedWhileLoggingKeepsEveryEndedLine() {
    TempDir dir;
    PtyPair pty;
    LoggingChild child(dir.path(), pty.slavePath());
    QVERIFY(child.waitFor([&] { return child.logging; }));

    // The unit keeps sending, up to 100 lines ahead of the program, which is
    // killed at some point after its console has ended at least 300 lines.
    int sent = 0;
    while (child.ended < 300) {
        QVERIFY(Feed(pty, Numbered(sent, sent + 20, NumberedLine)));
        sent += 20;
        QVERIFY(child.waitFor([&] { return child.ended >= sent - 100; }));
    }
    QVERIFY(Feed(pty, Numbered(sent, sent + 40, NumberedLine)));
    sent += 40;
    child.kill();

    const std::string log = ReadWholeFile(dir.file("Log1.txt"));
    QVERIFY2(KeepsEveryEndedLine(log, Numbered(0, sent, NumberedLogged), child.ended),
             ("ended " + std::to_string(child.ended) + ", log has " + std::to_string(log.size()) +
              " bytes")
                 .c_str());
}

void ReliabilityTest::secondCopyOnTheSamePortChangesNothing() {
    Fixture second;
    std::filesystem::create_directory(second.dir.file("first"));
    LoggingChild first(second.dir.file("first"), second.pty.slavePath());
    QVERIFY(first.waitFor([&] { return first.logging; }));

    // The port is held: New Run of the second copy is silent and changes
    // nothing, whether it names the device by the same path or another one.
    const std::string link = second.dir.file("unit-link");
    std::filesystem::create_symlink(second.pty.slavePath(), link);
    for (const std::string& device : {second.pty.slavePath(), link}) {
        qputenv("KESTRIN_COM1", QByteArray::fromStdString(device));
        second.click("cmdNewRun");
        QVERIFY2(second.idle(), device.c_str());
        QVERIFY(second.prompt.shown.empty());
        QCOMPARE(int(second.program.options.SequenceNumber), 0);
        QVERIFY(!std::filesystem::exists(second.dir.file("Log1.txt")));
    }

    // The first copy gets every byte.
    QVERIFY(Feed(second.pty, Numbered(0, 200, NumberedLine) + "\r"));
    QVERIFY(first.waitFor([&] { return first.ended == 200; }));
    QCOMPARE(ReadWholeFile(second.dir.file("first/Log1.txt")), Numbered(0, 200, NumberedLogged));
    QCOMPARE(second.endedLines(), std::size_t{0});

    // Once the first copy is gone, even killed, the port is free again.
    first.kill();
    second.click("cmdNewRun");
    QVERIFY(!second.idle());
    second.click("cmdStart");
    QVERIFY(Feed(second.pty, kUnitLine + "\r"));
    QTRY_COMPARE_WITH_TIMEOUT(second.log(1), kUnitLineLogged, kLongWaitMs);
}

void ReliabilityTest::fullDiskIsToldOnceAndKeepsEverythingBefore() {
    Fixture f;
    f.click("cmdNewRun");
    f.click("cmdStart");

    constexpr std::size_t kLimit = 1000;
    auto full = std::make_unique<FileSizeLimit>(kLimit);

    const std::string expected = Numbered(0, 200, NumberedLogged);
    QVERIFY(Feed(f.pty, Numbered(0, 100, NumberedLine)));
    // The last line feed waits for the next byte.
    QTRY_COMPARE_WITH_TIMEOUT(f.endedLines(), std::size_t{99}, kLongWaitMs);
    QVERIFY(Feed(f.pty, Numbered(100, 200, NumberedLine) + "\r"));
    QTRY_COMPARE_WITH_TIMEOUT(f.endedLines(), std::size_t{200}, kLongWaitMs);

    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    QVERIFY(f.prompt.shown[0].text.find("Log1.txt could not be written") != std::string::npos);
    f.console()->flushPending();
    QCOMPARE(f.console()->text(), expected);  // every line once, nothing repeated
    f.click("cmdEnd");
    QVERIFY(f.idle());
    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    // The file holds everything up to where the disk was full.
    QCOMPARE(f.log(1), expected.substr(0, kLimit));

    // With room again the next run logs normally.
    full.reset();
    f.click("cmdNewRun");
    f.click("cmdStart");
    QVERIFY(Feed(f.pty, kUnitLine + "\r"));
    QTRY_COMPARE_WITH_TIMEOUT(f.log(2), kUnitLineLogged, kLongWaitMs);
}

void ReliabilityTest::folderThatCannotHoldFilesIsToldAndNothingIsWrittenElsewhere() {
    // A working folder removed after the program went into it, and a folder
    // where the log's name is taken by a directory.
    for (const bool removed : {true, false}) {
        Fixture f;
        const std::string folder = f.dir.file("work");
        std::filesystem::create_directory(folder);
        ScopedCwd into(folder);
        if (removed) {
            std::filesystem::remove(folder);
        } else {
            std::filesystem::create_directory(folder + "/Log1.txt");
        }

        f.click("cmdNewRun");
        QVERIFY(!f.idle());
        QCOMPARE(f.prompt.shown.size(), std::size_t{1});
        const std::string why = removed ? "No such file or directory" : "Is a directory";
        QCOMPARE(f.prompt.shown[0].text, "Log file Log1.txt could not be created: " + why +
                                             ".\r\n\r\nReceived lines are shown but not logged.");
        f.click("cmdStart");
        QVERIFY(Feed(f.pty, kUnitLine + "\r"));
        QTRY_COMPARE_WITH_TIMEOUT(f.endedLines(), std::size_t{1}, kLongWaitMs);
        f.click("cmdEnd");
        QVERIFY(f.idle());
        QCOMPARE(f.prompt.shown.size(), std::size_t{1});

        // Nothing landed anywhere: not beside the folder, not in it.
        std::vector<std::string> found;
        for (const auto& e : std::filesystem::recursive_directory_iterator(f.dir.path()))
            found.push_back(e.path().string());
        const std::vector<std::string> expected =
            removed ? std::vector<std::string>{}
                    : std::vector<std::string>{folder, folder + "/Log1.txt"};
        std::sort(found.begin(), found.end());
        QCOMPARE(found, expected);
    }
}

void ReliabilityTest::damagedSettingsFilesAreReportedAndLeaveTheTableEmpty() {
    const std::string valid = kestrin::test::MakeSettingsDump().file;
    const std::string corrupt = "Settings file empty or corrupt!\r\n\r\nCapture settings now?";
    std::string nulValues = "BOT";
    for (int i = 0; i < 193; ++i) nulValues += std::string("\0\x01,", 3);
    nulValues += "EOT,";

    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        std::string message;  // empty: loads without a word
    } cases[] = {
        {"200 MB without a line end (sparse)",
         [](const std::string& p) {
             WriteWholeFile(p, "");
             std::filesystem::resize_file(p, 200 << 20);
         },
         corrupt},
        {"20 MB of text without a line end",
         [](const std::string& p) { WriteWholeFile(p, std::string(20 << 20, 'A')); }, corrupt},
        {"binary that fails the check",
         [&](const std::string& p) { WriteWholeFile(p, std::string("\0\xff", 2) + valid); },
         corrupt},
        {"binary values that pass the check",
         [&](const std::string& p) { WriteWholeFile(p, nulValues); }, ""},
        {"a directory", [](const std::string& p) { std::filesystem::create_directory(p); },
         "Unknown Error21\r\n\r\nIs a directory"},
        {"a file that cannot be read",
         [](const std::string& p) { std::filesystem::create_symlink("/proc/self/mem", p); },
         "Unknown Error5\r\n\r\nInput/output error"},
    };
    for (const auto& c : cases) {
        Fixture f;
        const std::string path = f.dir.file("Settings.txt");
        // A valid file is loaded, then replaced before View Current Settings:
        // the table is full when the damaged file meets it.
        WriteWholeFile(path, valid);
        f.click("cmdLoadSettings");
        QVERIFY2(!f.program.settings.at(100).empty(), c.name);
        std::filesystem::remove(path);
        c.make(path);

        const long peakBefore = PeakMiB();
        f.click("cmdViewSettings");
        QVERIFY2(PeakMiB() - peakBefore < 100, c.name);  // the reader stops at its line limit
        QCOMPARE(f.prompt.shown.size(), c.message.empty() ? 0u : 1u);
        if (!c.message.empty()) {
            QCOMPARE(f.prompt.shown[0].text, c.message);
            for (int i = SettingsTable::kFirstLoaded; i < SettingsTable::kSize; ++i)
                QVERIFY2(f.program.settings.at(i).empty(), c.name);
        } else {
            QCOMPARE(f.program.settings.at(100), std::string("\0\x01", 2));
        }
        QVERIFY2(SettingsViewer::current() && SettingsViewer::current()->isVisible(), c.name);
        SettingsViewer::current()->close();
        QVERIFY2(f.idle(), c.name);
    }
}

// The child's side: New Run and Begin Logging in a real main window, then a
// report on stdout whenever the console has ended more lines.
int RunLoggingChild(int argc, char** argv) {
    QApplication app(argc, argv);
    Program program;
    ScriptedPrompt prompt;
    MainWindow window(program, &prompt);
    window.show();
    window.findChild<QPushButton*>("cmdNewRun")->click();
    if (window.findChild<QPushButton*>("cmdNewRun")->isEnabled()) return 2;  // port not opened
    window.findChild<QPushButton*>("cmdStart")->click();
    const auto say = [](const std::string& text) {
        const std::string line = text + "\n";
        return ::write(STDOUT_FILENO, line.data(), line.size());
    };
    say("logging");
    auto* console = window.findChild<ConsoleView*>("txtVornOutput");
    std::size_t reported = 0;
    QTimer poll;
    // Runs between receive events, so a line reported here has been handled.
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const std::size_t ended = console->lineCount() - 1;
        if (ended != reported) say("ended " + std::to_string(reported = ended));
    });
    poll.start(1);
    return app.exec();
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kChildRole)) return RunLoggingChild(argc, argv);
    QApplication app(argc, argv);
    ReliabilityTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "reliability_test.moc"
