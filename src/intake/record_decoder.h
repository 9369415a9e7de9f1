#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrin {

class LineTokenizer;
class SettingsTable;

// Reads a field as a decimal number. Accepted: an optional "+" or "-", then
// digits with at most one decimal point, at least one digit in all ("12",
// "-3", "+0.5", ".5", "7."). Nothing else is accepted: no blanks, no grouping
// commas, no exponent, no hexadecimal, so "1,5", "1E3" and "" are not numbers.
// A number too large for a double is not a number either; one too small to
// tell from zero reads as zero.
std::optional<double> ReadDecimal(std::string_view text);

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

// `value` to the nearest hundredth as decimal text: no trailing zeros, no
// point for a whole number, "0" before the point below one, "-" for negative
// values and never "-0". Nothing for an infinite or undefined value.
std::optional<std::string> HundredthsText(double value);

// Closes the four derived columns of the line just ended in `tokenizer`: the
// titles "ZONE", "STNG", "AFR", "PSI" after a header line (last field "ZON"),
// else zone, setting, air-fuel ratio and boost from fields 8, 5 and 2. A
// column that cannot be worked out is closed empty; no failure gets out.
void DecodeRecord(LineTokenizer& tokenizer, const SettingsTable& settings) noexcept;

}  // namespace kestrin
