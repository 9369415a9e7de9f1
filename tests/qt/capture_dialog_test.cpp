// The capture dialog driven as a user would, with the unit on a real
// pseudo-terminal and Settings.txt on disk.
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "display/qt/console_view.h"
#include "log/options.h"
#include "log/text_file.h"
#include "settings/qt/capture_dialog.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"
#include "support/settings_dump.h"

using namespace kestrin;
using kestrin::test::PtyPair;
using kestrin::test::ReadWholeFile;
using kestrin::test::ScopedCwd;
using kestrin::test::ScriptedPrompt;
using kestrin::test::TempDir;

namespace {

// Generous: only a machine that is stuck comes near it.
constexpr int kArrivalTimeoutMs = 60000;

struct Fixture {
    explicit Fixture(const QByteArray& device = {}) : cwd(dir.path()) {
        qputenv("KESTRIN_COM1",
                device.isEmpty() ? QByteArray::fromStdString(pty.slavePath()) : device);
        dialog = std::make_unique<CaptureDialog>(options, files, prompt);
        dialog->show();
    }
    ~Fixture() {
        dialog.reset();
        qunsetenv("KESTRIN_COM1");
    }

    QPushButton* button(const char* name) { return dialog->findChild<QPushButton*>(name); }
    QLabel* label(const char* name) { return dialog->findChild<QLabel*>(name); }
    ConsoleView* console() { return dialog->findChild<ConsoleView*>("txtVornOutput"); }
    std::string settingsFile() { return ReadWholeFile(dir.file("Settings.txt")); }

    TempDir dir;
    ScopedCwd cwd;
    PtyPair pty;
    OptionState options;
    PosixFileSystem files;
    ScriptedPrompt prompt;
    std::unique_ptr<CaptureDialog> dialog;
};

}  // namespace

class CaptureDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void layoutFollowsTheForm();
    void dumpBecomesSettingsFile();
    void captureWithoutDataFails();
    void missingPortIsReported();
};

void CaptureDialogTest::layoutFollowsTheForm() {
    Fixture f;
    QCOMPARE(f.dialog->objectName(), QStringLiteral("frmCaptureSettings"));
    QCOMPARE(f.dialog->windowTitle(), QStringLiteral("Capture Settings"));
    QCOMPARE(f.dialog->size(), QSize(1052, 338));
    QVERIFY(f.dialog->isModal());

    QLabel* instructions = f.label("lblInstructions");
    QVERIFY(instructions);
    QCOMPARE(instructions->geometry(), QRect(16, 8, 665, 25));
    QVERIFY(instructions->font().bold());
    QCOMPARE(instructions->font().pointSize(), 12);
    QCOMPARE(instructions->text(),
             QStringLiteral("Make sure ignitnion is off and press \"Capture Settings.\""));

    QVERIFY(f.console());
    QCOMPARE(f.console()->geometry(), QRect(16, 48, 825, 241));
    QCOMPARE(f.button("cmdCaptureSettings")->geometry(), QRect(928, 40, 113, 25));
    QCOMPARE(f.button("cmdCaptureSettings")->text(), QStringLiteral("Capture Settings"));
    QCOMPARE(f.button("cmdExit")->geometry(), QRect(928, 272, 105, 25));
    QCOMPARE(f.button("cmdExit")->text(), QStringLiteral("D&one"));
    QCOMPARE(f.label("lblDbg")->geometry(), QRect(16, 304, 825, 33));
    QCOMPARE(f.label("lblDbg")->text(), QString());
}

void CaptureDialogTest::dumpBecomesSettingsFile() {
    const test::SettingsDump dump = test::MakeSettingsDump();
    Fixture f;
    QVERIFY(f.prompt.shown.empty());
    QPushButton* capture = f.button("cmdCaptureSettings");
    QPushButton* done = f.button("cmdExit");
    QVERIFY(capture->isEnabled());

    capture->click();
    QCOMPARE(capture->text(), QStringLiteral("End Settings Capture"));
    QVERIFY(!done->isEnabled());
    QVERIFY(QFile::exists(QString::fromStdString(f.dir.file("Settings.txt"))));
    // Escape and the close box do not interrupt a capture.
    f.dialog->reject();
    QVERIFY(f.dialog->isVisible());

    QVERIFY(f.pty.write(dump.wire));
    // Every character handled: the final line feed is the one held.
    QTRY_VERIFY_WITH_TIMEOUT(f.dialog->capture().cutter().held() == "\n" &&
                                 f.dialog->capture().cutter().earlier() == "\r",
                             kArrivalTimeoutMs);
    QVERIFY(f.console()->text().ends_with(dump.values.back() + "\t"));
    QCOMPARE(
        f.label("lblInstructions")->text(),
        QStringLiteral("When no new data displays on screen, press ''End Settings Capture.''"));

    capture->click();
    QCOMPARE(f.settingsFile(), dump.file);
    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    QCOMPARE(f.prompt.shown[0].text, std::string("Settings capture succesful!"));
    QCOMPARE(f.prompt.shown[0].title, std::string("Capture Complete"));
    QCOMPARE(f.label("lblDbg")->text(), QStringLiteral("194"));
    QCOMPARE(f.label("lblInstructions")->text(),
             QStringLiteral("Make sure ignitnion is off and press ''Capture Settings.''"));
    QCOMPARE(capture->text(), QStringLiteral("Capture Settings"));
    QVERIFY(done->isEnabled());
    QCOMPARE(f.console()->text(), std::string());

    done->click();
    QVERIFY(!f.dialog->isVisible());
    QCOMPARE(f.dialog->result(), int(QDialog::Accepted));
}

void CaptureDialogTest::captureWithoutDataFails() {
    Fixture f;
    QPushButton* capture = f.button("cmdCaptureSettings");
    capture->click();
    capture->click();
    QCOMPARE(f.settingsFile(), std::string("BOTEOT,"));
    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    QCOMPARE(f.prompt.shown[0].text,
             std::string("Settings capture failed!\r\n\r\nPlease try again."));
    QCOMPARE(f.prompt.shown[0].title, std::string("Error"));
    QCOMPARE(f.label("lblDbg")->text(), QStringLiteral("1"));
    QVERIFY(f.button("cmdExit")->isEnabled());

    // A second capture replaces the file.
    capture->click();
    QCOMPARE(f.settingsFile(), std::string());
    capture->click();
    QCOMPARE(f.settingsFile(), std::string("BOTEOT,"));
    QCOMPARE(f.prompt.shown.size(), std::size_t{2});
}

void CaptureDialogTest::missingPortIsReported() {
    Fixture f("/nonexistent/kestrin-no-such-port");
    QCOMPARE(f.prompt.shown.size(), std::size_t{1});
    QCOMPARE(f.prompt.shown[0].text,
             std::string("Com 1 does not exist.\r\n\r\nPlease correct the com port setting."));
    QCOMPARE(f.prompt.shown[0].title, std::string("Kestrin"));
    QVERIFY(!f.button("cmdCaptureSettings")->isEnabled());
    QVERIFY(f.button("cmdExit")->isEnabled());
    QVERIFY(!QFile::exists(QString::fromStdString(f.dir.file("Settings.txt"))));
}

QTEST_MAIN(CaptureDialogTest)
#include "capture_dialog_test.moc"
