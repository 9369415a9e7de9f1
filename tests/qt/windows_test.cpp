// The windows over real pseudo-terminals. The run states, the log and the
// messages are RunControl's and tested without a window; here is the wiring,
// what only a window shows, and the faults that only real ports and processes
// show: a program killed while logging (this executable again, as a child) and
// a second copy of the program on the same port.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>
#include <filesystem>

#include "display/qt/rx_indicator.h"
#include "log/qt/save_options_dialog.h"
#include "port/qt/qt_serial_port.h"
#include "support/main_window_fixture.h"
#include "support/pty_pair.h"
#include "viewer/qt/settings_viewer.h"
#include "viewer/visited_zones.h"

using namespace kestrin;
using namespace kestrin::test;

namespace {

// Field by field, as the intake appends them, then laid out.
void AppendLines(ConsoleView& view, int count) {
    for (int i = 0; i < count; ++i)
        for (const char* piece : {"98\t", "14.7\t", "\r\n"}) view.AppendConsole(piece);
    view.flushPending();
    QApplication::processEvents();
}

// The newest line is in view.
bool Following(const ConsoleView& view) {
    const QPoint last = view.pointAt(view.length());
    return view.verticalScrollBar()->value() == view.verticalScrollBar()->maximum() &&
           last.y() >= 0 && last.y() + view.lineHeight() <= view.viewport()->height();
}

// The viewport as painting has left it on the screen, and as a drawing of
// the whole viewport from scratch gives it: the two must not differ.
bool ScreenMatchesAFullDrawing(ConsoleView& view) {
    AppendLines(view, 0);
    const QPoint at = view.viewport()->mapTo(view.window(), QPoint(0, 0));
    const QSize size = view.viewport()->size();
    const QImage screen =
        QGuiApplication::primaryScreen()
            ->grabWindow(view.window()->winId(), at.x(), at.y(), size.width(), size.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    return screen == view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Lines [from, to) of a numbered stream, as sent or as logged.
std::string Numbered(int from, int to, bool logged = false) {
    std::string s;
    for (int i = from; i < to; ++i)
        s += std::to_string(i) +
             (logged ? "\tA\tB\tC\tD\tE\tF\tG\tH\tI\t\r\n" : " A B C D E F G H I\r\n");
    return s;
}

// The killed program: a main window logging, writing how many lines its console has ended.
int RunLoggingChild(int argc, char** argv) {
    QApplication app(argc, argv);
    Program program;
    ScriptedPrompt prompt;
    MainWindow window(program, &prompt);
    window.show();
    window.findChild<QPushButton*>("cmdNewRun")->click();
    window.findChild<QPushButton*>("cmdStart")->click();
    auto* console = window.findChild<ConsoleView*>("txtVornOutput");
    std::size_t reported = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (console->lineCount() == reported) return;
        const std::string line = std::to_string((reported = console->lineCount()) - 1) + "\n";
        (void)!::write(STDOUT_FILENO, line.data(), line.size());
    });
    poll.start(1);
    return app.exec();
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT
  private slots:
    void consoleFollowsAtTheEndStaysPutElsewhereAndCopiesLatin1() {
        ConsoleView view;
        view.resize(400, 200);
        view.show();
        AppendLines(view, 200);
        QVERIFY(view.verticalScrollBar()->maximum() > 0 && Following(view));
        view.AppendConsole(std::string(300, '7') + "\t\r\n");  // brings the horizontal bar
        AppendLines(view, 5);
        QVERIFY(view.horizontalScrollBar()->isVisible() && Following(view));
        QScrollBar* bar = view.verticalScrollBar();
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // the user, one line up
        const int kept = bar->value();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(30, 30));
        AppendLines(view, 500);
        QCOMPARE(bar->value(), kept);  // neither the click nor new lines move it
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        AppendLines(view, 10);
        QVERIFY(Following(view));

        view.clear();
        view.AppendConsole("ab\tc\xE9z\r\nxy\t\r\n" + std::string(4 << 20, '5'));
        AppendLines(view, 1);  // a huge line stays within the scroll bar's range
        QVERIFY(view.horizontalScrollBar()->maximum() <= std::numeric_limits<int>::max() / 2);
        const auto at = [&](std::size_t offset) {
            return view.pointAt(offset) + QPoint(1, view.lineHeight() / 2);
        };
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at(1));
        QTest::mouseMove(view.viewport(), at(9));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at(9));
        QCOMPARE(view.selectedText(), std::string("b\tc\xE9z\r\nx"));
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text().toLatin1().toStdString(), view.selectedText());
    }

    void consoleDrawsOnlyWhatChangedAndTheScreenShowsAllOfIt() {
        ConsoleView view;
        view.resize(400, 200);
        view.show();
        QScrollBar* bar = view.verticalScrollBar();
        // Short text: the last line grows where it stands.
        for (const char* piece : {"12\t", "34\t", "\r\n", "5"}) {
            view.AppendConsole(piece);
            QVERIFY2(ScreenMatchesAFullDrawing(view), piece);
        }
        // Following: the lines that stay move up, the new ones are drawn below.
        for (int lines : {30, 1, 0, 2}) {
            AppendLines(view, lines);
            view.AppendConsole("6\t7");
            QVERIFY(ScreenMatchesAFullDrawing(view) && Following(view));
        }
        // Scrolled away by the user, new text does not touch the view.
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QVERIFY(ScreenMatchesAFullDrawing(view));
        AppendLines(view, 3);
        view.AppendConsole("8\t");
        QVERIFY(ScreenMatchesAFullDrawing(view));
        // Back at the end, and scrolled sideways along a long line.
        view.AppendConsole(std::string(200, '7') + "\r\n");
        bar->setValue(bar->maximum());
        view.horizontalScrollBar()->setValue(30);
        view.AppendConsole("9\t9");
        QVERIFY(ScreenMatchesAFullDrawing(view));
        AppendLines(view, 1);
        QVERIFY(ScreenMatchesAFullDrawing(view));
    }

    void mainWindowLogsFlashesAndSavesOptions() {
        MainWindowFixture f;
        auto* circle = f.window->findChild<RxCircle*>("shaRxCircle");
        auto* rx = f.window->findChild<RxIndicator*>();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::keyClick(f.window.get(), Qt::Key_Return);  // Enter is New Run
        QVERIFY(!f.enabled("cmdNewRun") && f.enabled("cmdEnd"));
        f.button("cmdStart")->click();
        QVERIFY(f.pty.write("A 12-3 B,5\r\nX"));
        QTRY_VERIFY(rx->tmrRxDelay()->isActive());  // characters flash the circle
        const QColor before = circle->fillColor();
        rx->tmrRxDelay_Timer();
        QVERIFY(circle->fillColor() != before);
        const std::string line = "A\t12\t-3\tB,5\t\t\t\t-15.08\t\r\n";
        QTRY_COMPARE(f.console()->text(), line);
        QCOMPARE(f.log(1), line);                    // handed over with its chunk, before any timer
        QTRY_VERIFY(!rx->tmrRxDelay()->isActive());  // until they stop
        QVERIFY(circle->fillColor() == circle->restingColor() && !rx->tmrTurnOffRx()->isActive());

        f.button("cmdEnd")->click();
        QVERIFY(f.enabled("cmdNewRun") && f.enabled("cmdViewSettings"));

        qputenv("KESTRIN_COM4", f.dir.file("absent").c_str());
        f.program.options.SequenceNumber = 3;
        SaveOptionsDialog dialog(f.program.options, f.prompt);
        QCOMPARE(dialog.findChild<QLineEdit*>("txtSavePath")->text(), QString("Log3.txt"));
        dialog.findChild<QRadioButton*>("optComma")->click();
        dialog.comComPort_Click(3);
        QCOMPARE(f.prompt.shown.back().text,
                 std::string("Com 4 does not exist.\r\n\r\nPlease correct the com port setting."));
        dialog.findChild<QPushButton*>("cmdOK")->click();
        QVERIFY(f.program.options.SeparatorMode == Separator::Comma &&
                f.program.options.ComPort == 4 && f.program.options.SequenceNumber == 1);
        qunsetenv("KESTRIN_COM4");
    }

    void viewerAddsTheLargeZonesWhileTickedAndShowsTextsAsTheyStand() {
        // Small zones 0, 1 and 16 (slots 100, 105, 200) and large zone 0 (slot 1000) are one block.
        SettingsTable table;
        for (const auto& [slot, text] :
             {std::pair{100, "<b>1</b>"}, {105, "AB"}, {180, "999"}, {200, "-3"}, {1000, "+4"}})
            table.slot(slot) = text;
        RecordSource source;
        VisitedZones visited;
        QPointer<SettingsViewer> viewer = new SettingsViewer(table, source, visited);
        auto* box = viewer->findChild<QCheckBox*>("chkAddZones");
        const auto zones = [&] {
            QStringList texts;
            for (int p : {0, 1, 16})
                texts << viewer->findChild<QLabel*>(QString("lblZone_%1").arg(p))->text();
            return texts.join(' ');
        };
        QVERIFY(!viewer->isModal() && !box->isChecked());
        QCOMPARE(zones(), QString("<b>1</b> AB -3"));  // slot 180 lies in a row gap
        QCOMPARE(viewer->findChild<QLabel*>("lblZone_0")->textFormat(), Qt::PlainText);
        for (int round = 0; round < 2; ++round) {
            box->click();
            QCOMPARE(zones(), QString("+4 +4 +1"));  // not numbers count as 0 or carry the last
            box->click();
            QCOMPARE(zones(), QString("<b>1</b> AB -3"));
        }
        // The next view reads the table anew.
        box->click();
        table.slot(100) = "7";
        box->click();
        box->click();
        QCOMPARE(zones(), QString("+11 +11 +1"));
        viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(viewer.isNull());
    }

    void killedWhileLoggingKeepsEveryEndedLine() {
        TempDir dir;
        PtyPair pty;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KESTRIN_TEST_CHILD", "1");
        env.insert("KESTRIN_COM1", QString::fromStdString(pty.slavePath()));
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(QString::fromStdString(dir.path()));
        child.start(QCoreApplication::applicationFilePath(), {});
        long long ended = -1;
        const auto read = [&] {
            while (child.canReadLine()) ended = child.readLine().trimmed().toLongLong();
        };
        // The unit stays up to 100 lines ahead of the program, which is killed after 400.
        for (int sent = 0; sent <= 400; sent += 20) {
            QVERIFY(pty.write(Numbered(sent, sent + 20)));
            while (ended < sent - 80 && child.waitForReadyRead(60000)) read();
        }
        child.kill();  // SIGKILL
        child.waitForFinished();
        read();
        const std::string log = ReadWholeFile(dir.file("Log1.txt"));
        QVERIFY(ended > 300 && Numbered(0, 420, true).starts_with(log));
        QVERIFY2(std::count(log.begin(), log.end(), '\n') >= ended, std::to_string(ended).c_str());
    }

    void portIsReadWhileTheLogFailureBoxWaitsForItsClick() {
        MainWindowFixture f;
        // Every line at 64 bytes: 2000 lines are far more than a serial line's buffer holds.
        std::string line = "4000 12 101 35 80 999999999 1 1 35";
        line.resize(62, '7');
        line += "\r\n";
        constexpr int kLines = 2000;
        // The box waits until the unit has sent every line, as a person would
        // while reading it; nothing may wait for the box meanwhile.
        struct WaitingPrompt : ScriptedPrompt {
            std::function<void()> whileShown;
            PromptAnswer show(std::string_view text, std::string_view title,
                              PromptButtons buttons) override {
                const PromptAnswer answer = ScriptedPrompt::show(text, title, buttons);
                if (whileShown) std::exchange(whileShown, nullptr)();
                return answer;
            }
        } prompt;
        f.window = std::make_unique<MainWindow>(f.program, &prompt);
        int shownConsoleLines = -1;
        prompt.whileShown = [&] {
            const int master = f.pty.masterFd();
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
            std::string pending;
            for (int i = 0; i < kLines; ++i) pending += line;
            QDeadlineTimer deadline(20000);
            while (!pending.empty() && !deadline.hasExpired()) {
                const ssize_t n = ::write(master, pending.data(), pending.size());
                if (n > 0) pending.erase(0, static_cast<std::size_t>(n));
                QTest::qWait(5);
            }
            QTRY_VERIFY(f.console()->text().size() >= kLines * (line.size() + 4));
            const std::string shown = f.console()->text();
            shownConsoleLines = static_cast<int>(std::count(shown.begin(), shown.end(), '\n'));
        };
        f.startRun();
        // The log file may grow no further: the next write fails as on a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit full{0, RLIM_INFINITY};
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        ::setrlimit(RLIMIT_FSIZE, &full);
        QVERIFY(f.pty.write("1 2\r\nX"));
        QTRY_COMPARE(prompt.shown.size(), std::size_t{1});
        ::setrlimit(RLIMIT_FSIZE, &before);
        QCOMPARE(shownConsoleLines, kLines);  // the last line end waits for the next byte
        QVERIFY(prompt.shown[0].text.find("could not be written") != std::string::npos);
    }

    void secondCopyOnTheSamePortIsRefusedAndTheFirstGetsEveryByte() {
        TempDir dir;
        PtyPair pty;
        const std::string link = dir.file("unit-link");  // another path to the same device
        std::filesystem::create_symlink(pty.slavePath(), link);
        struct : SerialListener {
            void onReceive(std::string_view t) override { text += t; }
            std::string text;
        } got;
        QtSerialPort first, second;
        first.setListener(&got);
        qputenv("KESTRIN_COM1", QByteArray::fromStdString(pty.slavePath()));
        QVERIFY(first.open().ok());
        for (const std::string& device : {pty.slavePath(), link}) {
            qputenv("KESTRIN_COM1", QByteArray::fromStdString(device));
            QCOMPARE(int(second.open().kind), int(ErrorKind::PortUnavailable));
        }
        QVERIFY(pty.write(Numbered(0, 200)));
        QTRY_COMPARE(got.text, Numbered(0, 200));
        first.close();  // once the first copy is gone the port is free again
        QVERIFY(second.open().ok());
        qunsetenv("KESTRIN_COM1");
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("KESTRIN_TEST_CHILD")) return RunLoggingChild(argc, argv);
    QApplication app(argc, argv);
    WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "windows_test.moc"
