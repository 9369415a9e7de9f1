// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/status.h"
#include "log/line_reader.h"

namespace kestrin {

// A log line as the log writer lays it out: the unit's nine fields, then
// ZONE, STNG, AFR and PSI, each field followed by its separator.
inline constexpr std::size_t kLogColumns = 13;
// The unit's fields the decoder works from.
inline constexpr std::size_t kPressureColumn = 2;
inline constexpr std::size_t kSensorColumn = 5;
inline constexpr std::size_t kZoneValueColumn = 8;
// The decoder's columns.
inline constexpr std::size_t kZoneColumn = 9;
inline constexpr std::size_t kSettingColumn = 10;
inline constexpr std::size_t kAirFuelColumn = 11;
inline constexpr std::size_t kBoostColumn = 12;

// Splits a line (without its line end) into its fields. Every tab ends a
// field; when that gives fewer than kLogColumns fields and the line holds a
// comma, every tab and comma ends a field (a comma-mode log writes a comma
// after a field and a lone tab after an empty one). A separator at the end
// of the line closes the last field and starts none, so "a\tb\t" and "a\tb"
// both give a and b; an empty line gives no field.
void SplitLogLine(std::string_view line, std::vector<std::string_view>& fields);

// Every reader of logs tells its lines apart by this one rule.
enum class LogLineKind {
    // A line the record decoder could have written: kLogColumns fields, and
    // ZONE, AFR and PSI what the decoder computes from the line's own fields
    // 8, 5 and 2: ZONE exactly, AFR and PSI within one hundredth (logs
    // written before the decoder rounded as it does now still read), PSI
    // empty when field 2 is no number. STNG is not checked: settings change.
    // Two lines run together, or columns shifted, fail this.
    Data,
    Header,  // the last four fields are the titles ZONE, STNG, AFR, PSI
    Marker,  // an empty line
    Other,   // anything else: no line of the unit's that the program wrote whole
};

struct LogDataValues {
    std::int64_t zone = 0;
    std::string_view setting;
    std::int64_t airFuelHundredths = 0;
};

// What the split fields of a line are; `data` is filled for a data line.
LogLineKind ClassifyLogLine(const std::vector<std::string_view>& fields, LogDataValues& data);

// How many lines of each kind a reader met. The lines left out are the
// Other ones, a line too long to read among them.
struct LogLineCounts {
    std::int64_t data = 0;
    std::int64_t headers = 0;
    std::int64_t markers = 0;
    std::int64_t leftOut = 0;

    void Add(LogLineKind kind);
};

// "1000 data lines, 3 lines left out as not the unit's".
std::string LogLineCountsText(const LogLineCounts& counts);
// "3 lines left out as not the unit's".
std::string LeftOutText(const LogLineCounts& counts);

// Reads the log `reader` has opened line by line and calls visit(kind,
// fields, data) for each line in file order; a line too long to read is
// Other, with no fields. The failure when the file cannot be read.
template <typename Visit>
Status ReadLogLines(LineReader& reader, Visit&& visit) {
    std::vector<std::string_view> fields;
    std::string_view line;
    bool tooLong = false;
    LogDataValues data;
    while (reader.Next(line, tooLong)) {
        if (tooLong) {
            fields.clear();
            visit(LogLineKind::Other, fields, data);
            continue;
        }
        SplitLogLine(line, fields);
        visit(ClassifyLogLine(fields, data), fields, data);
    }
    return reader.failure();
}

// The same for the log file at `path`; the failure when it cannot be opened.
template <typename Visit>
Status ReadLogLines(const std::string& path, Visit&& visit) {
    LineReader reader;
    if (Status opened = reader.Open(path); !opened.ok()) return opened;
    return ReadLogLines(reader, std::forward<Visit>(visit));
}

// A field as a whole number: any number ReadDecimal takes whose value is
// whole and at most 10^15 in magnitude ("215", "-105", "215.0").
std::optional<std::int64_t> WholeNumber(std::string_view field);

// A field as a number of hundredths. Up to two decimals the value is exact;
// more decimals are taken to the nearest hundredth as the log writes it
// (HundredthsText). Nothing for a field that is not a number or whose
// magnitude reaches 10^13, which no reading has.
std::optional<std::int64_t> HundredthsOf(std::string_view field);

}  // namespace kestrin
