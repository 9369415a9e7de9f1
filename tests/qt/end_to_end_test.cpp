// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program against the simulated unit: a logging run, a settings
// capture, loading and viewing the settings, and a run whose setting column
// is filled from them.
#include <signal.h>

#include <QLabel>
#include <QProcess>
#include <QtTest>
#include <sstream>

#include "settings/qt/capture_dialog.h"
#include "support/main_window_fixture.h"
#include "support/pty_pair.h"
#include "viewer/qt/settings_viewer.h"

using namespace kestrin;
using namespace kestrin::test;

namespace {

constexpr int kWaitMs = 60000;

// Starts the simulator, which names its device first, and points port 1 at it.
std::unique_ptr<QProcess> StartUnit(const QStringList& args) {
    auto unit = std::make_unique<QProcess>();
    unit->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString parent = QString::number(QCoreApplication::applicationPid());
    unit->start(ECU_SIM_PATH, args + QStringList{"--parent-pid", parent});
    unit->waitForReadyRead(kWaitMs);
    qputenv("KESTRIN_COM1", unit->readLine().trimmed());
    return unit;
}

// The columns of every ended line of a log, the line end last.
std::vector<std::vector<std::string>> Rows(const std::string& log) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(log.substr(0, log.rfind('\n') + 1));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream cells(line);
        rows.emplace_back();
        for (std::string cell; std::getline(cells, cell, '\t');) rows.back().push_back(cell);
    }
    return rows;
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
  private slots:
    void recordCaptureLoadViewAndRecordAgain() {
        MainWindowFixture f;
        std::vector<std::vector<std::string>> rows;
        const auto run = [&](const QStringList& args, const std::string& log, std::size_t lines) {
            auto unit = StartUnit(args + QStringList{"--fast", "--header-every", "0"});
            f.startRun();
            // The last line waits for a character after its line feed.
            QTRY_COMPARE_WITH_TIMEOUT(Rows(ReadWholeFile(log)).size(), lines, kWaitMs);
            f.button("cmdEnd")->click();
            rows = Rows(ReadWholeFile(log));
        };

        // The unit ends when its lines are sent: the port is lost, the last line is ended and
        // one empty line marks the gap, without a message box.
        run({"--lines", "1500"}, "Log1.txt", 1502);
        QCOMPARE(rows.size(), std::size_t{1502});
        QCOMPARE(rows[1501], std::vector<std::string>{"\r"});
        QVERIFY(f.prompt.shown.empty());

        // The unit's settings dump, captured while its stream is paused.
        auto unit = StartUnit({"--paused", "--baud", "115200"});
        {
            CaptureDialog capture(f.program.options, f.program.fileSystem, f.prompt,
                                  f.window.get());
            capture.show();
            capture.findChild<QPushButton*>("cmdCaptureSettings")->click();
            capture.reject();  // Escape and the close box do not interrupt a capture
            QVERIFY(capture.isVisible());
            ::kill(static_cast<pid_t>(unit->processId()), SIGUSR1);
            QTRY_COMPARE_WITH_TIMEOUT(capture.capture().cutter().fieldIndex(), 193, kWaitMs);
            capture.findChild<QPushButton*>("cmdCaptureSettings")->click();
            QCOMPARE(f.prompt.shown.at(0).text, std::string("Settings capture succesful!"));
        }
        unit->terminate();
        unit->waitForFinished(kWaitMs);

        f.button("cmdViewSettings")->click();
        QCOMPARE(f.prompt.shown.size(), std::size_t{1});
        QCOMPARE(f.window->findChild<QLabel*>("lblDebug")->text(), QString("194"));
        QCOMPARE(
            f.window->settingsViewer()->findChild<QLabel*>("lblZone_143")->text().toStdString(),
            f.program.settings.at(975));

        // With settings loaded, every data line carries the setting of its zone.
        run({"--lines", "300", "--seed", "5"}, "Log2.txt", 302);
        QCOMPARE(rows.size(), std::size_t{302});
        for (std::size_t i = 1; i < 301; ++i)
            QVERIFY(!rows[i][10].empty() &&
                    rows[i][10] == f.program.settings.at(std::stoi(rows[i][9])));
        f.window->settingsViewer()->close();
        qunsetenv("KESTRIN_COM1");
    }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
