#include "intake/record_decoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

#include "intake/line_tokenizer.h"
#include "settings/settings_table.h"

namespace kestrin {

namespace {

constexpr int kPressureSlot = 2;
constexpr int kSensorSlot = 5;
constexpr int kZoneSlot = 8;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Any integer of this many decimal digits is exact in a double.
constexpr int kExactDigits = 15;
constexpr double kPowersOfTen[kExactDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Digits of `value` rounded to whole hundredths, as a decimal integer without
// leading zeros.
//
// The columns are worked out in binary floating point, so a result that is
// meant to be 2.675 is held as 2.67499999999999982..., and a computed 1.235
// may come out as 1.2349999999999999. Rounding those binary values would
// break decimal ties the "wrong" way at random. The value is therefore first
// read as the 15-significant-digit decimal it stands for (what a calculator
// shows), and that decimal is taken to the nearest hundredth with a tie going
// to the even last digit: 0.125 gives 0.12, 2.675 gives 2.68.
std::string RoundedHundredths(double magnitude) {
    // d.dddddddddddddde±x: 15 significant digits and the decimal exponent.
    char text[40];
    const auto written =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 14);
    const std::string_view scientific(text, static_cast<std::size_t>(written.ptr - text));
    std::string digits;
    digits += scientific[0];
    digits.append(scientific.substr(2, 14));
    std::string_view exponentText = scientific.substr(scientific.find('e') + 1);
    if (exponentText.front() == '+') exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    // Digit i stands for 10^(exponent - i); the hundredths digit is the last kept.
    const long long kept = static_cast<long long>(exponent) + 3;
    std::string result;
    if (kept >= static_cast<long long>(digits.size())) {
        result = digits;
        result.append(static_cast<std::size_t>(kept) - digits.size(), '0');
    } else if (kept >= 0) {
        result = digits.substr(0, static_cast<std::size_t>(kept));
        const std::string_view dropped = std::string_view(digits).substr(result.size());
        bool up = dropped.front() > '5';
        if (dropped.front() == '5') {
            const bool tie = dropped.find_first_not_of('0', 1) == std::string_view::npos;
            const bool lastOdd = !result.empty() && (result.back() - '0') % 2 == 1;
            up = !tie || lastOdd;
        }
        if (up) {
            std::size_t i = result.size();
            while (i > 0 && result[i - 1] == '9') result[--i] = '0';
            if (i == 0) {
                result.insert(result.begin(), '1');
            } else {
                ++result[i - 1];
            }
        }
    }
    const std::size_t firstNonZero = result.find_first_not_of('0');
    return firstNonZero == std::string::npos ? std::string("0") : result.substr(firstNonZero);
}

// The usual case of RoundedHundredths, as a number: far from a tie, 15 digits
// and the binary value round alike. Nothing for a value near a tie or too
// large to be sure.
std::optional<std::uint64_t> HundredthsFarFromATie(double magnitude) {
    const double scaled = magnitude * 100;
    if (!(scaled < 1e9)) return std::nullopt;
    const auto whole = static_cast<std::uint64_t>(scaled);  // the floor: scaled >= 0
    const double fraction = scaled - static_cast<double>(whole);
    if (std::fabs(fraction - 0.5) <= 1e-5) return std::nullopt;
    return whole + (fraction > 0.5 ? 1u : 0u);
}

// Room for the decimal text of any finite double to the nearest hundredth:
// at most 312 digits (1.8e308 in hundredths, one more for a carry), a sign
// and a point.
constexpr std::size_t kHundredthsTextBytes = 320;

// Decimal text of a number of hundredths given by its digits (no leading
// zeros), written to `out`: no trailing zeros, no point for a whole number,
// "0" before the point below one, and never "-0".
std::string_view TextOfHundredths(bool negative, std::string_view hundredths,
                                  char (&out)[kHundredthsTextBytes]) {
    const std::size_t size = hundredths.size();
    const std::string_view whole = size > 2 ? hundredths.substr(0, size - 2) : "0";
    const char tenths = size >= 2 ? hundredths[size - 2] : '0';
    const char last = hundredths[size - 1];
    const std::size_t fractionDigits = last != '0' ? 2 : tenths != '0' ? 1 : 0;
    if (whole == "0" && fractionDigits == 0) return "0";

    char* end = out;
    if (negative) *end++ = '-';
    end = std::copy(whole.begin(), whole.end(), end);
    if (fractionDigits > 0) {
        *end++ = '.';
        *end++ = tenths;
        if (fractionDigits == 2) *end++ = last;
    }
    return std::string_view(out, static_cast<std::size_t>(end - out));
}

// `value`, which is finite, to the nearest hundredth as decimal text in `out`.
std::string_view WriteHundredths(double value, char (&out)[kHundredthsTextBytes]) {
    const double magnitude = std::fabs(value);
    if (const auto hundredths = HundredthsFarFromATie(magnitude)) {
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, *hundredths);
        return TextOfHundredths(value < 0, std::string_view(digits, written.ptr), out);
    }
    return TextOfHundredths(value < 0, RoundedHundredths(magnitude), out);
}

}  // namespace

std::optional<double> ReadDecimal(std::string_view text) {
    std::string_view body = text;
    bool negative = false;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    int digitCount = 0;
    int fractionDigits = 0;
    bool seenPoint = false;
    std::uint64_t mantissa = 0;
    for (char c : body) {
        if (IsDigit(c)) {
            if (digitCount < kExactDigits)
                mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            ++digitCount;
            if (seenPoint) ++fractionDigits;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            return std::nullopt;
        }
    }
    if (digitCount == 0) return std::nullopt;

    double value = 0;
    if (digitCount <= kExactDigits) {
        // Both operands are exact, so the one division rounds correctly, just
        // as the general reader below would.
        value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    } else {
        const auto parsed = std::from_chars(body.data(), body.data() + body.size(), value,
                                            std::chars_format::fixed);
        if (parsed.ec == std::errc::result_out_of_range) {
            // Too large when a digit other than zero stands before the point;
            // otherwise too small to tell from zero.
            const std::string_view wholePart = body.substr(0, body.find('.'));
            if (wholePart.find_first_not_of('0') != std::string_view::npos) return std::nullopt;
            value = 0;
        } else if (parsed.ec != std::errc() || parsed.ptr != body.data() + body.size()) {
            return std::nullopt;
        }
    }
    return negative ? -value : value;
}

std::optional<std::int64_t> ZoneNumber(std::string_view zoneField) {
    const std::optional<double> q = ReadDecimal(zoneField);
    if (!q) return std::nullopt;
    // The program never leaves round-to-nearest, so ties go to the even number.
    const double nearest = std::nearbyint(*q);
    if (nearest < std::numeric_limits<std::int32_t>::min() ||
        nearest > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    const auto k = static_cast<std::int32_t>(nearest);
    // |q| is below 2^31 here, so the row fits easily.
    const auto row = static_cast<std::int64_t>(std::floor(*q / 16));
    return 100 * row + 5 * (k % 16);
}

std::optional<double> AirFuelRatio(std::string_view sensorField) {
    const std::optional<double> s = ReadDecimal(sensorField);
    if (!s) return std::nullopt;
    const double ratio = *s / 52 * 2 + 10;
    if (!std::isfinite(ratio)) return std::nullopt;
    return ratio;
}

std::optional<double> BoostPsi(std::string_view pressureField) {
    const std::optional<double> p = ReadDecimal(pressureField);
    if (!p) return std::nullopt;
    const double psi = (*p - 101) * 14.5037738 / 100;
    if (!std::isfinite(psi)) return std::nullopt;
    return psi;
}

std::optional<std::string> HundredthsText(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    char text[kHundredthsTextBytes];
    return std::string(WriteHundredths(value, text));
}

namespace {

// Runs one step of the decoder; its failure ends only that step.
template <typename Step>
void Contained(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

void DecodeRecord(LineTokenizer& tokenizer, const SettingsTable& settings) noexcept {
    const auto closeField = [&] { Contained([&] { tokenizer.CloseField(); }); };
    const auto slot = [&](int index) -> std::string_view {
        return tokenizer.fields()[static_cast<std::size_t>(index)];
    };

    const int last = tokenizer.fieldIndex() - 1;
    if (last >= 0 && last < LineTokenizer::kSlots && slot(last) == "ZON") {
        for (std::string_view title : {"ZONE", "STNG", "AFR", "PSI"}) {
            Contained([&] { tokenizer.PlaceField(title); });
            closeField();
        }
        return;
    }

    // The zone column can land in slot 8 only when slot 8 was empty and z
    // unknown, so one reading serves both the zone and the settings column.
    std::optional<std::int64_t> z;
    Contained([&] {
        z = ZoneNumber(slot(kZoneSlot));
        if (z) {
            char text[24];
            const auto written = std::to_chars(text, text + sizeof text, *z);
            tokenizer.PlaceField(std::string_view(text, written.ptr));
        }
    });
    closeField();
    Contained([&] {
        if (z && SettingsTable::validIndex(*z)) {
            tokenizer.PlaceField(settings.at(static_cast<int>(*z)));
        }
    });
    closeField();
    // Both values come out finite or not at all.
    Contained([&] {
        char text[kHundredthsTextBytes];
        if (const auto ratio = AirFuelRatio(slot(kSensorSlot)))
            tokenizer.PlaceField(WriteHundredths(*ratio, text));
    });
    closeField();
    Contained([&] {
        char text[kHundredthsTextBytes];
        if (const auto psi = BoostPsi(slot(kPressureSlot)))
            tokenizer.PlaceField(WriteHundredths(*psi, text));
    });
    closeField();
}

}  // namespace kestrin
