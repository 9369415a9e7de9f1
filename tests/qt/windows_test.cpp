// SPDX-License-Identifier: GPL-3.0-or-later
// The windows over real pseudo-terminals. The run states, the log and the
// messages are RunControl's and tested without a window; here is the wiring,
// what only a window shows, and the faults that only real ports show: a
// second copy of the program on the same port and a device that goes away and
// comes back. (What a killed program leaves is what was handed over: the log
// tests show each ended line handed over with its chunk, and a run's log is
// read here while the run goes on.)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <map>
#include <utility>

#include <qcustomplot.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>
#include <filesystem>

#include "analysis/qt/live_plot_window.h"
#include "analysis/qt/log_plot.h"
#include "display/qt/rx_indicator.h"
#include "log/qt/save_options_dialog.h"
#include "port/qt/port_config.h"
#include "port/qt/qt_serial_port.h"
#include "support/main_window_fixture.h"
#include "support/pty_pair.h"
#include "viewer/qt/settings_comparison.h"
#include "viewer/qt/settings_viewer.h"
#include "viewer/qt/zone_grid_view.h"
#include "viewer/visited_zones.h"

using namespace kestrin;
using namespace kestrin::test;

namespace {

// Keeps what a port hands over, and how many chunks it took.
struct Recorder : SerialListener {
    void onReceive(std::string_view bytes) override {
        received += bytes;
        ++chunks;
    }
    std::string received;
    int chunks = 0;
};

constexpr int kZone215 = 19;  // row 1, column 3

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
        QCOMPARE(f.log(1), line);  // handed to the file with its chunk, before any sync
        QTRY_VERIFY(!rx->tmrRxDelay()->isActive());  // until they stop
        QVERIFY(circle->fillColor() == circle->restingColor() && !rx->tmrTurnOffRx()->isActive());

        f.button("cmdEnd")->click();

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

    // The sums themselves are AddZones' and tested without a window.
    void viewerAddsTheLargeZonesWhileTickedAndShowsTextsAsTheyStand() {
        SettingsTable table;  // small zone 0 (slot 100) lies in large zone 0 (slot 1000)
        table.slot(100) = "<b>1</b>";
        table.slot(1000) = "+4";
        RecordSource source;
        VisitedZones visited;
        QPointer<SettingsViewer> viewer = new SettingsViewer(table, source, visited);
        auto* box = viewer->findChild<QCheckBox*>("chkAddZones");
        auto* zone = viewer->findChild<QLabel*>("lblZone_0");
        QVERIFY(!viewer->isModal() && !box->isChecked() && zone->textFormat() == Qt::PlainText);
        QCOMPARE(zone->text(), QString("<b>1</b>"));
        box->click();
        QCOMPARE(zone->text(), QString("+4"));
        viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(viewer.isNull());
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
        Recorder got;
        QtSerialPort first, second;
        first.setListener(&got);
        qputenv("KESTRIN_COM1", QByteArray::fromStdString(pty.slavePath()));
        QVERIFY(first.open().ok());
        for (const std::string& device : {pty.slavePath(), link}) {
            qputenv("KESTRIN_COM1", QByteArray::fromStdString(device));
            QCOMPARE(int(second.open().kind), int(ErrorKind::PortUnavailable));
        }
        QVERIFY(pty.write("1"));
        QTRY_COMPARE(got.received, std::string("1"));
        first.close();  // once the first copy is gone the port is free again
        QVERIFY(second.open().ok());
        qunsetenv("KESTRIN_COM1");
    }

    // The port reads in paced chunks: what arrives by single bytes, by lines, after a quiet
    // spell and in bursts larger than one chunk must still reach the listener whole, in order,
    // by the chunk.
    void everyByteArrivesInOrderByTheChunk() {
        PtyPair pty;
        qputenv("KESTRIN_COM1", QByteArray::fromStdString(pty.slavePath()));
        QtSerialPort port;
        Recorder recorder;
        port.setListener(&recorder);
        QVERIFY(port.setCommPort(1).ok());
        QVERIFY(port.open().ok());

        std::string burst;
        while (burst.size() < 3 * QtSerialPort::kBurstBytes) burst += "4000 12 101 35 80\r\n";
        const std::string pieces[] = {"A", " 12-3 B,5\r\n", "X", burst, "\r\n", burst};
        std::string sent;
        for (const std::string& piece : pieces) {
            QVERIFY(pty.write(piece));
            sent += piece;
            QTRY_COMPARE(recorder.received.size(), sent.size());
            // Quiet for longer than the pause: the port goes back to waiting
            // for the next byte, and that byte must still wake it.
            QTest::qWait(2 * kRhythmMs);
        }
        QCOMPARE(recorder.received, sent);
        // Handed over by the chunk, not by the byte.
        QVERIFY(recorder.chunks < static_cast<int>(sent.size() / 100));

        qunsetenv("KESTRIN_COM1");
    }

    // A run survives its device going away and coming back under the same name.
    void runGoesOnIntoTheSameLogAfterTheDeviceReturns() {
        constexpr int kWaitMs = 15000;  // a loaded machine may be slow to see the hang-up
        MainWindowFixture f;
        const std::string link = f.dir.file("by-id-adapter");
        std::filesystem::create_symlink(f.pty.slavePath(), link);
        qputenv("KESTRIN_COM1", QByteArray::fromStdString(link));
        f.startRun();
        QVERIFY(f.pty.write("1 2\n3 4\n5 6"));
        QTRY_COMPARE(f.log(1), std::string("1\t2\t\t\t\t\t\r\n3\t4\t\t\t\t\t\r\n5\t"));
        f.pty.closeMaster();  // pulled out in the middle of a line
        QTRY_VERIFY_WITH_TIMEOUT(f.window->windowTitle().startsWith("Kestrin - Com 1 was lost"),
                                 kWaitMs);

        PtyPair back;  // back under a new device node
        std::filesystem::remove(link);
        std::filesystem::create_symlink(back.slavePath(), link);
        QTRY_COMPARE_WITH_TIMEOUT(f.window->windowTitle(), QString("Kestrin"), kWaitMs);
        QVERIFY(back.write("7 8\n9\nX"));
        QTRY_COMPARE(f.log(1), std::string("1\t2\t\t\t\t\t\r\n3\t4\t\t\t\t\t\r\n5\t\r\n\r\n"
                                           "7\t8\t\t\t\t\t\r\n9\t\t\t\t\t\r\n"));
        QVERIFY(f.prompt.shown.empty());
    }

    void portFileNamesDevicesAndDamageMeansNone() {
        TempDir dir;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path()));
        std::filesystem::create_directory(dir.file("Kestrin"));
        const std::string file = dir.file("Kestrin/Kestrin.conf");
        // Good, then damaged: no INI at all, or a broken section after a good entry.
        const struct {
            std::string content;
            const char* com1;
        } cases[] = {{"[ports]\ncom1=/dev/serial/by-id/a\ncom2=\n", "/dev/serial/by-id/a"},
                     {std::string("\xff\xfe\0[po\nrts]\n=com1\n", 17), "/dev/ttyUSB0"},
                     {"[ports]\ncom1=/dev/ttyACM0\n[broken\n", "/dev/ttyUSB0"}};
        for (const auto& c : cases) {
            WriteWholeFile(file, c.content);
            LoadConfiguredPorts();
            QCOMPARE(DevicePathForPort(1), std::string(c.com1));
            QCOMPARE(DevicePathForPort(2), std::string("/dev/ttyUSB1"));
        }
        qunsetenv("XDG_CONFIG_HOME");
        SetConfiguredPortDevices({});
    }

    // The captured settings beside a file's: exactly the changed cells are marked.
    void compareSettingsMarksTheChangedCells() {
        MainWindowFixture f;
        QStringList names;
        for (QAction* action : f.window->findChild<QMenu*>("mnuView")->actions())
            names << action->objectName();
        QCOMPARE(names, QStringList({"mnuViewLivePlot", "mnuViewCompareSettings"}));
        // Values 1 and 40 are small zones 1 and 40; value 150 is no small zone.
        const auto line = [](std::map<int, std::string> values) {
            std::string text = "BOT" + std::string(45, '9');
            for (int v = 0; v < 193; ++v) text += (values.count(v) ? values[v] : "+3") + ",";
            return text + "EOT,";
        };
        WriteWholeFile(f.dir.file("Settings.txt"), line({}));
        f.click("cmdLoadSettings");
        WriteWholeFile(f.dir.file("Damaged.txt"), line({}) + ",");
        QVERIFY(!f.window->compareSettings(f.dir.file("Damaged.txt")));
        QCOMPARE(f.prompt.shown.size(), std::size_t{1});
        QVERIFY(f.prompt.shown[0].text.find("not a complete settings file") != std::string::npos);

        WriteWholeFile(f.dir.file("Corrected.txt"), line({{1, "+4"}, {40, "-2"}, {150, "+9"}}));
        QPointer<SettingsComparison> compared =
            f.window->compareSettings(f.dir.file("Corrected.txt"));
        QVERIFY(compared && compared->isVisible());
        QVERIFY(compared->width() <= compared->screen()->availableGeometry().width());
        QCOMPARE(compared->objectName(), QStringLiteral("frmCompareSettings"));
        for (int p = 0; p < ZoneView::kSmallZones; ++p) {
            const bool changed = p == 1 || p == 40;
            QCOMPARE(compared->capturedGrid()->cell(p).marked, changed);
            QCOMPARE(compared->fileGrid()->cell(p).marked, changed);
        }
        QCOMPARE(compared->capturedGrid()->cell(40).text, std::string("+3"));
        QCOMPARE(compared->fileGrid()->cell(40).text, std::string("-2"));
        QCOMPARE(compared->findChild<QLabel*>("lblChanged")->text(),
                 QStringLiteral("Changed: 2 of 144 small zones; 1 other values"));
        compared->close();
        QTRY_VERIFY(!compared);
    }

    void streamReachesThePlotAndTheGrid() {
        MainWindowFixture f;
        auto* mnuViewLivePlot = f.window->findChild<QAction*>("mnuViewLivePlot");
        QVERIFY(mnuViewLivePlot);
        mnuViewLivePlot->trigger();
        QPointer<LivePlotWindow> live = f.window->livePlot();
        QVERIFY(live && live->isVisible());

        f.click("cmdViewSettings");
        SettingsViewer* viewer = f.window->settingsViewer();
        auto* cell = viewer->findChild<QLabel*>("lblZone_19");
        const QString cellText = cell->text();

        // Ready, not logging: the plot and the grid take every line all the same.
        f.click("cmdNewRun");
        QVERIFY(f.pty.write(
            "RPM TPS MAP CLT IAT O2 ADV PW ZON\r\n3000 10 201 80 30 130 10 20 35\r\n3"));
        QTRY_COMPARE(live->channels().dataLines().size(), std::size_t{1});
        f.click("cmdSetMarker");
        QVERIFY(f.pty.write("100 10 101 80 30 104 10 20 35\r\n1 2 3\r\nX"));
        QTRY_COMPARE(live->channels().markers().size(), std::size_t{1});

        live->refresh();
        QCustomPlot* plot = live->plot()->customPlot();
        QCOMPARE(plot->graph(plot->graphCount() - 1)->dataCount(), 2);

        // Looking back stops following; Follow returns to the newest lines.
        QVERIFY(live->following());
        plot->xAxis->setRange(-10, -5);
        QVERIFY(!live->following());
        live->findChild<QPushButton*>("cmdFollow")->click();
        QVERIFY(live->following());
        QCOMPARE(plot->xAxis->range().upper, LivePlotWindow::kShownSeconds);

        ZoneGridView* grid = viewer->grid();
        QTRY_COMPARE(grid->outlinedCell(), std::optional<int>(kZone215));
        QVERIFY(grid->tintAlpha(kZone215) > 0 && grid->tintAlpha(0) == 0);
        QCOMPARE(cell->text(), cellText);

        f.click("cmdEnd");
        QVERIFY(!grid->outlinedCell() && grid->tintAlpha(kZone215) == 0);
        viewer->close();
        live->close();
        QTRY_VERIFY(live.isNull());
    }

    void plotLetsGoOfDroppedLinesAndReadsTheRest() {
        LogChannels channels(ChannelSource::Stream);
        LogPlot plot;
        plot.setChannels(&channels);
        plot.setShownColumns({0});
        const std::vector<std::string> fields{"1", "2", "3",   "4", "5",    "6", "7",
                                              "8", "9", "215", "",  "14.7", "0"};
        const Record line{LineKind::Data, fields, 215, 1470, 0};
        for (int key = 0; key < 10; ++key) channels.AppendRecord(line, key);
        channels.AppendMarker(4.5);
        plot.refreshAppended();
        channels.DropBefore(5);
        for (int key = 10; key < 12; ++key) channels.AppendRecord(line, key);
        plot.refreshAppended();
        // The graph holds what is in view once it is drawn.
        plot.customPlot()->xAxis->setRange(0, 12);
        plot.customPlot()->replot();
        QCPGraph* graph = plot.customPlot()->graph(plot.customPlot()->graphCount() - 1);
        QCOMPARE(graph->dataCount(), 7);
        QCOMPARE(graph->data()->constBegin()->key, 5.0);
        QCOMPARE(plot.customPlot()->graph(0)->dataCount(), 0);  // the marker went with its lines
        plot.moveCursorTo(11);
        QCOMPARE(plot.readout(), QStringLiteral("Line 11   1 1"));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "windows_test.moc"
