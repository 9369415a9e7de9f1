// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the lines of a log: the split rule, the data-line rule and the
// zone table. Checked: a data line has 13 fields; every zone's mean lies
// between its smallest and largest value; the lines of all zones add up to
// the data lines; and the table text has a header and one row per zone.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/log_line.h"
#include "analysis/zone_table.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ZoneTable table;
    std::vector<std::string_view> fields;
    std::int64_t dataLines = 0;
    std::size_t start = 0;
    while (start <= input.size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        std::string_view line = input.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        SplitLogLine(line, fields);
        LogDataValues values;
        if (ClassifyLogLine(fields, values) == LogLineKind::Data) {
            if (fields.size() != kLogColumns) std::abort();
            table.Add(values);
            ++dataLines;
        }
    }

    std::int64_t counted = 0;
    for (const auto& [zone, summary] : table.zones()) {
        counted += summary.lines;
        const std::int64_t mean = summary.meanHundredths();
        if (mean < summary.airFuelMin || mean > summary.airFuelMax) std::abort();
    }
    if (counted != dataLines) std::abort();

    const std::string text = ZoneTableText(table);
    if (!text.starts_with("ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n") ||
        std::size_t(std::count(text.begin(), text.end(), '\n')) != table.zones().size() + 1)
        std::abort();
    return 0;
}
