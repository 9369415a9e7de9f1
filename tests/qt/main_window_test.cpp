// The main window driven as a user would: buttons, menus and a unit on a
// real pseudo-terminal.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "app/program.h"
#include "app/qt/main_window.h"
#include "display/qt/console_view.h"
#include "display/qt/rx_indicator.h"
#include "log/qt/save_options_dialog.h"
#include "support/main_window_fixture.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

using namespace kestrin;
using kestrin::test::PtyPair;
using kestrin::test::ReadWholeFile;
using kestrin::test::ScopedCwd;
using kestrin::test::ScriptedPrompt;
using kestrin::test::TempDir;

namespace {

// The worked example line and the start of the next one, which lets the
// line end be acted on.
const char kExample[] = "A 12-3 B,5\r\nX";
const char kExampleTab[] = "A\t12\t-3\tB,5\t\t\t\t-15.08\t\r\n";
const char kExampleComma[] = "A,12,-3,B,5,\t\t\t-15.08,\r\n";

struct Fixture : kestrin::test::MainWindowFixture {
    // Enabled states of New Run, End, Start, Pause, Marker, Capture, Load, View.
    QString states() {
        QString s;
        for (const char* name : {"cmdNewRun", "cmdEnd", "cmdStart", "cmdPause", "cmdSetMarker",
                                 "cmdCaptureSettings", "cmdLoadSettings", "cmdViewSettings"})
            s += enabled(name) ? '1' : '0';
        return s;
    }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void opensIdleWithItsLayout();
    void runStatesAndCaptions();
    void logsExactBytesInTabAndCommaMode();
    void missingPortIsReportedAndCreatesNothing();
    void runsAreNumberedAndSequenceOverflows();
    void pauseAndResumeContinueTheSameLine();
    void linesOfAHandledChunkAreInTheFileAtOnce();
    void markersWhileLoggingAndWhileReady();
    void logFileThatCannotBeCreatedIsReportedOnce();
    void clearDisplayRestartsTheLine();
    void receiveIndicatorFlashesWhileCharactersArrive();
    void saveOptionsOpensWithItsValuesAndOkSetsOne();
    void saveOptionsReportsAMissingPort();
};

void MainWindowTest::opensIdleWithItsLayout() {
    Fixture f;
    QCOMPARE(f.window->windowTitle(), QString("Kestrin"));
    QCOMPARE(f.states(), QString("10000111"));
    QVERIFY(f.button("cmdClearDisplay")->isEnabled());
    QVERIFY(f.button("cmdExit")->isEnabled());
    QCOMPARE(f.button("cmdExit")->text(), QString("E&xit"));
    QCOMPARE(f.button("cmdStart")->text(), QString("Begin Logging"));
    QVERIFY(f.button("cmdNewRun")->isDefault());
    // Twips at 15 to the pixel, below the menu bar.
    QCOMPARE(f.window->centralWidget()->size(), QSize(985, 530));
    QCOMPARE(f.console()->geometry(), QRect(16, 48, 825, 425));
    QCOMPARE(f.button("cmdViewSettings")->geometry(), QRect(856, 352, 113, 25));
    QCOMPARE(f.window->findChild<QLabel*>("lblDebug")->geometry(), QRect(16, 480, 177, 41));
    QVERIFY(f.window->findChild<QWidget*>("shaRxCircle"));
    QCOMPARE(f.window->findChild<QLabel*>("lblRx")->text(), QString("Rx"));
    QCOMPARE(f.button("cmdExit")->nextInFocusChain(), f.button("cmdStart"));
}

void MainWindowTest::runStatesAndCaptions() {
    Fixture f;
    f.click("cmdNewRun");
    QCOMPARE(f.states(), QString("01101000"));  // Ready
    f.click("cmdStart");
    QCOMPARE(f.states(), QString("01011000"));  // Logging
    f.click("cmdPause");
    QCOMPARE(f.states(), QString("01101000"));  // Paused
    QCOMPARE(f.button("cmdStart")->text(), QString("Resume Logging"));
    f.click("cmdStart");
    QCOMPARE(f.states(), QString("01011000"));
    QCOMPARE(f.button("cmdStart")->text(), QString("Resume Logging"));
    f.click("cmdEnd");
    QCOMPARE(f.states(), QString("10000111"));  // Idle
    QCOMPARE(f.button("cmdStart")->text(), QString("Begin Logging"));
    QVERIFY(f.prompt.shown.empty());
}

void MainWindowTest::logsExactBytesInTabAndCommaMode() {
    for (const Separator mode : {Separator::Tab, Separator::Comma}) {
        Fixture f;
        f.program.options.SeparatorMode = mode;
        f.click("cmdNewRun");
        f.click("cmdStart");
        QVERIFY(f.pty.write(kExample));
        const std::string expected = mode == Separator::Tab ? kExampleTab : kExampleComma;
        QTRY_COMPARE(f.log(1), expected);
        f.click("cmdEnd");
        QCOMPARE(f.log(1), expected);
        f.console()->flushPending();
        QCOMPARE(f.console()->text(), std::string(kExampleTab));
    }
}

void MainWindowTest::missingPortIsReportedAndCreatesNothing() {
    Fixture f;
    qputenv("KESTRIN_COM1", f.dir.file("no-such-device").c_str());
    f.click("cmdNewRun");
    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    QCOMPARE(f.prompt.shown[0].text,
             std::string("Com 1 does not exist.\r\n\r\nPlease correct the com port setting."));
    QCOMPARE(f.prompt.shown[0].title, std::string("Kestrin"));
    QCOMPARE(f.states(), QString("10000111"));
    QCOMPARE(int(f.program.options.SequenceNumber), 0);
    QVERIFY(!QFile::exists(QString::fromStdString(f.dir.file("Log1.txt"))));
}

void MainWindowTest::runsAreNumberedAndSequenceOverflows() {
    Fixture f;
    for (int run = 1; run <= 3; ++run) {
        f.click("cmdNewRun");
        f.click("cmdStart");
        // A carriage return lets the line end be acted on and is itself ignored,
        // so the character still held at End Run does not start the next file.
        const std::string field = "R" + std::to_string(run);
        QVERIFY(f.pty.write(field + "\n\r"));
        QTRY_COMPARE(f.log(run), field + "\t\t\t\t\t\r\n");
        f.click("cmdEnd");
    }
    QCOMPARE(f.program.options.LogFileName, std::string("Log3.txt"));

    // At 32767 the run opens without a file and writes nowhere.
    f.program.options.SequenceNumber = 32767;
    f.click("cmdNewRun");
    QCOMPARE(f.states(), QString("01101000"));
    QCOMPARE(int(f.program.options.SequenceNumber), 32767);
    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    f.click("cmdStart");
    QVERIFY(f.pty.write("Y\nZ"));
    QTRY_VERIFY(f.console()->text().find("Y\t") != std::string::npos);
    QCOMPARE(f.log(3), std::string("R3\t\t\t\t\t\r\n"));
    f.click("cmdEnd");
    QCOMPARE(f.states(), QString("10000111"));
}

void MainWindowTest::linesOfAHandledChunkAreInTheFileAtOnce() {
    Fixture f;
    f.click("cmdNewRun");
    f.click("cmdStart");
    QVERIFY(f.pty.write("1\n2\n3 4"));
    // The space closed field 3 when 4 arrived; the chunk holding 4 has then
    // been handled, and what it ended is in the file without waiting for the
    // once-a-second sync.
    QTRY_COMPARE(f.window->tokenizer().fieldIndex(), std::int16_t{1});
    QCOMPARE(f.log(1), std::string("1\t\t\t\t\t\r\n2\t\t\t\t\t\r\n3\t"));
}

void MainWindowTest::pauseAndResumeContinueTheSameLine() {
    Fixture f;
    f.click("cmdNewRun");
    f.click("cmdStart");
    QVERIFY(f.pty.write("1 2 3"));
    QTRY_COMPARE(f.log(1), std::string("1\t2\t"));
    f.click("cmdPause");
    QVERIFY(f.pty.write(" 4"));
    QTRY_VERIFY(f.console()->text().find("3\t") != std::string::npos);
    f.click("cmdStart");
    QVERIFY(f.pty.write("\nX"));
    // The paused field 3 is missing from the file; its pressure still decodes.
    QTRY_COMPARE(f.log(1), std::string("1\t2\t4\t\t\t\t-14.21\t\r\n"));
}

void MainWindowTest::markersWhileLoggingAndWhileReady() {
    Fixture f;
    f.click("cmdNewRun");
    f.click("cmdSetMarker");
    QVERIFY(f.pty.write("A\nB"));
    QTRY_COMPARE(f.console()->text(), std::string("A\t\t\t\t\t\r\n\r\n"));
    QCOMPARE(f.log(1), std::string());
    f.click("cmdStart");
    f.click("cmdSetMarker");
    f.click("cmdSetMarker");
    QVERIFY(f.pty.write("\nC"));
    QTRY_COMPARE(f.log(1), std::string("B\t\t\t\t\t\r\n\r\n"));
}

void MainWindowTest::logFileThatCannotBeCreatedIsReportedOnce() {
    Fixture f;
    f.program.options.SavePath = f.dir.file("missing-folder") + "/";
    f.click("cmdNewRun");
    QCOMPARE(f.states(), QString("01101000"));
    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    QVERIFY(f.prompt.shown[0].text.find("Log1.txt could not be created") != std::string::npos);
    f.click("cmdStart");
    QVERIFY(f.pty.write("1\n2\n3\nX"));
    QTRY_VERIFY(f.console()->text().find("3\t") != std::string::npos);
    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    f.click("cmdEnd");
    QCOMPARE(f.states(), QString("10000111"));
}

void MainWindowTest::clearDisplayRestartsTheLine() {
    Fixture f;
    f.click("cmdNewRun");
    QVERIFY(f.pty.write("1 2 3"));
    QTRY_COMPARE(f.window->tokenizer().fieldIndex(), std::int16_t{2});
    f.click("cmdClearDisplay");
    f.console()->flushPending();
    QCOMPARE(f.console()->text(), std::string());
    QVERIFY(f.pty.write("\nX"));
    QTRY_COMPARE(f.console()->text(), std::string("3\t\t\t\t\t\r\n"));
}

void MainWindowTest::receiveIndicatorFlashesWhileCharactersArrive() {
    Fixture f;
    auto* circle = f.window->findChild<RxCircle*>("shaRxCircle");
    auto* rx = f.window->findChild<RxIndicator*>();
    QCOMPARE(circle->fillColor(), circle->restingColor());
    QVERIFY(!rx->tmrRxDelay()->isActive() && !rx->tmrTurnOffRx()->isActive());

    f.click("cmdNewRun");
    QVERIFY(f.pty.write("1 2 3"));
    QTRY_VERIFY(rx->tmrRxDelay()->isActive());
    const QColor before = circle->fillColor();
    rx->tmrRxDelay_Timer();
    QVERIFY(circle->fillColor() != before);
    rx->tmrRxDelay_Timer();
    QCOMPARE(circle->fillColor(), before);
    // Once characters stop, the turn-off tick rests the circle and stops both timers.
    QTRY_VERIFY(!rx->tmrRxDelay()->isActive());
    QCOMPARE(circle->fillColor(), circle->restingColor());
    QVERIFY(!rx->tmrTurnOffRx()->isActive());
}

void MainWindowTest::saveOptionsOpensWithItsValuesAndOkSetsOne() {
    Program program;
    ScriptedPrompt prompt;
    program.options.SequenceNumber = 3;
    program.options.ComPort = 4;
    {
        SaveOptionsDialog dialog(program.options, prompt);
        QCOMPARE(dialog.windowTitle(), QString("Save Options"));
        QCOMPARE(dialog.findChild<QComboBox*>("comComPort")->currentText(), QString("Com 1"));
        QCOMPARE(dialog.findChild<QLineEdit*>("txtSeqStart")->text(), QString("1"));
        QCOMPARE(dialog.findChild<QLineEdit*>("txtSavePath")->text(), QString("Log3.txt"));
        QVERIFY(dialog.findChild<QRadioButton*>("optSpace")->isChecked());
        QVERIFY(!dialog.findChild<QWidget*>("fraFileNaming")->isEnabled());
        QVERIFY(!dialog.findChild<QPushButton*>("cmdBrowse")->isEnabled());
        QCOMPARE(dialog.findChild<QRadioButton*>("optComma")->text(), QString("Comma Dillineated"));
        dialog.findChild<QRadioButton*>("optComma")->click();
        QVERIFY(program.options.SeparatorMode == Separator::Comma);
        dialog.reject();  // the close box keeps the run number
    }
    QCOMPARE(int(program.options.SequenceNumber), 3);
    SaveOptionsDialog dialog(program.options, prompt);
    QVERIFY(dialog.findChild<QRadioButton*>("optComma")->isChecked());
    dialog.findChild<QPushButton*>("cmdOK")->click();
    QCOMPARE(int(program.options.SequenceNumber), 1);
    QCOMPARE(int(program.options.ComPort), 4);
    QVERIFY(prompt.shown.empty());
}

void MainWindowTest::saveOptionsReportsAMissingPort() {
    TempDir dir;
    qputenv("KESTRIN_COM4", dir.file("absent").c_str());
    Program program;
    ScriptedPrompt prompt;
    SaveOptionsDialog dialog(program.options, prompt);
    dialog.comComPort_Click(3);
    QCOMPARE(int(program.options.ComPort), 4);
    QCOMPARE(prompt.shown.size(), std::size_t{1});
    QCOMPARE(prompt.shown[0].text,
             std::string("Com 4 does not exist.\r\n\r\nPlease correct the com port setting."));

    // A port that exists is opened and closed again without a word.
    PtyPair pty;
    qputenv("KESTRIN_COM2", QByteArray::fromStdString(pty.slavePath()));
    dialog.comComPort_Click(1);
    QCOMPARE(int(program.options.ComPort), 2);
    QCOMPARE(prompt.shown.size(), std::size_t{1});
    qunsetenv("KESTRIN_COM4");
    qunsetenv("KESTRIN_COM2");
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
