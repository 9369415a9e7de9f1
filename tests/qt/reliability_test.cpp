// Faults from outside the program, on real files and real pseudo-terminals:
// hostile streams, a program killed while logging, a full disk, a working
// folder that cannot hold files, damaged settings files and a second copy of
// the program on the same port. The same executable also plays the program as
// a separate process (RunLoggingChild), so a copy can be killed or compete.
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
#include "support/main_window_fixture.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"
#include "support/settings_dump.h"
#include "viewer/qt/settings_viewer.h"

using namespace kestrin;
using namespace kestrin::test;
namespace fs = std::filesystem;

namespace {

constexpr char kChildRole[] = "KESTRIN_TEST_LOGGING_CHILD";
constexpr int kLongWaitMs = 60000;

// A unit's data line and what the log makes of it. Writers follow a line with
// a carriage return, which is ignored but lets the line end be acted on.
const std::string kUnitLine = "2480 142  31 88 41 130 22 37 53\r\n";
const std::string kUnitLineLogged =
    "2480\t142\t31\t88\t41\t130\t22\t37\t53\t325\t\t15\t-10.15\t\r\n";

// Lines [from, to) of a numbered stream, as sent or as logged: ten fields, so
// the decoder adds nothing.
std::string Numbered(int from, int to, bool logged = false) {
    std::string s;
    for (int i = from; i < to; ++i)
        s += std::to_string(i) +
             (logged ? "\tA\tB\tC\tD\tE\tF\tG\tH\tI\t\r\n" : " A B C D E F G H I\r\n");
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

struct Fixture : kestrin::test::MainWindowFixture {
    bool idle() { return enabled("cmdNewRun") && !enabled("cmdEnd"); }
    std::size_t endedLines() { return console()->lineCount() - 1; }
    std::size_t shown() { return prompt.shown.size(); }
};

// Files of this process may not grow past `bytes` while it lives: writes
// past it fail with EFBIG, as on a full disk. (Only regular files count, so
// the test's output through a pipe is not affected.)
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : handler(signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit small = before;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before);
        signal(SIGXFSZ, handler);
    }
    sighandler_t handler;
    rlimit before{};
};

long PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A copy of the program in its own process, logging in `dir` on `device`.
struct LoggingChild {
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
    bool waitFor(const std::function<bool()>& done) {
        QDeadlineTimer deadline(kLongWaitMs);
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
            logging = logging || line == "logging";
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

}  // namespace

class ReliabilityTest : public QObject {
    Q_OBJECT
  private slots:
    void hostileStreamsKeepTheFieldStoreBoundedAndTheNextLineExact() {
        std::string binary, manyFields;
        for (int i = 0; i < 200000; ++i) binary += char((i * 131 + i / 256) % 256);
        for (int i = 0; i < 5000; ++i) manyFields += std::to_string(i) + ' ';
        const std::pair<const char*, std::string> cases[] = {
            {"a line of 5000 fields", manyFields},
            {"a field of 2 MiB", std::string(2 << 20, '7')},
            {"binary bytes with NULs", binary},
            {"only carriage returns", std::string(200000, '\r')},
            {"only spaces", std::string(200000, ' ')},
        };
        for (const auto& [name, bytes] : cases) {
            Fixture f;
            f.startRun();
            // The largest field store seen between receive events.
            std::size_t maxBytes = 0;
            int maxIndex = 0;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, [&, &tokenizer = f.window->tokenizer()] {
                std::size_t bytes = 0;
                for (const std::string& field : tokenizer.fields()) bytes += field.size();
                maxBytes = std::max(maxBytes, bytes);
                maxIndex = std::max(maxIndex, int(tokenizer.fieldIndex()));
            });
            watch.start(0);
            QVERIFY2(Feed(f.pty, bytes + "\n" + kUnitLine + "\r"), name);
            QTRY_VERIFY2_WITH_TIMEOUT(f.log(1).ends_with("\r\n" + kUnitLineLogged), name,
                                      kLongWaitMs);
            QVERIFY2(maxBytes <= LineTokenizer::kSlots * LineTokenizer::kMaxFieldBytes &&
                         maxIndex <= LineTokenizer::kSlots,
                     name);
            QVERIFY2(f.console()->text().ends_with("\r\n" + kUnitLineLogged), name);
            QVERIFY2(f.shown() == 0, name);
            f.click("cmdEnd");
            QVERIFY2(f.log(1).ends_with("\r\n" + kUnitLineLogged), name);
        }
    }

    void killedWhileLoggingKeepsEveryEndedLine() {
        TempDir dir;
        PtyPair pty;
        LoggingChild child(dir.path(), pty.slavePath());
        QVERIFY(child.waitFor([&] { return child.logging; }));

        // The unit keeps sending, up to 100 lines ahead of the program, which is
        // killed at some point after its console has ended at least 300 lines.
        int sent = 0;
        for (; child.ended < 300; sent += 20) {
            QVERIFY(Feed(pty, Numbered(sent, sent + 20)));
            QVERIFY(child.waitFor([&] { return child.ended >= sent + 20 - 100; }));
        }
        QVERIFY(Feed(pty, Numbered(sent, sent + 40)));
        child.kill();

        // The log is the stream cut anywhere after the last reported line.
        const std::string log = ReadWholeFile(dir.file("Log1.txt"));
        QVERIFY2(Numbered(0, sent + 40, true).starts_with(log) &&
                     std::count(log.begin(), log.end(), '\n') >= child.ended,
                 ("ended " + std::to_string(child.ended) + ", log has " +
                  std::to_string(log.size()) + " bytes")
                     .c_str());
    }

    void secondCopyOnTheSamePortChangesNothing() {
        Fixture second;
        fs::create_directory(second.dir.file("first"));
        LoggingChild first(second.dir.file("first"), second.pty.slavePath());
        QVERIFY(first.waitFor([&] { return first.logging; }));

        // The port is held: New Run of the second copy is silent and changes
        // nothing, whether it names the device by the same path or another one.
        const std::string link = second.dir.file("unit-link");
        fs::create_symlink(second.pty.slavePath(), link);
        for (const std::string& device : {second.pty.slavePath(), link}) {
            qputenv("KESTRIN_COM1", QByteArray::fromStdString(device));
            second.click("cmdNewRun");
            QVERIFY2(second.idle() && second.shown() == 0, device.c_str());
            QCOMPARE(int(second.program.options.SequenceNumber), 0);
            QVERIFY(!fs::exists(second.dir.file("Log1.txt")));
        }

        // The first copy gets every byte.
        QVERIFY(Feed(second.pty, Numbered(0, 200) + "\r"));
        QVERIFY(first.waitFor([&] { return first.ended == 200; }));
        QCOMPARE(ReadWholeFile(second.dir.file("first/Log1.txt")), Numbered(0, 200, true));
        QCOMPARE(second.endedLines(), std::size_t{0});

        // Once the first copy is gone, even killed, the port is free again.
        first.kill();
        second.startRun();
        QVERIFY(Feed(second.pty, kUnitLine + "\r"));
        QTRY_COMPARE_WITH_TIMEOUT(second.log(1), kUnitLineLogged, kLongWaitMs);
    }

    void fullDiskIsToldOnceAndKeepsEverythingBefore() {
        Fixture f;
        f.startRun();
        constexpr std::size_t kLimit = 1000;
        auto full = std::make_unique<FileSizeLimit>(kLimit);

        QVERIFY(Feed(f.pty, Numbered(0, 100)));
        // The last line feed waits for the next byte.
        QTRY_COMPARE_WITH_TIMEOUT(f.endedLines(), std::size_t{99}, kLongWaitMs);
        QVERIFY(Feed(f.pty, Numbered(100, 200) + "\r"));
        QTRY_COMPARE_WITH_TIMEOUT(f.endedLines(), std::size_t{200}, kLongWaitMs);

        QCOMPARE(f.shown(), std::size_t{1});
        QVERIFY(f.prompt.shown[0].text.find("Log1.txt could not be written") != std::string::npos);
        f.console()->flushPending();
        const std::string expected = Numbered(0, 200, true);
        QCOMPARE(f.console()->text(), expected);  // every line once, nothing repeated
        f.click("cmdEnd");
        QVERIFY(f.idle());
        QCOMPARE(f.shown(), std::size_t{1});
        QCOMPARE(f.log(1), expected.substr(0, kLimit));  // everything up to where the disk was full

        // With room again the next run logs normally.
        full.reset();
        f.startRun();
        QVERIFY(Feed(f.pty, kUnitLine + "\r"));
        QTRY_COMPARE_WITH_TIMEOUT(f.log(2), kUnitLineLogged, kLongWaitMs);
    }

    void folderThatCannotHoldFilesIsToldAndNothingIsWrittenElsewhere() {
        // A working folder removed after the program went into it, and a folder
        // where the log's name is taken by a directory.
        for (const bool removed : {true, false}) {
            Fixture f;
            const std::string folder = f.dir.file("work");
            fs::create_directory(folder);
            ScopedCwd into(folder);
            removed ? void(fs::remove(folder)) : void(fs::create_directory(folder + "/Log1.txt"));

            f.click("cmdNewRun");
            QVERIFY(!f.idle());
            QCOMPARE(f.shown(), std::size_t{1});
            const std::string why = removed ? "No such file or directory" : "Is a directory";
            QCOMPARE(f.prompt.shown[0].text,
                     "Log file Log1.txt could not be created: " + why +
                         ".\r\n\r\nReceived lines are shown but not logged.");
            f.click("cmdStart");
            QVERIFY(Feed(f.pty, kUnitLine + "\r"));
            QTRY_COMPARE_WITH_TIMEOUT(f.endedLines(), std::size_t{1}, kLongWaitMs);
            f.click("cmdEnd");
            QVERIFY(f.idle());
            QCOMPARE(f.shown(), std::size_t{1});

            // Nothing landed anywhere: not beside the folder, not in it.
            std::vector<std::string> found;
            for (const auto& e : fs::recursive_directory_iterator(f.dir.path()))
                found.push_back(e.path().string());
            std::sort(found.begin(), found.end());
            QCOMPARE(found, (removed ? std::vector<std::string>{}
                                     : std::vector<std::string>{folder, folder + "/Log1.txt"}));
        }
    }

    void damagedSettingsFilesAreReportedAndLeaveTheTableEmpty() {
        const std::string valid = MakeSettingsDump().file;
        const std::string corrupt = "Settings file empty or corrupt!\r\n\r\nCapture settings now?";
        std::string nulValues = "BOT";
        for (int i = 0; i < 193; ++i) nulValues += std::string("\0\x01,", 3);
        nulValues += "EOT,";
        const auto write = [](std::string bytes) {
            return [bytes](const std::string& p) { WriteWholeFile(p, bytes); };
        };

        const struct {
            const char* name;
            std::function<void(const std::string&)> make;
            std::string message;  // empty: loads without a word
        } cases[] = {
            {"200 MB without a line end (sparse)",
             [](const std::string& p) {
                 WriteWholeFile(p, "");
                 fs::resize_file(p, 200 << 20);
             },
             corrupt},
            {"20 MB of text without a line end", write(std::string(20 << 20, 'A')), corrupt},
            {"binary that fails the check", write(std::string("\0\xff", 2) + valid), corrupt},
            {"binary values that pass the check", write(nulValues), ""},
            {"a directory", [](const std::string& p) { fs::create_directory(p); },
             "Unknown Error21\r\n\r\nIs a directory"},
            {"a file that cannot be read",
             [](const std::string& p) { fs::create_symlink("/proc/self/mem", p); },
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
            fs::remove(path);
            c.make(path);

            const long peakBefore = PeakMiB();
            f.click("cmdViewSettings");
            QVERIFY2(PeakMiB() - peakBefore < 100, c.name);  // the reader stops at its line limit
            QCOMPARE(f.shown(), c.message.empty() ? 0u : 1u);
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
};

// The child's side: a real main window logging, reporting "logging" and then,
// between receive events, how many lines its console has ended.
int RunLoggingChild(int argc, char** argv) {
    QApplication app(argc, argv);
    Program program;
    ScriptedPrompt prompt;
    MainWindow window(program, &prompt);
    window.show();
    auto* newRun = window.findChild<QPushButton*>("cmdNewRun");
    newRun->click();
    if (newRun->isEnabled()) return 2;  // port not opened
    window.findChild<QPushButton*>("cmdStart")->click();
    const auto say = [](const std::string& text) {
        const std::string line = text + "\n";
        return ::write(STDOUT_FILENO, line.data(), line.size());
    };
    say("logging");
    auto* console = window.findChild<ConsoleView*>("txtVornOutput");
    std::size_t reported = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (console->lineCount() - 1 != reported)
            say("ended " + std::to_string(reported = console->lineCount() - 1));
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
