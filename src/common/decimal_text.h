// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrin {

// The unit's numbers as texts: how a field is read as a number and how a
// computed value is written back as the log's decimal text.

// Reads a field as a decimal number. Accepted: an optional "+" or "-", then
// digits with at most one decimal point, at least one digit in all ("12",
// "-3", "+0.5", ".5", "7."). Nothing else is accepted: no blanks, no grouping
// commas, no exponent, no hexadecimal, so "1,5", "1E3" and "" are not numbers.
// A number too large for a double is not a number either; one too small to
// tell from zero reads as zero.
std::optional<double> ReadDecimal(std::string_view text);

// A field that ReadDecimal reads, of at most 15 digits, as its digits: the
// number is `digits` / 10^`decimals`, negative when `negative`. ReadDecimal's
// double is that quotient, correctly rounded.
struct DecimalDigits {
    std::uint64_t digits = 0;
    int decimals = 0;
    bool negative = false;
};
// Nothing for a field that is no number or has more than 15 digits.
std::optional<DecimalDigits> ReadDecimalDigits(std::string_view text);
// The double ReadDecimal gives for those digits.
double DecimalValue(const DecimalDigits& read);

// `value` to the nearest hundredth as decimal text: no trailing zeros, no
// point for a whole number, "0" before the point below one, "-" for negative
// values and never "-0". Nothing for an infinite or undefined value.
std::optional<std::string> HundredthsText(double value);

// Values of at least this magnitude have no hundredths count.
inline constexpr double kLargestHundredthsValue = 1e13;

// `value` as a whole number of hundredths, rounded exactly as HundredthsText
// rounds it, so that the number and the text always agree. Nothing for a
// value whose magnitude reaches kLargestHundredthsValue, which no reading has.
std::optional<std::int64_t> Hundredths(double value);

}  // namespace kestrin
