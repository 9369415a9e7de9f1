#include "settings/settings_loader.h"

#include "settings/settings_format.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "log/line_reader.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

namespace kestrin {
namespace {

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
        {kPrefix + Commas(400) + "X", 2005, {}, 0}};
    for (const auto& [line, end, expected, count] : cases) {
        SettingsTable table;
        EXPECT_EQ(MapSettingsLine(line, table), end) << line;
        for (const auto& [slot, text] : expected) EXPECT_EQ(table.at(slot), text) << line;
        int filled = 0;
        for (int i = 0; i < SettingsTable::kSize; ++i) filled += !table.at(i).empty();
        EXPECT_EQ(filled, count) << line;
    }
}

TEST(SettingsFormat, MappingStaysInsideTheTable) {
    // Rows 1 to 19 fill, the next row step reaches the last slot, 2000, and
    // everything after it is dropped.
    std::string values = kPrefix;
    for (int i = 0; i < 1000; ++i) values += "V,";
    SettingsTable table;
    EXPECT_EQ(MapSettingsLine(values, table), 2005);
    EXPECT_EQ(table.at(1975) + table.at(1980) + table.at(2000), "VV");
    int filled = 0;
    for (int i = 0; i < SettingsTable::kSize; ++i) filled += !table.at(i).empty();
    EXPECT_EQ(filled, 19 * 16 + 1);
}

}  // namespace
}  // namespace kestrin
