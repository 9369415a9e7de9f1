// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/decimal_text.h"

namespace kestrin {

class SettingsTable;

// The zone number of a zone value: 100 * floor(q / 16) + 5 * (k mod 16), where
// k is q rounded to the nearest whole number (a tie to the even one) and the
// remainder has the sign of k. Nothing when the field is not a number or k
// does not fit in 32 bits.
std::optional<std::int64_t> ZoneNumber(std::string_view zoneField);

// Air-fuel ratio of a raw sensor count: s / 52 * 2 + 10, not yet rounded.
std::optional<double> AirFuelRatio(std::string_view sensorField);

// Boost in psi of an absolute pressure in kPa: (p - 101) * 14.5037738 / 100,
// not yet rounded.
std::optional<double> BoostPsi(std::string_view pressureField);

// The four columns the decoder adds to a line: as the console and the log
// show them, and as numbers for everything else.
struct DerivedColumns {
    bool header = false;  // the texts are the four titles
    std::array<std::string, 4> texts;
    // Nothing where a column is empty (and on a header line).
    std::optional<std::int64_t> zone;
    std::optional<std::int64_t> airFuelHundredths;
    std::optional<std::int64_t> boostHundredths;
};

// The derived columns of a line of at most nine fields: the titles "ZONE",
// "STNG", "AFR", "PSI" after a header line (last field "ZON"), else zone,
// setting, air-fuel ratio and boost from fields 8, 5 and 2 (a field the
// line lacks is empty). A column that cannot be worked out is empty; no
// failure gets out.
DerivedColumns DecodeRecord(std::span<const std::string> fields,
                            const SettingsTable& settings) noexcept;

}  // namespace kestrin
