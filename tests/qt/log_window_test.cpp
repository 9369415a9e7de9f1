#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QtTest>

#include "analysis/qt/live_plot_window.h"
#include "analysis/qt/log_plot.h"
#include "analysis/qt/log_window.h"
#include "analysis/qt/zone_grid.h"
#include "analysis/zone_table.h"
#include "app/qt/main_window.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

using kestrin::LogWindow;
using kestrin::Status;
using kestrin::ZoneGrid;

namespace {

std::string Line(const std::string& rpm, const std::string& zone, const std::string& afr) {
    return rpm + "\t80\t95\t80\t30\t120\t20\t3.1\t35\t" + zone + "\t+5\t" + afr + "\t-0.87\t\r\n";
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
        log += "\r\n" + Line("900", "110", "16") + Line("900", "5", "12");
        QPointer<LogWindow> window = open(log);
        QVERIFY(window);
        ZoneGrid* grid = window->grid();
        QCOMPARE(grid->cellText(1), QStringLiteral("12\n14.7"));
        QCOMPARE(grid->cellText(2), QStringLiteral("1"));
        QCOMPARE(grid->cellText(0), QString());
        QVERIFY(grid->cellToolTip(1).contains(QStringLiteral("Setting: -7")));
        QCOMPARE(grid->outsideLines(), 1);
        grid->setMinimumLines(1);
        QCOMPARE(grid->cellText(2), QStringLiteral("1\n16"));

        grid->selectCell(1);
        QCOMPARE(window->plot()->markedLineCount(), 12);
        window->plot()->moveCursorTo(15);
        QCOMPARE(window->plot()->readout(),
                 QStringLiteral("Line 15   RPM 900   AFR 16   PSI -0.87"));

        const QString table = QStringLiteral(
            "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n5\t1\t12\t12\t12\t+5\n"
            "105\t12\t14.7\t14.7\t14.71\t+5\n110\t1\t16\t16\t16\t+5\n");
        QCOMPARE(window->zoneTableText(), table);
        window->findChild<QAction*>("mnuCopyZoneTable")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), table);
        QVERIFY(!window->findChild<QLabel*>("lblNoData")->isVisibleTo(window));
        window->close();
    }

    void saysWhenThereIsNoDataOrNoFile() {
        QPointer<LogWindow> window = open("RPM\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n\r\n");
        QVERIFY(window);
        QVERIFY(window->findChild<QLabel*>("lblNoData")->isVisibleTo(window));
        window->close();
        // Without a header the columns go by number, and the usual three are shown.
        window = open(Line("3000", "105", "14.7"));
        window->plot()->moveCursorTo(1);
        QCOMPARE(window->plot()->readout(), QStringLiteral("Line 1   1 3000   12 14.7   13 -0.87"));
        window->close();
        Status failure;
        QVERIFY(!LogWindow::open(dir.path(), settings, failure));
        QCOMPARE(failure.reason, std::string("Is a directory"));
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
        QCOMPARE(logWindows().size(), 2);
        // The live plot closes with the main window; the logs stay, each
        // closing with Escape or Ctrl+W as the live plot does.
        const QKeyCombination keys[] = {Qt::Key_Escape, Qt::CTRL | Qt::Key_W};
        for (const QKeyCombination key : keys) {
            QPointer<QWidget> live = kestrin::LivePlotWindow::open();
            QVERIFY(QTest::qWaitForWindowActive(live));
            QTest::keyClick(live, key.key(), key.keyboardModifiers());
            QTRY_VERIFY(!live);
        }
        kestrin::LivePlotWindow::open();
        main.close();
        QCOMPARE(kestrin::LivePlotWindow::current(), nullptr);
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
        QCOMPARE(prompt.shown.size(), std::size_t{1});
        QCOMPARE(prompt.shown[0].text,
                 "Cannot open the log " + dir.file("missing.txt") + ": No such file or directory");
    }
};

QTEST_MAIN(LogWindowTest)
#include "log_window_test.moc"
