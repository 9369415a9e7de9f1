// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/log_line.h"

#include <array>
#include <cmath>

#include "intake/record_decoder.h"

namespace kestrin {

namespace {

constexpr double kLargestWhole = 1e15;
constexpr double kLargestReading = 1e13;
constexpr std::array<std::string_view, 4> kDerivedTitles = {"ZONE", "STNG", "AFR", "PSI"};

template <typename IsSeparator>
void SplitAt(std::string_view line, std::vector<std::string_view>& fields,
             IsSeparator isSeparator) {
    fields.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (isSeparator(line[i])) {
            fields.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < line.size()) fields.push_back(line.substr(start));
}

std::size_t DecimalsOf(std::string_view number) {
    const std::size_t point = number.find('.');
    return point == std::string_view::npos ? 0 : number.size() - point - 1;
}

// A logged value against the decoder's own: equal to within one hundredth.
bool WithinOneHundredth(std::optional<std::int64_t> logged, std::optional<double> computed) {
    if (!logged || !computed) return false;
    // The decoder's hundredths lie within half a hundredth of value * 100, so
    // only a logged value about one and a half hundredths away needs them
    // worked out as the decoder does (which takes longer).
    const double apart = std::fabs(static_cast<double>(*logged) - *computed * 100);
    if (apart < 1.49) return true;
    if (!(apart <= 1.51)) return false;
    const std::optional<std::int64_t> decoded = Hundredths(*computed);
    return decoded && *logged - *decoded <= 1 && *decoded - *logged <= 1;
}

}  // namespace

void SplitLogLine(std::string_view line, std::vector<std::string_view>& fields) {
    SplitAt(line, fields, [](char c) { return c == '\t'; });
    if (fields.size() < kLogColumns && line.find(',') != std::string_view::npos)
        SplitAt(line, fields, [](char c) { return c == '\t' || c == ','; });
}

std::optional<std::int64_t> WholeNumber(std::string_view field) {
    const std::optional<double> value = ReadDecimal(field);
    if (!value || std::floor(*value) != *value || std::fabs(*value) > kLargestWhole)
        return std::nullopt;
    return static_cast<std::int64_t>(*value);
}

std::optional<std::int64_t> HundredthsOf(std::string_view field) {
    std::optional<double> value = ReadDecimal(field);
    if (!value || !(std::fabs(*value) < kLargestReading)) return std::nullopt;
    if (DecimalsOf(field) > 2) {
        const std::optional<std::string> rounded = HundredthsText(*value);
        if (!rounded) return std::nullopt;
        value = ReadDecimal(*rounded);
        if (!value) return std::nullopt;
    }
    // Below 10^13 the error of value * 100 stays far below half a hundredth.
    return static_cast<std::int64_t>(std::nearbyint(*value * 100));
}

LogLineKind ClassifyLogLine(const std::vector<std::string_view>& fields, LogDataValues& data) {
    if (fields.empty()) return LogLineKind::Marker;
    if (fields.size() >= kDerivedTitles.size()) {
        const std::size_t first = fields.size() - kDerivedTitles.size();
        bool titles = true;
        for (std::size_t i = 0; i < kDerivedTitles.size(); ++i)
            titles = titles && fields[first + i] == kDerivedTitles[i];
        if (titles) return LogLineKind::Header;
    }
    if (fields.size() != kLogColumns) return LogLineKind::Other;
    const std::optional<std::int64_t> zone = WholeNumber(fields[kZoneColumn]);
    if (!zone || zone != ZoneNumber(fields[kZoneValueColumn])) return LogLineKind::Other;
    const std::optional<std::int64_t> airFuel = HundredthsOf(fields[kAirFuelColumn]);
    if (!WithinOneHundredth(airFuel, AirFuelRatio(fields[kSensorColumn])))
        return LogLineKind::Other;
    const std::optional<double> boost = BoostPsi(fields[kPressureColumn]);
    if (boost ? !WithinOneHundredth(HundredthsOf(fields[kBoostColumn]), boost)
              : !fields[kBoostColumn].empty())
        return LogLineKind::Other;
    data = {*zone, fields[kSettingColumn], *airFuel};
    return LogLineKind::Data;
}

void LogLineCounts::Add(LogLineKind kind) {
    switch (kind) {
        case LogLineKind::Data:
            ++data;
            break;
        case LogLineKind::Header:
            ++headers;
            break;
        case LogLineKind::Marker:
            ++markers;
            break;
        case LogLineKind::Other:
            ++leftOut;
            break;
    }
}

std::string LogLineCountsText(const LogLineCounts& counts) {
    return std::to_string(counts.data) + (counts.data == 1 ? " data line, " : " data lines, ") +
           LeftOutText(counts);
}

std::string LeftOutText(const LogLineCounts& counts) {
    return std::to_string(counts.leftOut) + (counts.leftOut == 1 ? " line" : " lines") +
           " left out as not the unit's";
}

}  // namespace kestrin
