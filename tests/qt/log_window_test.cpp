// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "analysis/qt/live_plot_window.h"
#include "analysis/qt/log_loader.h"
#include "analysis/qt/log_plot.h"
#include "analysis/qt/log_window.h"
#include "analysis/zone_table.h"
#include "app/qt/main_window.h"
#include "support/log_lines.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"
#include "viewer/qt/zone_grid_view.h"

using kestrin::LogWindow;
using kestrin::Status;
using kestrin::ZoneGridView;

namespace {

// A data line of `zone` as the program logs it, with `afr` and PSI -0.87.
std::string Line(const std::string& rpm, const std::string& zone, const std::string& afr) {
    return kestrin::test::LogText(kestrin::test::DataFields(std::stoll(zone), afr, "+5", rpm));
}

}  // namespace

class LogWindowTest : public QObject {
    Q_OBJECT

    kestrin::test::TempDir dir;
    kestrin::SettingsTable settings;

    LogWindow* open(const std::string& content) {
        kestrin::test::WriteWholeFile(dir.file("Log1.txt"), content);
        Status failure;
        LogWindow* window = LogWindow::open(dir.file("Log1.txt"), settings, failure);
        if (!window) qWarning("%s", failure.reason.c_str());
        return window;
    }

  private slots:
    void showsCountsMeansAndTheTable() {
        settings.slot(kestrin::SmallZoneSlot(1)) = "-7";
        std::string log = "RPM\tTPS\tMAP\tCLT\tIAT\tO2\tADV\tPW\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n";
        // Zone 105 is small zone 1; zone 5 lies outside the grid.
        for (int i = 0; i < 12; ++i) log += Line("3000", "105", i % 2 ? "14.7" : "14.71");
        log += "\r\n" + Line("900", "110", "16") + Line("900", "5", "12") + "cut sho\r\n";
        QPointer<LogWindow> window = open(log);
        QVERIFY(window);
        ZoneGridView* grid = window->grid();
        QCOMPARE(grid->cell(1).text + grid->cell(1).corner, std::string("12\n14.7-7"));
        QVERIFY(grid->cell(1).shade.isValid() && grid->cell(1).toolTip.ends_with("Setting: -7"));
        QVERIFY(grid->cell(2).text == "1" && grid->cell(2).greyed && grid->cell(0).text.empty());
        QCOMPARE(window->findChild<QLabel*>("lblOutside")->text(),
                 QStringLiteral("Outside the grid: 1 lines in 1 zones\n"
                                "1 line left out as not the unit's"));
        window->findChild<QSpinBox*>("spnMinLines")->setValue(1);
        settings.slot(kestrin::SmallZoneSlot(2)) =
            "+3";  // loaded while another window was in front
        QApplication::setActiveWindow(nullptr);
        QApplication::setActiveWindow(window);
        QVERIFY(!grid->cell(2).greyed && grid->cell(2).text + grid->cell(2).corner == "1\n16+3");

        QTest::mouseClick(grid->findChild<QLabel*>("lblZone_1"), Qt::LeftButton);  // past the label
        QCOMPARE(window->plot()->markedLineCount(), 12);
        window->findChild<QCheckBox*>("chkChannel_1")->click();  // TPS too
        window->plot()->moveCursorTo(15);
        QCOMPARE(window->plot()->readout(),
                 QStringLiteral("Line 15   RPM 900   TPS 80   AFR 16   PSI -0.87"));

        // The table's format is the zone table command's; here it is this log's, copied.
        QVERIFY(window->zoneTableText().contains("\n105\t12\t14.7\t14.7\t14.71\t+5\n"));
        window->findChild<QAction*>("mnuCopyZoneTable")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), window->zoneTableText());
        window->close();
    }

    void saysWhenThereIsNoDataOrNoFile() {
        QPointer<LogWindow> window = open("RPM\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n\r\n");
        QVERIFY(window);
        QVERIFY(window->findChild<QLabel*>("lblNoData")->isVisibleTo(window));
        window->close();
        Status failure;
        QVERIFY(!LogWindow::open(dir.path(), settings, failure));
        QCOMPARE(failure.reason, std::string("Is a directory"));
    }

    void showsTitlesAndFileNamesAsTheyAre() {
        const std::string wide(7000, 'W');
        const std::string name = dir.file("Log \xc3\xa9t\xc3\xa9.txt");
        kestrin::test::WriteWholeFile(
            name, "A&B\t" + wide + "\tMAP\tCLT\tIAT\tO2\tADV\tPW\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n" +
                      Line("3000", "105", "14.7"));
        Status failure;
        QPointer<LogWindow> window = LogWindow::open(name, settings, failure);
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QString::fromUtf8("Log - Log \u00e9t\u00e9.txt"));
        auto* ampersand = window->findChild<QCheckBox*>("chkChannel_0");
        QCOMPARE(ampersand->text(), QStringLiteral("A&&B"));  // shown as A&B, no shortcut
        auto* cut = window->findChild<QCheckBox*>("chkChannel_1");
        QVERIFY(cut->toolTip().contains(QString(7000, QLatin1Char('W'))));
        QVERIFY(window->minimumSizeHint().width() < 1200);
        window->close();
    }

    void readsOffTheUserInterfaceThreadAndCancels() {
        std::string log;
        for (int i = 0; i < 100000; ++i) log += Line("3000", "105", "14.7");
        const std::string path = dir.file("Big.txt");
        kestrin::test::WriteWholeFile(path, log);
        const auto logWindows = [] {
            int shown = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                shown += w->objectName() == "frmLog" && w->isVisible();
            return shown;
        };
        const int before = logWindows();
        // Cancelled while reading: no window, and the loader and its thread gone.
        QPointer<kestrin::LogLoader> loader = kestrin::LogLoader::start(path, settings, nullptr);
        loader->findChild<QPushButton*>()->click();
        QTRY_VERIFY(!loader);
        QTest::qWait(100);
        QCOMPARE(logWindows(), before);
        // Left to run: the window opens with every line.
        loader = kestrin::LogLoader::start(path, settings, nullptr);
        QPointer<LogWindow> window;
        connect(loader, &kestrin::LogLoader::opened, this, [&](LogWindow* w) { window = w; });
        QTRY_VERIFY(window);
        QCOMPARE(window->grid()->cell(1).text, std::string("100000\n14.7"));
        QTRY_VERIFY(!loader);
        window->close();
    }

    void opensFromTheFileMenuBesideTheOthers() {
        kestrin::Program program;
        kestrin::test::ScriptedPrompt prompt;
        kestrin::MainWindow main(program, &prompt);
        QStringList names;
        for (QAction* action : main.findChild<QMenu*>("mnuFile")->actions())
            names << action->objectName();
        QCOMPARE(names, QStringList({"mnuFileSaveOptions", "mnuFileOpenLog", "mnuFileExit"}));
        kestrin::test::WriteWholeFile(dir.file("Log2.txt"), Line("3000", "105", "14.7"));
        main.openLog(dir.file("Log2.txt"));
        main.openLog(dir.file("Log2.txt"));
        const auto logWindows = [] {
            QWidgetList shown;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "frmLog" && w->isVisible()) shown << w;
            return shown;
        };
        QTRY_COMPARE(logWindows().size(), 2);
        // The live plot closes with the main window; the logs stay, each
        // closing with Escape or Ctrl+W (the live plot's keys too).
        const QKeyCombination keys[] = {Qt::Key_Escape, Qt::CTRL | Qt::Key_W};
        main.findChild<QAction*>("mnuViewLivePlot")->trigger();
        QPointer<QWidget> live = main.livePlot();
        main.close();
        QTRY_VERIFY(!live);
        QCOMPARE(logWindows().size(), 2);
        for (const QKeyCombination key : keys) {
            QPointer<QWidget> log = logWindows().first();
            log->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(log));
            QTest::keyClick(log, key.key(), key.keyboardModifiers());
            QTRY_VERIFY(!log);
        }
        QVERIFY(logWindows().isEmpty());
        main.openLog(dir.file("missing.txt"));
        QTRY_COMPARE(prompt.shown.size(), std::size_t{1});
        QCOMPARE(prompt.shown[0].text,
                 "Cannot open the log " + dir.file("missing.txt") + ": No such file or directory");
    }
};

QTEST_MAIN(LogWindowTest)
#include "log_window_test.moc"
