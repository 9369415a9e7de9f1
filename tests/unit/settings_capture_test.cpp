#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "settings/settings_capture.h"
#include "settings/settings_format.h"
#include "settings/settings_loader.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"
#include "support/settings_dump.h"

namespace kestrin {
namespace {

using test::MemoryFileSystem;
using test::ScriptedPrompt;

class FakePort : public SerialPort {
  public:
    Status setCommPort(int number) override {
        number_ = number;
        return Status::Ok();
    }
    Status open() override {
        if (!openResult.ok()) return openResult;
        open_ = true;
        return Status::Ok();
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void setListener(SerialListener* listener) override { listener_ = listener; }

    // The unit sends: one receive event per character.
    void send(std::string_view chars) {
        for (char c : chars)
            if (listener_) listener_->onReceive(std::string_view(&c, 1));
    }
    void lose(const Status& why) {
        open_ = false;
        if (listener_) listener_->onPortLost(why);
    }

    Status openResult;
    int number() const { return number_; }
    SerialListener* listener() const { return listener_; }

  private:
    int number_ = 0;
    bool open_ = false;
    SerialListener* listener_ = nullptr;
};

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

const std::string kFailedBox = "Settings capture failed!\r\n\r\nPlease try again.";

class SettingsCaptureTest : public ::testing::Test {
  protected:
    const std::string& file() { return files.files["Settings.txt"]; }
    const ScriptedPrompt::Shown& lastBox() { return prompt.shown.back(); }

    FakePort port;
    FakeView view;
    MemoryFileSystem files;
    ScriptedPrompt prompt;
    SettingsCapture capture{view, port, files, prompt};
};

TEST_F(SettingsCaptureTest, LoadOpensThePortAndShowsTheIdleDialog) {
    capture.Form_Load(3);
    EXPECT_EQ(port.number(), 3);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.listener(), &capture);
    EXPECT_EQ(view.instructions, "Make sure ignitnion is off and press \"Capture Settings.\"");
    EXPECT_EQ(view.caption, "Capture Settings");
    EXPECT_TRUE(view.captureEnabled);
    EXPECT_TRUE(view.doneEnabled);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(capture.cutter().held(), "!");
    EXPECT_EQ(capture.cutter().earlier(), "!");
}

TEST_F(SettingsCaptureTest, MissingPortIsReportedAndNothingIsCaptured) {
    port.openResult = Status::Failure(kPortNotFound, "no such device");
    capture.Form_Load(4);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text, "Com 4 does not exist.\r\n\r\nPlease correct the com port setting.");
    EXPECT_EQ(lastBox().title, "Kestrin");
    EXPECT_EQ(lastBox().buttons, PromptButtons::Ok);
    EXPECT_FALSE(view.captureEnabled);
    EXPECT_TRUE(view.doneEnabled);

    capture.cmdCaptureSettings_Click();
    EXPECT_FALSE(capture.captureActive());
    EXPECT_TRUE(files.files.empty());
}

TEST_F(SettingsCaptureTest, PortThatCannotBeOpenedIsReportedWithItsReason) {
    port.openResult = Status::Failure(kPortOpenFailed, "Permission denied");
    capture.Form_Load(2);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text,
              "Com 2 could not be opened: Permission denied.\r\n\r\nClose any program that uses "
              "the port, then open this window again.");
    EXPECT_EQ(lastBox().title, "Kestrin");
    EXPECT_FALSE(view.captureEnabled);
}

TEST_F(SettingsCaptureTest, StartWritesTheBeginMarkerAndLocksDone) {
    capture.Form_Load(1);
    port.send("12 ");  // while idle: not part of any dump
    capture.cmdCaptureSettings_Click();
    EXPECT_TRUE(capture.captureActive());
    EXPECT_EQ(file(), "BOT");
    EXPECT_EQ(view.caption, "End Settings Capture");
    EXPECT_FALSE(view.doneEnabled);
    EXPECT_EQ(view.instructions, "Turn on ignition but do not start car.");
    EXPECT_EQ(capture.cutter().held(), "!");

    port.send("5");
    EXPECT_EQ(view.instructions,
              "When no new data displays on screen, press ''End Settings Capture.''");
}

TEST_F(SettingsCaptureTest, EndWithoutDataReportsOneComma) {
    capture.Form_Load(1);
    capture.cmdCaptureSettings_Click();
    capture.cmdCaptureSettings_Click();
    EXPECT_EQ(file(), "BOTEOT,");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text, kFailedBox);
    EXPECT_EQ(lastBox().title, "Error");
    EXPECT_EQ(lastBox().buttons, PromptButtons::Ok);
    EXPECT_EQ(view.debug, "1");
    EXPECT_EQ(view.caption, "Capture Settings");
    EXPECT_EQ(view.instructions, "Make sure ignitnion is off and press ''Capture Settings.''");
    EXPECT_TRUE(view.doneEnabled);
    EXPECT_TRUE(view.captureEnabled);
    // The reader was closed, so the next capture can replace the file.
    EXPECT_EQ(files.openStreams, 0);
    EXPECT_EQ(files.readersOpened, 1);
}

TEST_F(SettingsCaptureTest, CompleteDumpIsReportedAsSuccess) {
    const test::SettingsDump dump = test::MakeSettingsDump();
    capture.Form_Load(1);
    capture.cmdCaptureSettings_Click();
    port.send(dump.wire);
    EXPECT_FALSE(view.console.empty());
    capture.cmdCaptureSettings_Click();

    EXPECT_EQ(file(), dump.file);
    EXPECT_EQ(capture.readBackLine(), dump.file);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text, "Settings capture succesful!");
    EXPECT_EQ(lastBox().title, "Capture Complete");
    EXPECT_EQ(view.debug, "194");
    EXPECT_EQ(view.console, "");
}

TEST_F(SettingsCaptureTest, CapturedDumpLoadsIntoTheExpectedSlots) {
    const test::SettingsDump dump = test::MakeSettingsDump();
    capture.Form_Load(1);
    capture.cmdCaptureSettings_Click();
    port.send(dump.wire);
    capture.cmdCaptureSettings_Click();

    SettingsTable table;
    std::string lblDebug;
    SettingsLoaderHooks hooks{[&](std::string_view count) { lblDebug = count; }, {}};
    EXPECT_EQ(LoadSettingsFile(table, files, prompt, hooks), LoadOutcome::Loaded);
    EXPECT_EQ(lblDebug, "194");
    EXPECT_EQ(prompt.shown.size(), 1u);  // only the capture's success box
    for (int i = 0; i < SettingsTable::kSize; ++i) {
        auto expected = dump.tableSlots.find(i);
        ASSERT_EQ(table.at(i), expected == dump.tableSlots.end() ? "" : expected->second)
            << "slot " << i;
    }
    EXPECT_EQ(table.at(100), "333.5");
    EXPECT_EQ(table.at(1240), "EOT");
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
    files.createFailure = Status::Failure(13, "Permission denied");
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

TEST_F(SettingsCaptureTest, WriteFailureIsNeverReportedAsSuccess) {
    const test::SettingsDump dump = test::MakeSettingsDump();
    files.writeLimit = 100;
    capture.Form_Load(1);
    capture.cmdCaptureSettings_Click();
    port.send(dump.wire);
    capture.cmdCaptureSettings_Click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text,
              "Settings capture failed!\r\n\r\nSettings.txt could not be written: No space left "
              "on device.\r\n\r\nPlease try again.");
    EXPECT_EQ(lastBox().title, "Error");
    EXPECT_EQ(view.debug, "");
    EXPECT_TRUE(view.doneEnabled);
    EXPECT_EQ(files.openStreams, 0);
}

TEST_F(SettingsCaptureTest, FailedCloseOfACompleteFileIsAFailure) {
    // Everything reached the file, but closing it (the last flush) failed.
    const test::SettingsDump dump = test::MakeSettingsDump();
    files.closeFailure = Status::Failure(5, "Input/output error");
    capture.Form_Load(1);
    capture.cmdCaptureSettings_Click();
    port.send(dump.wire);
    capture.cmdCaptureSettings_Click();
    EXPECT_EQ(file(), dump.file);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_NE(lastBox().text.find("Settings.txt could not be written: Input/output error."),
              std::string::npos);
    EXPECT_EQ(lastBox().title, "Error");
}

TEST_F(SettingsCaptureTest, ReadBackFailureIsNeverReportedAsSuccess) {
    const test::SettingsDump dump = test::MakeSettingsDump();
    capture.Form_Load(1);
    capture.cmdCaptureSettings_Click();
    port.send(dump.wire);
    files.readFailure = Status::Failure(5, "Input/output error");
    capture.cmdCaptureSettings_Click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text,
              "Settings capture failed!\r\n\r\nSettings.txt could not be read back: "
              "Input/output error.\r\n\r\nPlease try again.");
    EXPECT_EQ(view.debug, "");
    EXPECT_EQ(files.openStreams, 0);
}

TEST_F(SettingsCaptureTest, LostPortIsToldAndTheCaptureCanStillBeEnded) {
    capture.Form_Load(6);
    capture.cmdCaptureSettings_Click();
    port.send("1 ");
    port.lose(Status::Failure(kPortOpenFailed, "device removed"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(lastBox().text,
              "Com 6 was lost (device removed).\r\n\r\nPress End Settings Capture, reconnect "
              "the unit and open this window again.");
    EXPECT_TRUE(view.captureEnabled);

    capture.cmdCaptureSettings_Click();
    EXPECT_EQ(file(), "BOTEOT,");
    EXPECT_EQ(lastBox().text, kFailedBox);
    EXPECT_FALSE(view.captureEnabled);
    EXPECT_TRUE(view.doneEnabled);
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
