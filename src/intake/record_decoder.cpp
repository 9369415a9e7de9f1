#include "intake/record_decoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

#include "common/char_classes.h"
#include "intake/line_tokenizer.h"
#include "settings/settings_table.h"

namespace kestrin {

namespace {

constexpr int kPressureSlot = 2;
constexpr int kSensorSlot = 5;
constexpr int kZoneSlot = 8;

}  // namespace

std::optional<double> ReadDecimal(std::string_view text) {
    std::string_view body = text;
    bool negative = false;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    // std::from_chars alone would also take a second sign, "inf" and "nan".
    const std::size_t point = body.find('.');
    const bool oneDigitAtLeast = std::any_of(body.begin(), body.end(), IsDigit);
    const bool onlyDigitsAndPoint =
        std::all_of(body.begin(), body.end(), [](char c) { return IsDigit(c) || c == '.'; });
    if (!oneDigitAtLeast || !onlyDigitsAndPoint ||
        (point != std::string_view::npos && body.find('.', point + 1) != std::string_view::npos))
        return std::nullopt;

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
    // Room for any finite double to two decimals: at most 309 digits before
    // the point, a sign, the point and two digits. std::to_chars rounds the
    // exact binary value of the double: 19.085 computed as
    // 19.08500000000000085... gives 19.09, and only a double that lies
    // exactly halfway, such as 2.125, is a tie, which goes to the even digit.
    char out[320];
    const auto written = std::to_chars(out, out + sizeof out, value, std::chars_format::fixed, 2);
    std::string_view text(out, static_cast<std::size_t>(written.ptr - out));
    while (text.back() == '0') text.remove_suffix(1);  // "14.50" is "14.5", "15.00" is "15."
    if (text.back() == '.') text.remove_suffix(1);
    return std::string(text == "-0" ? "0" : text);
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
        if (const auto ratio = AirFuelRatio(slot(kSensorSlot)))
            tokenizer.PlaceField(*HundredthsText(*ratio));
    });
    closeField();
    Contained([&] {
        if (const auto psi = BoostPsi(slot(kPressureSlot)))
            tokenizer.PlaceField(*HundredthsText(*psi));
    });
    closeField();
}

}  // namespace kestrin
