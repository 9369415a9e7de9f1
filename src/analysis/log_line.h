#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kestrin {

// A log line as the log writer lays it out: the unit's nine fields, then
// ZONE, STNG, AFR and PSI, each field followed by its separator.
inline constexpr std::size_t kLogColumns = 13;
inline constexpr std::size_t kZoneColumn = 9;
inline constexpr std::size_t kSettingColumn = 10;
inline constexpr std::size_t kAirFuelColumn = 11;

// Splits a line (without its line end) into its fields. Every tab ends a
// field; when that gives fewer than kLogColumns fields and the line holds a
// comma, every tab and comma ends a field (a comma-mode log writes a comma
// after a field and a lone tab after an empty one). A separator at the end
// of the line closes the last field and starts none, so "a\tb\t" and "a\tb"
// both give a and b; an empty line gives no field.
void SplitLogLine(std::string_view line, std::vector<std::string_view>& fields);

enum class LogLineKind {
    Data,    // kLogColumns fields, a whole number in ZONE and a number in AFR
    Header,  // the last four fields are the titles ZONE, STNG, AFR, PSI
    Marker,  // an empty line
    Other,   // anything else
};

struct LogDataValues {
    std::int64_t zone = 0;
    std::string_view setting;
    std::int64_t airFuelHundredths = 0;
};

// What the split fields of a line are; `data` is filled for a data line.
LogLineKind ClassifyLogLine(const std::vector<std::string_view>& fields, LogDataValues& data);

// A field as a whole number: any number ReadDecimal takes whose value is
// whole and at most 10^15 in magnitude ("215", "-105", "215.0").
std::optional<std::int64_t> WholeNumber(std::string_view field);

// A field as a number of hundredths. Up to two decimals the value is exact;
// more decimals are taken to the nearest hundredth as the log writes it
// (HundredthsText). Nothing for a field that is not a number or whose
// magnitude reaches 10^13, which no reading has.
std::optional<std::int64_t> HundredthsOf(std::string_view field);

}  // namespace kestrin
