#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_loader.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"
#include "support/settings_dump.h"

namespace kestrin {
namespace {

using test::MemoryFileSystem;
using test::ScriptedPrompt;

class SettingsLoaderTest : public ::testing::Test {
  protected:
    SettingsLoaderTest() {
        // Leftovers of an earlier load, and a slot below 100 the loader never touches.
        table.slot(50) = "kept";
        table.slot(100) = "old";
        table.slot(2000) = "old";
        hooks.showCommaCount = [this](std::string_view count) { lblDebug = count; };
        hooks.openCaptureDialog = [this] {
            // The dialog opens only after the question was answered.
            events.push_back("capture after " + std::to_string(prompt.shown.size()) + " box");
        };
    }

    LoadOutcome Load() { return LoadSettingsFile(table, files, prompt, hooks); }

    void ExpectTableEmptied() {
        EXPECT_EQ(table.at(50), "kept");
        for (int i = SettingsTable::kFirstLoaded; i < SettingsTable::kSize; ++i)
            ASSERT_EQ(table.at(i), "") << "slot " << i;
    }

    void ExpectOffer(std::string_view text) {
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text, text);
        EXPECT_EQ(prompt.shown[0].title, "Error");
        EXPECT_EQ(prompt.shown[0].buttons, PromptButtons::YesNo);
    }

    SettingsTable table;
    MemoryFileSystem files;
    ScriptedPrompt prompt;
    SettingsLoaderHooks hooks;
    std::string lblDebug = "unchanged";
    std::vector<std::string> events;
};

TEST_F(SettingsLoaderTest, MissingFileOffersACapture) {
    EXPECT_EQ(Load(), LoadOutcome::NotFound);
    ExpectTableEmptied();
    EXPECT_EQ(lblDebug, "unchanged");
    ExpectOffer("Settings file not found!\r\n\r\nCapture settings now?");
    EXPECT_TRUE(events.empty());  // the default answer is No

    prompt.queue(PromptAnswer::Yes);
    Load();
    EXPECT_EQ(events, std::vector<std::string>{"capture after 2 box"});
}

TEST_F(SettingsLoaderTest, EmptyOrCorruptFilesAreNotMapped) {
    struct Case {
        std::string content;
        std::string lblDebug;
    };
    const Case cases[] = {
        {"", "unchanged"},
        // 194 commas but no final comma: the count is shown, nothing is loaded.
        {"BOT" + std::string(60, '1') + std::string(194, ',') + "EOT", "194"},
        {std::string(TextStream::kMaxLineBytes + 10, ','), "unchanged"},
        {std::string("BOT\0\xff\x01,,", 8) + "EOT,", "3"},
        // Only the first line counts.
        {"BOT,EOT,\n" + test::MakeSettingsDump().file, "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 20));
        table.slot(100) = "old";
        prompt.shown.clear();
        events.clear();
        lblDebug = "unchanged";
        files.files["Settings.txt"] = c.content;
        prompt.queue(PromptAnswer::Yes);
        EXPECT_EQ(Load(), LoadOutcome::EmptyOrCorrupt);
        EXPECT_EQ(lblDebug, c.lblDebug);
        ExpectTableEmptied();
        ExpectOffer("Settings file empty or corrupt!\r\n\r\nCapture settings now?");
        EXPECT_EQ(events, std::vector<std::string>{"capture after 1 box"});
        EXPECT_EQ(files.openStreams, 0);
    }
}

TEST_F(SettingsLoaderTest, OtherFailuresShowTheirCode) {
    files.openFailure = Status::FromErrno(EACCES);
    EXPECT_EQ(Load(), LoadOutcome::OtherFailure);
    ExpectTableEmptied();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Unknown Error13\r\n\r\nPermission denied");
    EXPECT_EQ(prompt.shown[0].title, "Kestrin");
    EXPECT_EQ(prompt.shown[0].buttons, PromptButtons::Ok);

    files.openFailure.reset();
    files.files["Settings.txt"] = test::MakeSettingsDump().file;
    files.readFailure = Status{ErrorKind::System, EISDIR, ""};
    EXPECT_EQ(Load(), LoadOutcome::OtherFailure);
    EXPECT_EQ(prompt.shown.back().text, "Unknown Error21");
    EXPECT_EQ(lblDebug, "unchanged");
    ExpectTableEmptied();
    EXPECT_EQ(files.openStreams, 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(SettingsLoaderTest, ValidFileLoadsSilentlyAndTheSameEachTime) {
    const test::SettingsDump dump = test::MakeSettingsDump();
    // Loaded twice, then with further lines behind the first.
    for (const std::string& content : {dump.file, dump.file, dump.file + "\r\nBOT,,,,,EOT,\r\n"}) {
        files.files["Settings.txt"] = content;
        EXPECT_EQ(Load(), LoadOutcome::Loaded);
        EXPECT_TRUE(prompt.shown.empty());
        EXPECT_EQ(lblDebug, "194");
        for (int i = SettingsTable::kFirstLoaded; i < SettingsTable::kSize; ++i) {
            auto expected = dump.tableSlots.find(i);
            ASSERT_EQ(table.at(i), expected == dump.tableSlots.end() ? "" : expected->second)
                << "slot " << i;
        }
    }
    EXPECT_EQ(table.at(1240), "EOT");
    EXPECT_EQ(table.at(50), "kept");
    EXPECT_EQ(files.openStreams, 0);
}

}  // namespace
}  // namespace kestrin
