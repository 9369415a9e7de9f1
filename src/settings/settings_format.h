// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_table.h"

namespace kestrin {

// The one-line settings file: "BOT", values each followed by ",", "EOT,".
inline constexpr std::string_view kSettingsFileName = "Settings.txt";
inline constexpr std::string_view kSettingsBegin = "BOT";
inline constexpr std::string_view kSettingsEnd = "EOT,";
// 193 value terminators plus the comma of the end marker.
inline constexpr std::size_t kCompleteCommaCount = 194;
// The start of the dump that is not stored in the table.
inline constexpr std::size_t kUnmappedPrefix = 48;

// The number of commas anywhere in the line.
std::size_t CommaCount(std::string_view line);

// "BOT" at the start, "EOT," at the end and exactly 194 commas, case-sensitive.
bool PassesFullCheck(std::string_view line);

// Stores the characters from the 49th on into the table: a comma moves to the
// next column (index + 5); any other character is appended to the slot at the
// index, after stepping over positions 80 to 95 of a row to the next row. The
// caller empties the table first. Characters that would land past the end of
// the table are dropped. Returns the index the mapping ended at.
long long MapSettingsLine(std::string_view line, SettingsTable& table);

// A settings line with new texts at some table indexes.
struct SettingsEdit {
    std::string line;
    // The indexes asked for that were left as they were, ascending.
    std::vector<long long> leftAlone;
};

// `line` with, for each index of `texts`, the characters the mapping stores
// at that index replaced by the text; every other character stays, so the
// line maps as before but for those indexes. An index is left alone when no
// value of the line lands there (below 100, past the end marker, never met
// after a missed row step), when only the end marker's letters land there,
// and when its text is empty or holds a comma or line end: each of these
// would move or break the values after it.
SettingsEdit ReplaceMappedValues(std::string_view line,
                                 const std::map<long long, std::string>& texts);

}  // namespace kestrin
