// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/record_decoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

#include "common/char_classes.h"
#include "common/decimal_text.h"
#include "settings/settings_table.h"

namespace kestrin {

namespace {

constexpr int kPressureSlot = 2;
constexpr int kSensorSlot = 5;
constexpr int kZoneSlot = 8;

}  // namespace

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

DerivedColumns DecodeRecord(std::span<const std::string> fields,
                            const SettingsTable& settings) noexcept {
    DerivedColumns out;
    const auto field = [&](std::size_t index) -> std::string_view {
        return index < fields.size() ? std::string_view(fields[index]) : std::string_view();
    };
    if (!fields.empty() && fields.back() == "ZON") {
        out.header = true;
        Contained([&] { out.texts = {"ZONE", "STNG", "AFR", "PSI"}; });
        return out;
    }

    Contained([&] {
        out.zone = ZoneNumber(field(kZoneSlot));
        if (out.zone) out.texts[0] = std::to_string(*out.zone);
    });
    Contained([&] {
        if (out.zone && SettingsTable::validIndex(*out.zone))
            out.texts[1] = settings.at(static_cast<int>(*out.zone));
    });
    // Both values come out finite or not at all; the number is the text's.
    Contained([&] {
        if (const auto ratio = AirFuelRatio(field(kSensorSlot))) {
            out.texts[2] = *HundredthsText(*ratio);
            out.airFuelHundredths = Hundredths(*ratio);
        }
    });
    Contained([&] {
        if (const auto psi = BoostPsi(field(kPressureSlot))) {
            out.texts[3] = *HundredthsText(*psi);
            out.boostHundredths = Hundredths(*psi);
        }
    });
    return out;
}

}  // namespace kestrin
