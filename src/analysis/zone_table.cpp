// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/zone_table.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "intake/record_decoder.h"

namespace kestrin {

WideSum RoundedQuotient(WideSum numerator, WideSum denominator) {
    const bool negative = (numerator < 0) != (denominator < 0);
    const WideSum top = numerator < 0 ? -numerator : numerator;
    const WideSum bottom = denominator < 0 ? -denominator : denominator;
    WideSum quotient = top / bottom;
    const WideSum twiceRest = 2 * (top % bottom);
    if (twiceRest > bottom || (twiceRest == bottom && quotient % 2 == 1)) ++quotient;
    return negative ? -quotient : quotient;
}

std::int64_t ZoneSummary::meanHundredths() const {
    // A mean lies between the smallest and largest value, so it fits.
    return static_cast<std::int64_t>(RoundedQuotient(airFuelSum, lines));
}

void ZoneTable::Add(const LogDataValues& data) {
    if (last_ == nullptr || lastZone_ != data.zone) {
        last_ = &zones_[data.zone];
        lastZone_ = data.zone;
    }
    ZoneSummary& zone = *last_;
    const std::int64_t value = data.airFuelHundredths;
    if (zone.lines == 0) {
        zone.airFuelMin = zone.airFuelMax = value;
    } else {
        zone.airFuelMin = std::min(zone.airFuelMin, value);
        zone.airFuelMax = std::max(zone.airFuelMax, value);
    }
    ++zone.lines;
    zone.airFuelSum += value;
    if (!data.setting.empty() && zone.setting != data.setting) zone.setting = data.setting;
}

std::string HundredthsAsText(std::int64_t hundredths) {
    // Whole hundredths below 10^15 are far from any rounding tie.
    return HundredthsText(static_cast<double>(hundredths) / 100).value_or(std::string());
}

std::string ZoneTableText(const ZoneTable& table) {
    std::string text = "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n";
    for (const auto& [zone, summary] : table.zones()) {
        char number[24];
        text.append(number, std::to_chars(number, number + sizeof number, zone).ptr);
        text += '\t';
        text.append(number, std::to_chars(number, number + sizeof number, summary.lines).ptr);
        text += '\t';
        text += HundredthsAsText(summary.meanHundredths());
        text += '\t';
        text += HundredthsAsText(summary.airFuelMin);
        text += '\t';
        text += HundredthsAsText(summary.airFuelMax);
        text += '\t';
        text += summary.setting;
        text += '\n';
    }
    return text;
}

Status ReadZoneTable(const std::string& path, ZoneTable& table) {
    LineReader reader;
    if (Status opened = reader.Open(path); !opened.ok()) return opened;
    return ReadZoneTable(reader, table);
}

Status ReadZoneTable(LineReader& reader, ZoneTable& table) {
    return ReadLogLines(reader, [&table](LogLineKind kind, const std::vector<std::string_view>&,
                                         const LogDataValues& data) {
        table.Count(kind);
        if (kind == LogLineKind::Data) table.Add(data);
    });
}

}  // namespace kestrin
