// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace kestrin::ecusim {

// The unit's settings dump: 193 values. The logger writes them to its
// settings file as "BOT" followed by each value and a comma, then "EOT,", and
// skips the first 48 characters of that line when it loads it. The dump
// therefore starts with a preamble that fills exactly those 45 characters
// after "BOT"; the zone trims follow, one table row of 16 per line, so that
// they land in table rows 1 to 9 and the large-zone trims in rows 10 and 11.
inline constexpr std::size_t kDumpValueCount = 193;
inline constexpr std::size_t kSmallZoneCount = 144;  // 9 load rows of 16 rpm columns
inline constexpr std::size_t kLargeZoneCount = 24;
inline constexpr std::size_t kZoneColumns = 16;
inline constexpr std::size_t kPreambleChars = 45;  // the 48 skipped characters less "BOT"

struct DumpValues {
    // Unit constants the logger does not store: each with its comma they
    // must fill exactly kPreambleChars characters.
    std::vector<std::string> preamble;
    // Fuel trims in setting steps, small zone p = 16 * (load row - 1) + rpm column.
    std::array<int, kSmallZoneCount> smallZones{};
    std::array<int, kLargeZoneCount> largeZones{};
    // Further constants after the zones, up to the 193 values.
    std::vector<std::string> trailer;
};

DumpValues DefaultDumpValues();

// The unit's number style: "+12", "0", "-3".
std::string SignedText(int value);

// The 193 values in the order they are sent.
std::vector<std::string> DumpValueTexts(const DumpValues& values);

// Why these values cannot make a dump that the logger captures intact, or an
// empty text when they can.
std::string DumpProblem(const DumpValues& values);
// The same for the 193 values of a dump as texts: each must reach the
// settings file as it is, neither dropped, cut nor split.
std::string DumpProblem(const std::vector<std::string>& texts);

// The dump as sent on the line: values separated by single spaces, each line
// ended by a space, carriage return and line feed. The space closes the last
// value of the line (the logger ignores carriage returns and a line feed that
// follows one), and the last two characters give the logger the look-ahead it
// needs to close the final value. The first line holds the values the logger
// does not store, each further line one row of the logger's table. Empty when
// DumpProblem reports a problem.
std::string SettingsDump(const DumpValues& values);
std::string SettingsDump(const std::vector<std::string>& texts);

}  // namespace kestrin::ecusim
