// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/log_line.h"
#include "analysis/zone_table.h"
#include "intake/record_decoder.h"
#include "log/options.h"
#include "settings/settings_table.h"

namespace kestrin::test {

// The zone value (field 8) the decoder turns into `zone`, a zone of the
// settings table (row * 100 + column * 5, both from 0 to 15).
inline std::string ZoneValueOf(std::int64_t zone) {
    return std::to_string(zone / 100 * 16 + zone % 100 / 5);
}

// The sensor count (field 5) whose air-fuel ratio (s / 52 * 2 + 10) is `afr`.
inline std::string SensorCountOf(std::string_view afr) {
    return HundredthsAsText((*HundredthsOf(afr) - 1000) * 26);
}

// The thirteen fields of a data line as the program logs it: the unit's nine,
// with `zoneValue` in field 8, `sensor` in field 5 and `pressure` in field 2,
// then the decoder's four, with `setting` in STNG.
inline std::vector<std::string> DecodedFields(const std::string& zoneValue,
                                              const std::string& sensor,
                                              const std::string& setting = "",
                                              const std::string& pressure = "95",
                                              const std::string& rpm = "3000") {
    static const SettingsTable kNoSettings;
    std::vector<std::string> fields = {rpm,    "80", pressure, "80",     "30",
                                       sensor, "20", "3.1",    zoneValue};
    const DerivedColumns derived = DecodeRecord(fields, kNoSettings);
    fields.insert(fields.end(), derived.texts.begin(), derived.texts.end());
    fields[kSettingColumn] = setting;
    return fields;
}

// The fields of a data line of `zone` whose air-fuel ratio is `afr`.
inline std::vector<std::string> DataFields(std::int64_t zone, std::string_view afr,
                                           const std::string& setting = "",
                                           const std::string& rpm = "3000") {
    return DecodedFields(ZoneValueOf(zone), SensorCountOf(afr), setting, "95", rpm);
}

// A line as the log writer writes it: each field followed by its separator
// (in comma mode a comma after a field, a tab after an empty one), then CR LF.
inline std::string LogText(const std::vector<std::string>& fields,
                           Separator separator = Separator::Tab) {
    std::string line;
    for (const std::string& field : fields)
        line += field + (separator == Separator::Comma && !field.empty() ? "," : "\t");
    return line + "\r\n";
}

// A data line of `zone` whose air-fuel ratio is `afr`, as the log holds it.
inline std::string LoggedLine(std::int64_t zone, std::string_view afr,
                              const std::string& setting = "",
                              Separator separator = Separator::Tab) {
    return LogText(DataFields(zone, afr, setting), separator);
}

}  // namespace kestrin::test
