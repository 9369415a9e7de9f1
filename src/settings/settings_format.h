#pragma once

#include <cstddef>
#include <string_view>

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

}  // namespace kestrin
