// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ecu-sim/engine_model.h"
#include "ecu-sim/settings_dump.h"
#include "ecu-sim/sim_options.h"

namespace kestrin::ecusim {

// The settings the unit runs with and sends as its dump: 193 values, in the
// order of the dump and of the settings file.
struct UnitSettings {
    std::vector<std::string> values;
};

UnitSettings BuiltInSettings();

// The settings file line that a capture of the dump gives.
std::string SettingsLine(const UnitSettings& settings);

// The settings a settings file holds, or why the unit refuses it.
struct LoadedSettings {
    UnitSettings settings;
    std::string error;  // empty when the settings were taken
};

// The settings of a settings file's line: it must pass the logger's full
// check ("BOT" first, "EOT," last, 194 commas), and every value must be one
// the unit can send so that a capture gives the same line back.
LoadedSettings SettingsFromLine(std::string_view line);
// The same for the first line of a file.
LoadedSettings ReadSettingsFile(const std::string& path);
// The settings the options ask for: the file of --settings, else the
// built-in ones.
LoadedSettings SettingsFor(const SimOptions& options);

// Each small zone's setting as the logger's added view sums it: its own value
// plus its large zone's, both read where the logger's table puts them.
// Nothing when either value is not a whole number.
std::array<std::optional<std::int64_t>, kSmallZoneCount> ZoneSettings(const UnitSettings& settings);

// How far the built-in setting of each small zone lies above the ideal the
// seed gives it, in steps: about a quarter on it, the rest 1 to 4 steps off
// either way.
std::array<int, kSmallZoneCount> IdealOffsets(std::uint64_t seed);

// The engine's fuel with these settings: each zone's setting against the
// seed's ideal; a zone whose setting is not a whole number runs at its ideal.
FuelSetup MakeFuelSetup(const UnitSettings& settings, std::uint64_t seed,
                        double stepPercent = kDefaultFuelStepPercent,
                        int sensorLagLines = kDefaultSensorLagLines);

}  // namespace kestrin::ecusim
