// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/decimal_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

#include "common/char_classes.h"

namespace kestrin {

namespace {

// Numbers of at most this many digits are read without std::from_chars.
constexpr std::size_t kFewDigits = 15;
constexpr double kPowersOfTen[kFewDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

}  // namespace

namespace {

// A decimal's characters checked: its sign taken off, digits with at most one
// point, at least one digit. `read` holds the sign and, while there are at
// most kFewDigits of them, the digits; `count` how many digits there are.
// std::from_chars alone would also take a second sign, "inf" and "nan".
bool ScanDecimal(std::string_view& body, DecimalDigits& read, std::size_t& count,
                 std::size_t& point) {
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        read.negative = body.front() == '-';
        body.remove_prefix(1);
    }
    point = std::string_view::npos;
    count = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (IsDigit(body[i])) {
            if (++count <= kFewDigits)
                read.digits = read.digits * 10 + static_cast<std::uint64_t>(body[i] - '0');
        } else if (body[i] == '.' && point == std::string_view::npos) {
            point = i;
        } else {
            return false;
        }
    }
    read.decimals = point == std::string_view::npos ? 0 : static_cast<int>(body.size() - point - 1);
    return count > 0;
}

}  // namespace

std::optional<DecimalDigits> ReadDecimalDigits(std::string_view text) {
    DecimalDigits read;
    std::size_t count = 0, point = 0;
    if (!ScanDecimal(text, read, count, point) || count > kFewDigits) return std::nullopt;
    return read;
}

double DecimalValue(const DecimalDigits& read) {
    // Both numbers are exact doubles, so their quotient is the double
    // nearest the decimal, as std::from_chars finds it, only faster.
    const double value = static_cast<double>(read.digits) / kPowersOfTen[read.decimals];
    return read.negative ? -value : value;
}

std::optional<double> ReadDecimal(std::string_view text) {
    std::string_view body = text;
    DecimalDigits read;
    std::size_t count = 0, point = 0;
    if (!ScanDecimal(body, read, count, point)) return std::nullopt;
    if (count <= kFewDigits) return DecimalValue(read);
    const bool negative = read.negative;
    double value = 0;
    const auto parsed =
        std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::fixed);
    if (parsed.ec == std::errc::result_out_of_range) {
        // Too large when a digit other than zero stands before the point;
        // otherwise too small to tell from zero.
        if (body.substr(0, point).find_first_not_of('0') != std::string_view::npos)
            return std::nullopt;
        value = 0;
    } else if (parsed.ec != std::errc() || parsed.ptr != body.data() + body.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

namespace {

// `value` to two decimals, the sign and the point kept. std::to_chars rounds
// the exact binary value of the double: 19.085 computed as
// 19.08500000000000085... gives 19.09, and only a double that lies exactly
// halfway, such as 2.125, is a tie, which goes to the even digit. `out` has
// room for any finite double: at most 309 digits before the point, a sign,
// the point and two digits.
std::string_view FixedTwo(double value, char (&out)[320]) {
    const auto written = std::to_chars(out, out + sizeof out, value, std::chars_format::fixed, 2);
    return std::string_view(out, static_cast<std::size_t>(written.ptr - out));
}

}  // namespace

std::optional<std::string> HundredthsText(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    char out[320];
    std::string_view text = FixedTwo(value, out);
    while (text.back() == '0') text.remove_suffix(1);  // "14.50" is "14.5", "15.00" is "15."
    if (text.back() == '.') text.remove_suffix(1);
    return std::string(text == "-0" ? "0" : text);
}

std::optional<std::int64_t> Hundredths(double value) {
    if (!(std::fabs(value) < kLargestHundredthsValue)) return std::nullopt;
    char out[320];
    const std::string_view text = FixedTwo(value, out);
    std::int64_t hundredths = 0;
    for (char c : text)
        if (IsDigit(c)) hundredths = hundredths * 10 + (c - '0');
    return text.front() == '-' ? -hundredths : hundredths;
}

}  // namespace kestrin
