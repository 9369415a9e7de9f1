// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QtTest>

#include <filesystem>

#include "analysis/qt/corrections_panel.h"
#include "analysis/qt/log_corrections.h"
#include "analysis/qt/log_plot.h"
#include "analysis/qt/log_window.h"
#include "support/log_lines.h"
#include "support/pty_pair.h"
#include "viewer/qt/zone_grid_view.h"
#include "viewer/zone_layout.h"

using kestrin::LogWindow;
using kestrin::Status;

namespace {

const std::string kHeader = "RPM\tTPS\tMAP\tCLT\tIAT\tO2\tADV\tPW\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n";

// `count` data lines of the zone of small zone `p`, setting "+5", the ratios in turn.
std::string Run(int p, int count, const std::vector<std::string>& ratios) {
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += kestrin::test::LoggedLine(
            kestrin::SmallZoneSlot(p), ratios[static_cast<std::size_t>(i) % ratios.size()], "+5");
    return lines + "\r\n";
}

// A complete settings line with `value` at the slot of every small zone but
// small zone 1's, which holds `zone1`, and "0" elsewhere; small zone p is
// value number p of the line.
std::string SettingsLine(const std::string& value, const std::string& zone1) {
    std::string line = "BOT" + std::string(45, '9');
    for (int v = 0; v < 193; ++v)
        line += (v == 1 ? zone1 : v < kestrin::ZoneView::kSmallZones ? value : "0") + ",";
    return line + "EOT,";
}

}  // namespace

class LogCorrectionsTest : public QObject {
    Q_OBJECT

    kestrin::test::TempDir dir;
    kestrin::SettingsTable settings;

    LogWindow* open(const std::string& name, const std::string& content) {
        kestrin::test::WriteWholeFile(dir.file(name), content);
        Status failure;
        LogWindow* window = LogWindow::open(dir.file(name), settings, failure);
        if (!window) qWarning("%s", failure.reason.c_str());
        return window;
    }
    static void type(LogWindow* window, const char* entry, const QString& text) {
        window->findChild<QLineEdit*>(entry)->setText(text);
    }
    static std::string cell(LogWindow* window, int p) {
        const kestrin::ZoneCell& cell = window->grid()->cell(p);
        return cell.text + "|" + cell.corner + (cell.greyed ? "|greyed" : "") +
               (cell.marked ? "|marked" : "");
    }

  private slots:
    void initTestCase() {
        // Kestrin.conf of the test's own.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.file("config")));
    }

    void showsChangesUsedLinesAndKeepsTheOptions() {
        // Small zone 1 lean by 10 %, 2 with too few lines, 3 lean and rich in turn. With the
        // default steadiness the first line of each run is left out.
        const std::string log =
            kHeader + Run(1, 13, {"16.17"}) + Run(2, 4, {"14.7"}) + Run(3, 12, {"13.0", "17.0"});
        QPointer<LogWindow> window = open("Log1.txt", log);
        QVERIFY(window);
        auto* zone1 = window->grid()->findChild<QLabel*>("lblZone_1");
        QTest::mouseClick(zone1, Qt::LeftButton);
        QCOMPARE(window->plot()->markedLineCount(), 13);  // every line naming the zone

        window->findChild<QRadioButton*>("optFuelChange")->click();
        QVERIFY(window->corrections()->active());
        QCOMPARE(cell(window, 1), std::string("+10.0|12"));
        QCOMPARE(cell(window, 2), std::string("0.0|3|greyed"));
        QCOMPARE(cell(window, 3), std::string("+3.3|11|marked"));
        QVERIFY(window->grid()->cell(1).shade.red() > window->grid()->cell(1).shade.blue());
        QTest::mouseClick(zone1, Qt::LeftButton);  // now only the lines the zone used
        QCOMPARE(window->plot()->markedLineCount(), 12);

        // Each change is worked out at once; a malformed one is named and changes nothing.
        type(window, "txtStep", "1");
        QCOMPARE(cell(window, 1), std::string("+10.0\n+5 > +15|12"));
        type(window, "txtSteady", "x");
        QCOMPARE(window->corrections()->panel()->problem(),
                 QStringLiteral("--steady x: a whole number from 0 to 50 is wanted"));
        QCOMPARE(cell(window, 1), std::string("+10.0\n+5 > +15|12"));
        type(window, "txtSteady", "1");

        // The clicked zone's target, typed.
        auto* target = window->findChild<QLineEdit*>("txtZoneTarget");
        target->setText("16.17");
        emit target->returnPressed();
        QCOMPARE(cell(window, 1), std::string("0.0\n+5 > +5|12"));

        // A second log adds up; its lines are not in the plot.
        std::string problem;
        kestrin::test::WriteWholeFile(dir.file("Log2.txt"), kHeader + Run(1, 5, {"16.17"}));
        QVERIFY(window->corrections()->addLog(dir.file("Log2.txt"), problem));
        QCOMPARE(cell(window, 1), std::string("0.0\n+5 > +5|16"));
        QCOMPARE(window->plot()->markedLineCount(), 12);
        QCOMPARE(window->windowTitle(), QStringLiteral("Log - Log1.txt and 1 more"));

        // Back to the means, then the options as left, at the next start.
        window->findChild<QRadioButton*>("optMeanAfr")->click();
        QCOMPARE(cell(window, 1), std::string("13\n16.17|"));
        window->close();
        QPointer<LogWindow> next = open("Log1.txt", log);
        const kestrin::CorrectionChoices& kept = next->corrections()->panel()->choices();
        QVERIFY(kept.step == "1" && kept.steady == "1");
        QVERIFY((kept.targets == std::map<std::int64_t, std::int64_t>{{105, 1617}}));
        next->close();
    }

    // The same options as the command's test of the tab log give its table.
    void copiesTheCommandsText() {
        Status failure;
        QPointer<LogWindow> window =
            LogWindow::open(KESTRIN_TEST_DATA "/log_tab.txt", settings, failure);
        QVERIFY(window);
        kestrin::CorrectionsPanel* panel = window->corrections()->panel();
        panel->setChoices({});
        std::string problem;
        QVERIFY(panel->loadTargets(KESTRIN_TEST_DATA "/targets.txt", problem));
        const std::pair<const char*, QString> entries[] = {
            {"txtSteady", "2"},     {"txtDelay", "1"},     {"txtAfrLow", "10.3"},
            {"txtAfrHigh", "16.9"}, {"txtTarget", "13.8"}, {"txtMinLines", "5"},
            {"txtMaxChange", "8"},  {"txtStep", "1.5"},
        };
        for (const auto& [entry, text] : entries) type(window, entry, text);
        window->findChild<QPlainTextEdit*>("txtWhere")->setPlainText("CLT>=12\nRPM < 5000");
        window->findChild<QAction*>("mnuCopyCorrections")->trigger();
        QFile expected(QStringLiteral(KESTRIN_TEST_DATA "/log_tab.corrections"));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        QCOMPARE(QApplication::clipboard()->text(), QString::fromLatin1(expected.readAll()));
        window->close();
    }

    // The window writes the command's corrected settings, and only to a new file not named
    // Settings.txt.
    void savesTheCommandsCorrectedSettingsToANewFileOnly() {
        kestrin::test::ScopedCwd cwd(dir.path());
        const std::string settings = SettingsLine("+5", "+5");
        kestrin::test::WriteWholeFile(dir.file("Settings.txt"), settings);
        QPointer<LogWindow> window = open("Drive.txt", kHeader + Run(1, 13, {"16.17"}));
        QVERIFY(window);
        kestrin::CorrectionsPanel* panel = window->corrections()->panel();
        panel->setChoices({});
        bool saved = true;
        QVERIFY(window->saveCorrectedSettings(dir.file("NoStep.txt"), saved).contains("step"));
        QVERIFY(!saved && !std::filesystem::exists(dir.file("NoStep.txt")));
        type(window, "txtStep", "1");

        const QString told = window->saveCorrectedSettings(dir.file("Window.txt"), saved);
        QVERIFY2(saved, qPrintable(told));
        QVERIFY(told.contains("zones set: 1"));
        const std::string written = kestrin::test::ReadWholeFile(dir.file("Window.txt"));
        QCOMPARE(written, SettingsLine("+5", "+15"));  // 10 % lean at 1 % a step

        std::filesystem::create_directory(dir.file("unit"));
        const struct {
            std::string path;
            std::optional<std::string> before;  // nothing: no such file
            const char* told;
        } refused[] = {
            {dir.file("Settings.txt"), settings, "another name"},
            {dir.file("unit/Settings.txt"), std::nullopt, "another name"},
            {dir.file("Kept.txt"), "my notes", "Kept.txt exists: it is not replaced"},
        };
        kestrin::test::WriteWholeFile(dir.file("Kept.txt"), "my notes");
        for (const auto& c : refused) {
            const QString message = window->saveCorrectedSettings(c.path, saved);
            QVERIFY2(!saved && message.contains(c.told), qPrintable(message));
            QCOMPARE(std::filesystem::exists(c.path), c.before.has_value());
            if (c.before) QCOMPARE(kestrin::test::ReadWholeFile(c.path), *c.before);
        }

        // A damaged Settings.txt gives nothing.
        kestrin::test::WriteWholeFile(dir.file("Settings.txt"), settings + ",");
        QVERIFY(window->saveCorrectedSettings(dir.file("New.txt"), saved)
                    .contains("not a complete settings file"));
        QVERIFY(!saved && !std::filesystem::exists(dir.file("New.txt")));
        window->close();
    }

    void comparesWithAnotherLogAndGoesBack() {
        // Small zone 1 comes near its target; small zone 3 goes further off.
        QPointer<LogWindow> window =
            open("Before.txt", kHeader + Run(1, 13, {"16.17"}) + Run(3, 12, {"13.0"}));
        QVERIFY(window);
        window->corrections()->panel()->setChoices({});
        QStringList names;
        for (QAction* action : window->findChild<QMenu*>("mnuFile")->actions())
            names << action->objectName();
        QCOMPARE(names,
                 QStringList({"mnuFileAddLog", "mnuFileCompareWith", "mnuFileSaveCorrectedSettings",
                              "", "mnuCopyZoneTable", "mnuCopyCorrections"}));
        std::string problem;
        QVERIFY(!window->compareWith(dir.file("Missing.txt"), problem));
        QVERIFY(problem.find("cannot read") != std::string::npos);
        QCOMPARE(window->gridMode(), LogWindow::GridMode::MeanAfr);
        QCOMPARE(cell(window, 1), std::string("13\n16.17|"));

        kestrin::test::WriteWholeFile(dir.file("After.txt"),
                                      kHeader + Run(1, 13, {"14.9"}) + Run(3, 12, {"12.0"}));
        QVERIFY(window->compareWith(dir.file("After.txt"), problem));
        const std::pair<int, std::string> cells[] = {
            {1, "10.0 > 1.4\ncloser|12/12"},
            {3, "11.6 > 18.4\nnot closer|11/11|marked"},
            {2, "|"},
        };
        for (const auto& [p, text] : cells) QCOMPARE(cell(window, p), text);
        QVERIFY(window->grid()->cell(1).shade.green() > window->grid()->cell(1).shade.red());
        QVERIFY(window->grid()->cell(3).shade.red() > window->grid()->cell(3).shade.green());
        QVERIFY(window->findChild<QLabel*>("lblSummary")
                    ->text()
                    .startsWith("closer to target in 1 of 2 zones\n"));

        // The options hold for both logs; the other modes come back.
        type(window, "txtMinLines", "12");
        QCOMPARE(cell(window, 3), std::string("|"));
        window->findChild<QRadioButton*>("optMeanAfr")->click();
        QCOMPARE(cell(window, 1), std::string("13\n16.17|"));
        window->findChild<QRadioButton*>("optFuelChange")->click();
        QCOMPARE(cell(window, 1), std::string("+10.0|12"));
        window->findChild<QRadioButton*>("optCompare")->click();
        QCOMPARE(cell(window, 1), std::string("10.0 > 1.4\ncloser|12/12"));
        window->close();
    }
};

QTEST_MAIN(LogCorrectionsTest)
#include "log_corrections_test.moc"
