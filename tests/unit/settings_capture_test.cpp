#include "settings/settings_capture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "support/fake_port.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"
#include "support/settings_dump.h"

namespace kestrin {
namespace {

using test::FakePort;

class FakeView : public CaptureView {
  public:
    void setInstructions(std::string_view text) override { instructions = text; }
    void setCaptureCaption(std::string_view text) override { caption = text; }
    void setCaptureEnabled(bool enabled) override { captureEnabled = enabled; }
    void setDoneEnabled(bool enabled) override { doneEnabled = enabled; }
    void setDebugText(std::string_view text) override { debug = text; }
    void AppendConsole(std::string_view text) override { console.append(text); }
    void clearConsole() override { console.clear(); }

    std::string instructions, caption, debug, console;
    bool captureEnabled = false;
    bool doneEnabled = false;
};

class SettingsCaptureTest : public ::testing::Test {
  protected:
    const std::string& file() { return files.files["Settings.txt"]; }
    const test::ScriptedPrompt::Shown& lastBox() { return prompt.shown.back(); }

    FakePort port;
    FakeView view;
    test::MemoryFileSystem files;
    test::ScriptedPrompt prompt;
    SettingsCapture capture{view, port, files, prompt};
};

TEST_F(SettingsCaptureTest, PortThatCannotBeOpenedIsReportedAndNothingIsCaptured) {
    port.openResult = Status::Failure(ErrorKind::PortUnavailable, "Permission denied");
    view.captureEnabled = true;  // so that the load has to clear it
    capture.Form_Load(2);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text,
              "Com 2 could not be opened: Permission denied.\r\n\r\nClose any program that uses "
              "the port, then open this window again.");
    EXPECT_EQ(lastBox().title, "Kestrin");
    EXPECT_EQ(lastBox().buttons, PromptButtons::Ok);
    EXPECT_FALSE(view.captureEnabled);
    EXPECT_TRUE(view.doneEnabled);

    capture.cmdCaptureSettings_Click();
    EXPECT_FALSE(capture.captureActive());
    EXPECT_TRUE(files.files.empty());
}

TEST_F(SettingsCaptureTest, LoadOpensThePortAndStartWritesTheBeginMarker) {
    capture.Form_Load(3);
    EXPECT_EQ(port.number, 3);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.listener, &capture);
    EXPECT_TRUE(view.captureEnabled);
    EXPECT_TRUE(prompt.shown.empty());
    port.send("12 ");  // while idle: not part of any dump
    capture.cmdCaptureSettings_Click();
    EXPECT_TRUE(capture.captureActive());
    EXPECT_EQ(file(), "BOT");
    EXPECT_FALSE(view.doneEnabled);
    EXPECT_EQ(view.instructions, "Turn on ignition but do not start car.");
    EXPECT_EQ(capture.cutter().held(), "!");
    EXPECT_EQ(capture.cutter().earlier(), "!");

    port.send("5");
    EXPECT_EQ(view.instructions,
              "When no new data displays on screen, press ''End Settings Capture.''");
}

TEST_F(SettingsCaptureTest, UnfinishedValueCarriesIntoTheNextCapture) {
    capture.Form_Load(1);
    capture.cmdCaptureSettings_Click();
    port.send("11 22");
    capture.cmdCaptureSettings_Click();
    // The held "2" is not classified and the unfinished "2" before it not written.
    EXPECT_EQ(file(), "BOT11,EOT,");
    EXPECT_EQ(view.debug, "2");

    port.send("999 ");  // idle again: ignored
    capture.cmdCaptureSettings_Click();
    port.send("3 X");
    capture.cmdCaptureSettings_Click();
    EXPECT_EQ(file(), "BOT223,EOT,");
    EXPECT_EQ(capture.cutter().fieldIndex(), 2);
}

TEST_F(SettingsCaptureTest, FileThatCannotBeCreatedStartsNoCapture) {
    files.createFailure = Status::FromErrno(EACCES);
    capture.Form_Load(1);
    capture.cmdCaptureSettings_Click();
    EXPECT_FALSE(capture.captureActive());
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text,
              "Settings.txt could not be created: Permission denied.\r\n\r\nNo capture was "
              "started.");
    EXPECT_EQ(lastBox().title, "Error");
    EXPECT_EQ(view.caption, "Capture Settings");
    EXPECT_TRUE(view.doneEnabled);
}

TEST(SettingsCaptureFailures, FileFailuresAreNeverReportedAsSuccess) {
    struct Case {
        std::function<void(test::MemoryFileSystem&)> fail;
        std::string reason;
    };
    const Case cases[] = {
        {[](auto& fs) { fs.writeLimit = 100; },
         "Settings.txt could not be written: No space left on device."},
        // Everything reached the file, but closing it (the last flush) failed.
        {[](auto& fs) { fs.closeFailure = Status::FromErrno(EIO); },
         "Settings.txt could not be written: Input/output error."},
        {[](auto& fs) { fs.readFailure = Status::FromErrno(EIO); },
         "Settings.txt could not be read back: Input/output error."},
    };
    for (const Case& c : cases) {
        FakePort port;
        FakeView view;
        test::MemoryFileSystem files;
        test::ScriptedPrompt prompt;
        SettingsCapture capture(view, port, files, prompt);
        c.fail(files);
        capture.Form_Load(1);
        capture.cmdCaptureSettings_Click();
        port.send(test::MakeSettingsDump().wire);
        capture.cmdCaptureSettings_Click();
        ASSERT_EQ(prompt.shown.size(), 1u) << c.reason;
        EXPECT_EQ(prompt.shown[0].text,
                  "Settings capture failed!\r\n\r\n" + c.reason + "\r\n\r\nPlease try again.");
        EXPECT_EQ(prompt.shown[0].title, "Error");
        EXPECT_EQ(view.debug, "") << c.reason;
        EXPECT_TRUE(view.doneEnabled);
        EXPECT_EQ(files.openStreams, 0);
    }
}

TEST_F(SettingsCaptureTest, LostPortIsToldAndTheCaptureCanStillBeEnded) {
    capture.Form_Load(6);
    capture.cmdCaptureSettings_Click();
    port.send("1 ");
    port.close();
    port.listener->onPortLost(Status::Failure(ErrorKind::PortUnavailable, "device removed"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text,
              "Com 6 was lost (device removed).\r\n\r\nPress End Settings Capture, reconnect "
              "the unit and open this window again.");
    EXPECT_TRUE(view.captureEnabled);

    capture.cmdCaptureSettings_Click();
    // The "1" was never closed: nothing but the markers reached the file.
    EXPECT_EQ(file(), "BOTEOT,");
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(lastBox().text, "Settings capture failed!\r\n\r\nPlease try again.");
    EXPECT_EQ(lastBox().title, "Error");
    EXPECT_EQ(lastBox().buttons, PromptButtons::Ok);
    EXPECT_EQ(view.debug, "1");
    EXPECT_EQ(view.caption, "Capture Settings");
    EXPECT_EQ(view.instructions, "Make sure ignitnion is off and press ''Capture Settings.''");
    EXPECT_FALSE(view.captureEnabled);
    EXPECT_TRUE(view.doneEnabled);
    // The reader was closed, so the next capture can replace the file.
    EXPECT_EQ(files.openStreams, 0);
    EXPECT_EQ(files.readersOpened, 1);
}

TEST_F(SettingsCaptureTest, ClosingDuringACaptureKeepsWhatWasWritten) {
    {
        FakePort otherPort;
        SettingsCapture running(view, otherPort, files, prompt);
        running.Form_Load(1);
        running.cmdCaptureSettings_Click();
        otherPort.send("7 8 ");
        EXPECT_EQ(files.openStreams, 1);
    }
    EXPECT_EQ(file(), "BOT7,");
    EXPECT_EQ(files.openStreams, 0);
}

}  // namespace
}  // namespace kestrin
