// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/settings_table.h"

namespace kestrin {

// The settings grid as the viewer shows it: 144 small zones (9 rows of 16, p = 16 * row + column)
// cut into 24 large-zone blocks, plus one value and one number text per large zone. Everything
// is text; the added view is computed from the texts alone.
struct ZoneView {
    static constexpr int kRows = 9;
    static constexpr int kColumns = 16;
    static constexpr int kSmallZones = kRows * kColumns;
    static constexpr int kLargeZones = 24;

    std::array<std::string, kSmallZones> smallZones{};
    std::array<std::string, kLargeZones> largeZoneValues{};
    std::array<std::string, kLargeZones> largeZoneNumbers{};
};

// Table index that feeds small zone p (0..143): table rows 1 to 9, columns 0 to 15.
int SmallZoneSlot(int p);
// The small zone fed by table index `slot` (a zone number of the decoder), or
// nothing when the grid does not show that slot.
std::optional<int> SmallZoneOfSlot(std::int64_t slot);
// Table index that feeds large zone k (0..23): 1000 + 5k for k < 16, 1100 + 5(k - 16) after.
int LargeZoneSlot(int k);
// Large zone whose block holds small zone p (0..143).
int LargeZoneOf(int p);

// The plain view: block numbers "0".."23" and every value text copied exactly from its slot.
void ShowZones(const SettingsTable& table, ZoneView& view);

// The added view: each small zone becomes its own number plus its block's value. A small zone
// that is not a number reuses the last small-zone number of this run (0 before the first); a
// large-zone value that is not a number counts as 0; a sum outside 16 bits leaves the cell as it
// was. Large-zone texts are not touched. Meant to be applied to the plain view only.
void AddZones(ZoneView& view);

// Reads a zone text as a 16-bit number. Accepted: optional spaces or tabs, an optional "+" or
// "-", decimal digits with an optional "." and fraction ("5.", ".5" and "-0.5" are numbers),
// optional spaces or tabs. Fractions round to the nearest integer, halves to the even one.
// Nothing else is accepted: no exponent, no hexadecimal, no digit grouping, no decimal comma.
// Fails on an empty text, on anything that is not such a number and on results outside
// -32768..32767. Runs in one pass without allocating, whatever the length of the text.
std::optional<std::int16_t> ConvertZoneNumber(std::string_view text);

// A sum as the added view writes it: "+7", "0", "-12".
std::string FormatZoneSum(int sum);

}  // namespace kestrin
