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

namespace {

using namespace kestrin;

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ZoneTable table;
    std::vector<std::string_view> fields;
    std::int64_t dataLines = 0;
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        std::string_view line = input.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        SplitLogLine(line, fields);
        LogDataValues values;
        if (ClassifyLogLine(fields, values) == LogLineKind::Data) {
            Check(fields.size() == kLogColumns);
            table.Add(values);
            ++dataLines;
        }
    }

    std::int64_t counted = 0;
    for (const auto& [zone, summary] : table.zones()) {
        counted += summary.lines;
        const std::int64_t mean = summary.meanHundredths();
        Check(summary.airFuelMin <= mean && mean <= summary.airFuelMax);
    }
    Check(counted == dataLines);

    const std::string text = ZoneTableText(table);
    Check(text.rfind("ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG\n", 0) == 0);
    Check(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) ==
          table.zones().size() + 1);
    return 0;
}
