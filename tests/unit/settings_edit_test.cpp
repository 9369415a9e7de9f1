// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "settings/settings_format.h"

namespace kestrin {
namespace {

// "BOT" and 45 characters the mapping skips: the first value starts at slot 100.
const std::string kStart = "BOT" + std::string(45, '9');

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

TEST(SettingsEditTest, ReplacesWhatTheMappingStoresAndKeepsEveryOtherByte) {
    const std::string row = Repeated("0,", 16);
    const struct {
        std::string line;
        std::map<long long, std::string> texts;
        std::string edited;
        std::vector<long long> leftAlone;
    } cases[] = {
        // Values of several characters, empty values, several at once.
        {kStart + "1,-2,,+123,EOT,",
         {{100, "+7"}, {110, "-4"}, {115, "0"}},
         kStart + "+7,-2,-4,0,EOT,",
         {}},
        // A value across the 48th character: only its mapped part is replaced.
        {"BOT" + std::string(44, '9') + "12,5,EOT,",
         {{100, "-5"}},
         "BOT" + std::string(44, '9') + "1-5,5,EOT,",
         {}},
        // The 49th character is a comma: slot 100 is empty and gets the text there.
        {kStart + ",5,EOT,", {{100, "+1"}}, kStart + "+1,5,EOT,", {}},
        // The 17th value takes the row step to slot 200.
        {kStart + row + "7,EOT,", {{200, "+3"}}, kStart + row + "+3,EOT,", {}},
        // A missed row step: slot 200 holds the fourth value after the empty one,
        // the empty value at 180 stays empty, and the end marker moves back.
        {kStart + row + ",a,b,c,d,EOT,",
         {{180, "1"}, {200, "+3"}, {205, "0"}},
         kStart + row + ",a,b,c,+3,EOT,",
         {180, 205}},
        // Below the table's rows, between slots, past the end, the marker's letters.
        {kStart + "1,EOT,",
         {{50, "1"}, {102, "1"}, {105, "1"}, {900, "1"}},
         kStart + "1,EOT,",
         {50, 102, 105, 900}},
        // Texts that would move or break the values after them.
        {kStart + "1,2,3,EOT,",
         {{100, ""}, {105, "4,5"}, {110, "6\n"}},
         kStart + "1,2,3,EOT,",
         {100, 105, 110}},
    };
    for (const auto& c : cases) {
        const SettingsEdit edit = ReplaceMappedValues(c.line, c.texts);
        EXPECT_EQ(edit.line, c.edited) << c.line;
        EXPECT_EQ(edit.leftAlone, c.leftAlone) << c.line;
    }
}

}  // namespace
}  // namespace kestrin
