// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_capture.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "ecu-sim/settings_dump.h"
#include "log/line_reader.h"
#include "settings/settings_format.h"
#include "settings/settings_loader.h"
#include "support/fake_port.h"
#include "support/memory_file_system.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"
#include "viewer/zone_layout.h"

namespace kestrin {
namespace {

const std::string kIdle = "Make sure ignitnion is off and press ''Capture Settings.''";
const std::string kFailed = "Settings capture failed!\r\n\r\n";

struct FakeView : CaptureView {
    void setInstructions(std::string_view text) override { instructions = text; }
    void setCaptureCaption(std::string_view text) override { caption = text; }
    void setCaptureEnabled(bool enabled) override { captureEnabled = enabled; }
    void setDoneEnabled(bool enabled) override { doneEnabled = enabled; }
    void setDebugText(std::string_view text) override { debug = text; }
    void AppendConsole(std::string_view text) override { console.append(text); }
    void clearConsole() override { console.clear(); }
    std::string instructions, caption, debug = "old", console;
    bool captureEnabled = true, doneEnabled = false;
};

struct Capture {
    std::string& file() { return files.files["Settings.txt"]; }
    std::string lastBox() { return prompt.shown.empty() ? "" : prompt.shown.back().text; }
    void click() { capture.cmdCaptureSettings_Click(); }

    test::FakePort port;
    FakeView view;
    test::MemoryFileSystem files;
    test::ScriptedPrompt prompt;
    SettingsCapture capture{view, port, files, prompt};
};

struct SettingsCaptureTest : ::testing::Test, Capture {};

// Keeps what the cutter shows and writes.
struct Cut : CaptureOutput {
    void CaptureAppendConsole(std::string_view text) override { console.append(text); }
    void CaptureWriteField(std::string_view field) override { file.append(field); }
    void CaptureWriteComma() override { file.append(","); }
    void feed(std::string_view chars) {
        test::FeedEach(chars, [this](std::string_view c) { cutter.Receive(c); });
    }
    std::string console, file;
    CaptureCutter cutter{*this};
};

TEST(CaptureCutter, CutsValuesAsTheUnitSendsThem) {
    const std::string_view cases[][3] = {
        // A sign after a digit starts a new value; after a letter, point or slash it stays.
        {"10-5 9+8 A-1 2.-5/+1 X", "10,-5,9,+8,A-1,2.-5/+1,", "10\t-5\t9\t+8\tA-1\t2.-5/+1\t"},
        {"1   2     3 X", "1,2,3,", "1\t2\t3\t"},  // only the first space of a run
        // A CR does nothing and hides the LF: the value runs into the next line.
        {"12\r\n34 X", "1234,", "1234\t"},
        {"5 12\n3", "5,12,", "5\t12\r\n"},
        {"12 \n\n3 X", "12,3,", "12\t3\t"},  // an LF after a space or LF ends nothing
        // The start text "!" is visible, so a leading space closes an empty value; dropped
        // characters still count as visible before a space; a comma is kept in the value.
        {" 1 ab 1a* X", ",1,,1,", "\t1\t\t1\t"},
        {"1,2 09AZ@[/ X", "1,2,09AZ/,", "1,2\t09AZ/\t"},
        // An event without text drops the held character. The space that would close 4 is lost
        // so; the next space has an empty look-behind and closes 4 rather than merging 4 and 5.
        {"12\0043 X4 \004 5 \n6\n\004\n7 X", "13,X4,5,6,7,", "13\tX4\t5\t6\r\n7\t"}};
    for (const auto& [wire, file, console] : cases) {
        Cut t;
        t.feed(wire);
        EXPECT_EQ(t.file + "|" + t.console, std::string(file) + "|" + std::string(console)) << wire;
    }
}

TEST(CaptureCutter, ValuesPastTheLastSlotAreStillWrittenAndLongValuesCut) {
    Cut t;
    std::string expected;
    for (int i = 0; i < 600; ++i) {
        t.feed(std::to_string(i) + " ");
        expected += std::to_string(i) + ",";
    }
    t.feed("XY");
    EXPECT_EQ(t.cutter.fieldIndex(), CaptureCutter::kLastSlot);
    EXPECT_EQ(t.cutter.fields()[500], "X");  // the last slot collects the value being received
    t.feed("\n" + std::string(CaptureCutter::kMaxValueBytes + 1000, 'A') + " X");
    EXPECT_TRUE(t.file == expected + "XY," + std::string(CaptureCutter::kMaxValueBytes, 'A') + ",");
    EXPECT_EQ(t.cutter.fieldIndex(), 1);
}

TEST_F(SettingsCaptureTest, PortThatCannotBeOpenedIsToldAndNothingIsCaptured) {
    const std::pair<ErrorKind, std::string> cases[] = {
        {ErrorKind::PortNotFound,
         "Com 2 does not exist.\r\n\r\nPlease correct the com port setting."},
        {ErrorKind::PortUnavailable,
         "Com 2 could not be opened: Permission denied.\r\n\r\nClose any program that uses the "
         "port, then open this window again."}};
    for (const auto& [kind, text] : cases) {
        port.openResult = Status::Failure(kind, "Permission denied");
        capture.Form_Load(2);
        EXPECT_EQ(lastBox(), text);
        EXPECT_TRUE(!view.captureEnabled && view.doneEnabled);
        click();
        EXPECT_TRUE(!capture.captureActive() && files.files.empty());
    }
}

// The simulated unit's dump, zone by zone, captured twice in one showing of the dialog, becomes
// a Settings.txt that loads every zone into the slot the viewer reads.
TEST_F(SettingsCaptureTest, DumpBecomesSettingsFileThatLoadsEveryZoneWhereTheViewerReadsIt) {
    ecusim::DumpValues values = ecusim::DefaultDumpValues();
    for (std::size_t p = 0; p < ecusim::kSmallZoneCount; ++p) values.smallZones[p] = int(p) - 60;
    for (std::size_t k = 0; k < ecusim::kLargeZoneCount; ++k) values.largeZones[k] = 200 + int(k);
    capture.Form_Load(3);
    EXPECT_TRUE(port.number == 3 && port.isOpen() && view.captureEnabled && view.debug.empty());
    EXPECT_EQ(view.instructions, "Make sure ignitnion is off and press \"Capture Settings.\"");
    port.send("12 ");  // while idle: not part of any dump
    for (int round = 0; round < 2; ++round) {
        click();
        EXPECT_EQ(file() + view.caption, "BOTEnd Settings Capture");
        EXPECT_EQ(view.instructions, "Turn on ignition but do not start car.");
        EXPECT_FALSE(view.doneEnabled);
        port.send(ecusim::SettingsDump(values));
        EXPECT_EQ(view.instructions,
                  "When no new data displays on screen, press ''End Settings Capture.''");
        click();
        EXPECT_EQ(lastBox() + prompt.shown.back().title,
                  "Settings capture succesful!Capture Complete");
        EXPECT_EQ(view.debug + view.caption + view.instructions, "194Capture Settings" + kIdle);
        EXPECT_TRUE(view.doneEnabled && view.console.empty());
    }
    SettingsTable table;
    ASSERT_EQ(LoadSettingsFile(table, files, prompt, {}), LoadOutcome::Loaded);
    for (int p = 0; p < ZoneView::kSmallZones; ++p)
        ASSERT_EQ(table.at(SmallZoneSlot(p)), ecusim::SignedText(values.smallZones[p])) << p;
    for (int k = 0; k < ZoneView::kLargeZones; ++k)
        ASSERT_EQ(table.at(LargeZoneSlot(k)), ecusim::SignedText(values.largeZones[k])) << k;
}

TEST_F(SettingsCaptureTest, UnfinishedValueCarriesIntoTheNextCaptureButNotTheNextShowing) {
    capture.Form_Load(3);
    // The held "2" is not classified and the unfinished "2" before it not written.
    click();
    port.send("11 22");
    click();
    EXPECT_EQ(file() + view.debug, "BOT11,EOT,2");
    EXPECT_EQ(lastBox(), kFailed + "Please try again.");
    click();
    port.send("3 X");
    click();
    EXPECT_EQ(file(), "BOT223,EOT,");
    port.send("4 5");
    capture.Form_Load(3);
    EXPECT_EQ(capture.cutter().held() + capture.cutter().earlier(), "!!");
    click();
    port.send(" 6 X");
    click();
    EXPECT_EQ(file(), "BOT,6,EOT,");
}

// Each message names the file by its full path.
TEST(SettingsCaptureFailures, FileFailuresAreNeverReportedAsSuccess) {
    const test::TempDir dir;
    const test::ScopedCwd cwd(dir.path());
    const std::string file = dir.file("Settings.txt");
    const std::pair<std::function<void(test::MemoryFileSystem&)>, std::string> cases[] = {
        {[](auto& fs) { fs.createFailure = Status::FromErrno(EACCES); },
         file + " could not be created: Permission denied.\r\n\r\nNo capture was started."},
        {[](auto& fs) { fs.writeLimit = 100; },
         kFailed + file + " could not be written: No space left on device."},
        // Everything reached the file, but closing it (the last flush) failed.
        {[](auto& fs) { fs.closeFailure = Status::FromErrno(EIO); },
         kFailed + file + " could not be written: Input/output error."},
        {[](auto& fs) { fs.readFailure = Status::FromErrno(EIO); },
         kFailed + file + " could not be read back: Input/output error."}};
    for (const auto& [fail, text] : cases) {
        Capture t;
        fail(t.files);
        t.capture.Form_Load(1);
        t.click();
        t.port.send(ecusim::SettingsDump(ecusim::DefaultDumpValues()));
        t.click();
        ASSERT_FALSE(t.prompt.shown.empty());
        EXPECT_TRUE(t.prompt.shown[0].text.starts_with(text)) << t.prompt.shown[0].text;
        for (const auto& box : t.prompt.shown) EXPECT_EQ(box.title, "Error");
        EXPECT_TRUE(t.view.debug.empty() && t.view.doneEnabled && t.files.openStreams == 0);
        EXPECT_EQ(t.view.caption, "Capture Settings");
    }
}

TEST_F(SettingsCaptureTest, LostPortIsToldAndNoNewCaptureStarts) {
    capture.Form_Load(6);
    click();
    port.send("1 ");
    port.close();
    port.listener->onPortLost(Status::Failure(ErrorKind::PortUnavailable, "device removed"));
    EXPECT_EQ(lastBox(),
              "Com 6 was lost (device removed).\r\n\r\nPress End Settings Capture, "
              "reconnect the unit and open this window again.");
    click();                       // the running capture can still be ended
    EXPECT_EQ(file(), "BOTEOT,");  // the "1" was never closed
    EXPECT_EQ(lastBox(), kFailed + "Please try again.");
    EXPECT_TRUE(!view.captureEnabled && view.doneEnabled && files.openStreams == 0);
    EXPECT_EQ(files.readersOpened, 1);
    view.instructions.clear();
    click();
    EXPECT_TRUE(!capture.captureActive() && view.instructions == kIdle);

    capture.Form_Load(6);  // lost while idle
    view.captureEnabled = true;
    port.listener->onPortLost(Status::Failure(ErrorKind::PortUnavailable, "gone"));
    EXPECT_EQ(lastBox(),
              "Com 6 was lost (gone).\r\n\r\nReconnect the unit and open this window again.");
    EXPECT_FALSE(view.captureEnabled);
}

TEST_F(SettingsCaptureTest, ClosingDuringACaptureKeepsWhatWasWritten) {
    {
        SettingsCapture running(view, port, files, prompt);
        running.Form_Load(1);
        running.cmdCaptureSettings_Click();
        port.send("7 8 ");
    }
    EXPECT_EQ(file(), "BOT7,");
    EXPECT_EQ(files.openStreams, 0);
}

// Missing, damaged and unreadable settings files: each is told and leaves the
// table empty from slot 100 on.
struct SettingsLoaderTest : ::testing::Test {
    LoadOutcome Load(PromptAnswer answer = PromptAnswer::No) {
        table.slot(50) = "kept";  // below 100: never touched
        table.slot(100) = table.slot(2000) = "old";
        prompt.shown.clear();
        prompt.queue(answer);
        lblDebug = "unchanged";
        captures = 0;
        return LoadSettingsFile(table, files, prompt, hooks);
    }
    bool tableEmptied() {
        for (int i = SettingsTable::kFirstLoaded; i < SettingsTable::kSize; ++i)
            if (!table.at(i).empty()) return false;
        return table.at(50) == "kept" && files.openStreams == 0;
    }

    SettingsTable table;
    test::MemoryFileSystem files;
    test::ScriptedPrompt prompt;
    std::string lblDebug;
    int captures = 0;  // the capture dialog opens only after the question was answered
    SettingsLoaderHooks hooks{[this](std::string_view count) { lblDebug = count; },
                              [this] { captures += prompt.shown.size() == 1 ? 1 : 100; }};
};

// A complete line: 45 characters after "BOT" that the mapping skips, then 193 values.
const std::string kValid = "BOT" + std::string(45, '9') + "1,-2," + std::string(191, ',') + "EOT,";

TEST_F(SettingsLoaderTest, FilesThatDoNotLoadAreToldAndOfferACapture) {
    const std::string corrupt = "Settings file empty or corrupt!\r\n\r\nCapture settings now?";
    const std::tuple<std::optional<std::string>, std::string, std::string> cases[] = {
        {std::nullopt, "Settings file not found!\r\n\r\nCapture settings now?", "unchanged"},
        {"", corrupt, "unchanged"},
        // 194 commas but no final comma: the count is shown, nothing is loaded.
        {"BOT" + std::string(60, '1') + std::string(194, ',') + "EOT", corrupt, "194"},
        {std::string(LineReader::kMaxLineBytes + 10, ','), corrupt, "unchanged"},
        {std::string("BOT\0\xff\x01,,", 8) + "EOT,", corrupt, "3"},
        {"BOT,EOT,\n" + kValid, corrupt, "2"}  // only the first line counts
    };
    for (const auto& [content, text, count] : cases) {
        files.files.clear();
        if (content) files.files["Settings.txt"] = *content;
        for (const PromptAnswer answer : {PromptAnswer::Yes, PromptAnswer::No}) {
            EXPECT_EQ(Load(answer), content ? LoadOutcome::EmptyOrCorrupt : LoadOutcome::NotFound);
            EXPECT_TRUE(tableEmptied());
            EXPECT_EQ(lblDebug, count);
            ASSERT_EQ(prompt.shown.size(), 1u);
            EXPECT_EQ(prompt.shown[0].text + prompt.shown[0].title, text + "Error");
            EXPECT_EQ(prompt.shown[0].buttons, PromptButtons::YesNo);
            EXPECT_EQ(captures, answer == PromptAnswer::Yes ? 1 : 0);
        }
    }
}

TEST_F(SettingsLoaderTest, OtherFailuresShowTheirNumberAndText) {
    files.openFailure = Status::FromErrno(EACCES);
    EXPECT_EQ(Load(), LoadOutcome::OtherFailure);
    EXPECT_EQ(prompt.shown.at(0).text + prompt.shown[0].title,
              "Unknown Error13\r\n\r\nPermission deniedKestrin");
    EXPECT_EQ(prompt.shown[0].buttons, PromptButtons::Ok);
    files.openFailure.reset();
    files.files["Settings.txt"] = kValid;
    files.readFailure = Status{ErrorKind::System, EISDIR, ""};
    EXPECT_EQ(Load(), LoadOutcome::OtherFailure);
    EXPECT_EQ(prompt.shown.at(0).text + lblDebug, "Unknown Error21unchanged");
    EXPECT_TRUE(tableEmptied() && captures == 0);
}

TEST_F(SettingsLoaderTest, ValidFileLoadsSilentlyAndTheSameEachTime) {
    // Loaded twice, then with further lines behind the first.
    for (const std::string& content : {kValid, kValid, kValid + "\r\nBOT,EOT,\r\n"}) {
        files.files["Settings.txt"] = content;
        EXPECT_EQ(Load(), LoadOutcome::Loaded);
        EXPECT_TRUE(prompt.shown.empty() && files.openStreams == 0);
        EXPECT_EQ(lblDebug, "194");
        EXPECT_EQ(table.at(100) + table.at(105) + table.at(50), "1-2kept");
        EXPECT_EQ(table.at(110) + table.at(2000), "");
    }
}

// 45 characters that, after "BOT", make up the 48 the mapping skips.
const std::string kPrefix = "BOT" + std::string(45, '9');

std::string Commas(int n) { return std::string(n, ','); }

TEST(SettingsFormat, CommaCountAndFullCheck) {
    const std::tuple<std::string, std::size_t, bool> cases[] = {
        {"BOT" + Commas(193) + "EOT,", 194, true},  // 193 empty values
        {"bot" + Commas(193) + "EOT,", 194, false}, {"BOT" + Commas(194) + "EOT", 194, false},
        {"BOT" + Commas(193) + "eot,", 194, false}, {"BOT" + Commas(194) + "EOT,", 195, false},
        {"BOT" + Commas(192) + "EOT,", 193, false}, {"", 0, false}};
    for (const auto& [line, commas, passes] : cases) {
        EXPECT_EQ(CommaCount(line), commas) << line;
        EXPECT_EQ(PassesFullCheck(line), passes) << line;
    }
}

TEST(SettingsFormat, MappingSkips48CharactersAndStepsOverRowPositions80To95) {
    std::string rows = kPrefix;
    for (int i = 0; i < 16; ++i) rows += "R,";
    // The empty value that should open row 2 carries the index to 185; the next step is as usual.
    rows += ",A,B,C,D,";
    for (int i = 0; i < 16; ++i) rows += "S" + std::to_string(i) + ",";
    std::string many = kPrefix;
    for (int i = 0; i < 1000; ++i) many += "V,";
    const std::tuple<std::string, int, std::map<int, std::string>, int> cases[] = {
        {"", 100, {}, 0},
        {kPrefix, 100, {}, 0},
        {"BOT" + Commas(193) + "EOT,", 845, {{840, "EOT"}}, 1},
        {"BOT" + Commas(20) + std::string(25, 'Q') + "12,-3,,A5,EOT,",
         125,
         {{100, "12"}, {105, "-3"}, {115, "A5"}, {120, "EOT"}},
         4},
        {kPrefix + " 1 ,007,+.5/," + Commas(13) + "X,Y,",
         210,
         {{100, " 1 "}, {105, "007"}, {110, "+.5/"}, {200, "X"}, {205, "Y"}},
         5},
        {rows,
         305,
         {{175, "R"}, {185, "A"}, {195, "C"}, {200, "D"}, {275, "S14"}, {300, "S15"}},
         36},
        // 400 commas carry the index past the table; the letter after them is dropped.
        {kPrefix + Commas(400) + "X", 2005, {}, 0},
        // Rows 1 to 19 fill, the next row step reaches the last slot, 2000; the rest is dropped.
        {many, 2005, {{1975, "V"}, {1980, ""}, {2000, "V"}}, 19 * 16 + 1}};
    for (const auto& [line, end, expected, count] : cases) {
        SettingsTable table;
        EXPECT_EQ(MapSettingsLine(line, table), end) << line;
        for (const auto& [slot, text] : expected) EXPECT_EQ(table.at(slot), text) << line;
        int filled = 0;
        for (int i = 0; i < SettingsTable::kSize; ++i) filled += !table.at(i).empty();
        EXPECT_EQ(filled, count) << line;
    }
}

}  // namespace
}  // namespace kestrin
