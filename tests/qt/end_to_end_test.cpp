// The whole program against the simulated unit: a logging run, a settings
// capture, loading and viewing the settings, and a run whose setting column
// is filled from them.
#include <signal.h>

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <sstream>

#include "app/program.h"
#include "app/qt/main_window.h"
#include "intake/record_decoder.h"
#include "settings/qt/capture_dialog.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"
#include "viewer/qt/settings_viewer.h"

using namespace kestrin;
using kestrin::test::ReadWholeFile;
using kestrin::test::ScopedCwd;
using kestrin::test::ScriptedPrompt;
using kestrin::test::TempDir;

namespace {

constexpr int kWaitMs = 60000;

// Starts the simulator and points port 1 at it.
std::unique_ptr<QProcess> StartUnit(const QStringList& args) {
    auto unit = std::make_unique<QProcess>();
    unit->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    unit->start(
        ECU_SIM_PATH,
        args + QStringList{"--parent-pid", QString::number(QCoreApplication::applicationPid())});
    if (!unit->waitForStarted() || !unit->waitForReadyRead(kWaitMs)) return nullptr;
    qputenv("KESTRIN_COM1", unit->readLine().trimmed());
    return unit;
}

// The fields of every ended line; the line still in progress is left out.
std::vector<std::vector<std::string>> Rows(const std::string& log) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(log.substr(0, log.rfind('\n') + 1));
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < 2 || line.substr(line.size() - 2) != "\t\r") {
            rows.push_back({"<bad line end>"});
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream cells(line.substr(0, line.size() - 2));
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

std::size_t LineCount(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
  private slots:
    void recordCaptureLoadViewAndRecordAgain();
};

void EndToEndTest::recordCaptureLoadViewAndRecordAgain() {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    Program program;
    ScriptedPrompt prompt;
    MainWindow window(program, &prompt);
    window.show();
    auto click = [&](const char* name) { window.findChild<QPushButton*>(name)->click(); };

    // A logging run of fast playback.
    auto unit = StartUnit({"--fast", "--lines", "1500", "--header-every", "0"});
    QVERIFY(unit);
    click("cmdNewRun");
    click("cmdStart");
    // The unit ends when its lines are sent: the port is lost, the last line
    // is ended and one empty line marks the gap, without a message box.
    QTRY_COMPARE_WITH_TIMEOUT(LineCount(ReadWholeFile(dir.file("Log1.txt"))), std::size_t{1502},
                              kWaitMs);
    click("cmdEnd");
    QVERIFY(unit->state() == QProcess::NotRunning || unit->waitForFinished(kWaitMs));
    QVERIFY(prompt.shown.empty());

    std::string log = ReadWholeFile(dir.file("Log1.txt"));
    QVERIFY(log.ends_with("\t\r\n\r\n"));
    auto rows = Rows(log.substr(0, log.size() - 2));
    QCOMPARE(rows[0].size(), std::size_t{13});
    QCOMPARE(rows[0][8], std::string("ZON"));
    QCOMPARE(rows[0][12], std::string("PSI"));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& r = rows[i];
        QCOMPARE(r.size(), std::size_t{13});
        QCOMPARE(r[9], std::to_string(*ZoneNumber(r[8])));
        QCOMPARE(r[10], std::string());  // no settings loaded yet
        QCOMPARE(r[11], *HundredthsText(*AirFuelRatio(r[5])));
        QCOMPARE(r[12], *HundredthsText(*BoostPsi(r[2])));
    }

    // The unit's settings dump, captured while its stream is paused.
    unit = StartUnit({"--paused", "--baud", "115200"});
    QVERIFY(unit);
    {
        CaptureDialog capture(program.options, program.fileSystem, prompt, &window);
        capture.show();
        capture.findChild<QPushButton*>("cmdCaptureSettings")->click();
        ::kill(static_cast<pid_t>(unit->processId()), SIGUSR1);
        QTRY_COMPARE_WITH_TIMEOUT(capture.capture().cutter().fieldIndex(), 193, kWaitMs);
        capture.findChild<QPushButton*>("cmdCaptureSettings")->click();
        QCOMPARE(prompt.shown.size(), std::size_t{1});
        QCOMPARE(prompt.shown[0].text, std::string("Settings capture succesful!"));
        QCOMPARE(capture.findChild<QLabel*>("lblDbg")->text(), QString("194"));
    }
    unit->terminate();
    unit->waitForFinished(kWaitMs);

    // Loading fills the table; the viewer shows it.
    click("cmdViewSettings");
    QCOMPARE(prompt.shown.size(), std::size_t{1});
    QCOMPARE(window.findChild<QLabel*>("lblDebug")->text(), QString("194"));
    QVERIFY(!program.settings.at(100).empty());
    QVERIFY(!program.settings.at(1135).empty());
    SettingsViewer* viewer = SettingsViewer::current();
    QVERIFY(viewer);
    QCOMPARE(viewer->findChild<QLabel*>("lblZone_143")->text().toStdString(),
             program.settings.at(975));

    // With settings loaded, every data line carries the setting of its zone.
    unit = StartUnit({"--fast", "--lines", "300", "--header-every", "0", "--seed", "5"});
    QVERIFY(unit);
    click("cmdNewRun");
    click("cmdStart");
    QTRY_COMPARE_WITH_TIMEOUT(LineCount(ReadWholeFile(dir.file("Log2.txt"))), std::size_t{302},
                              kWaitMs);
    click("cmdEnd");
    log = ReadWholeFile(dir.file("Log2.txt"));
    rows = Rows(log.substr(0, log.size() - 2));
    QCOMPARE(rows[0][8], std::string("ZON"));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        QCOMPARE(rows[i].size(), std::size_t{13});
        QVERIFY(!rows[i][10].empty());
        QCOMPARE(rows[i][10], program.settings.at(std::stoi(rows[i][9])));
    }
    viewer->close();
    qunsetenv("KESTRIN_COM1");
}

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
