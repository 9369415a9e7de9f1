// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu-sim/unit_settings.h"

#include <algorithm>
#include <memory>

#include "analysis/log_line.h"
#include "ecu-sim/random_source.h"
#include "log/text_file.h"
#include "settings/settings_format.h"
#include "settings/settings_table.h"
#include "viewer/zone_layout.h"

namespace kestrin::ecusim {

namespace {

static_assert(kSmallZoneCount == ZoneView::kSmallZones && kSmallZoneCount == FuelSetup::kZones);

// Far past the limits of the fuel factor, and far from overflow.
constexpr std::int64_t kMaxStepsOff = 1'000'000;

LoadedSettings Refused(std::string error) { return {{}, std::move(error)}; }

}  // namespace

UnitSettings BuiltInSettings() { return {DumpValueTexts(DefaultDumpValues())}; }

std::string SettingsLine(const UnitSettings& settings) {
    std::string line(kSettingsBegin);
    for (const std::string& value : settings.values) {
        line += value;
        line += ',';
    }
    line += kSettingsEnd;
    return line;
}

LoadedSettings SettingsFromLine(std::string_view line) {
    if (!PassesFullCheck(line))
        return Refused("not a complete settings file: it must start with \"BOT\", end with " +
                       std::string("\"EOT,\" and hold ") + std::to_string(kCompleteCommaCount) +
                       " commas (it holds " + std::to_string(CommaCount(line)) + ")");
    // Between the markers every value ends with its comma.
    const std::string_view values = line.substr(
        kSettingsBegin.size(), line.size() - kSettingsBegin.size() - kSettingsEnd.size());
    LoadedSettings loaded;
    for (std::size_t start = 0, comma; (comma = values.find(',', start)) != values.npos;
         start = comma + 1)
        loaded.settings.values.emplace_back(values.substr(start, comma - start));
    if (std::string problem = DumpProblem(loaded.settings.values); !problem.empty())
        return Refused("the unit cannot send these settings intact: " + problem);
    return loaded;
}

LoadedSettings ReadSettingsFile(const std::string& path) {
    PosixFileSystem files;
    std::unique_ptr<TextStream> reader;
    std::string line;
    Status status = files.OpenTextFile(path, reader);
    if (status.ok()) {
        status = reader->readline(line);
        (void)reader->Close();  // a reader's closing loses nothing
    }
    LoadedSettings loaded;
    if (status.kind == ErrorKind::ReadPastEnd)
        loaded = Refused("the file is empty");
    else if (status.kind == ErrorKind::LineTooLong)
        loaded = Refused("the first line is longer than any settings file");
    else if (!status.ok())
        loaded = Refused(status.reason);
    else
        loaded = SettingsFromLine(line);
    if (!loaded.error.empty()) loaded.error = path + ": " + loaded.error;
    return loaded;
}

LoadedSettings SettingsFor(const SimOptions& options) {
    if (options.settingsFile.empty()) return {BuiltInSettings(), {}};
    return ReadSettingsFile(options.settingsFile);
}

std::array<std::optional<std::int64_t>, kSmallZoneCount> ZoneSettings(
    const UnitSettings& settings) {
    // Read through the logger's own mapping, so the engine runs on what a
    // capture of its dump shows.
    const auto table = std::make_unique<SettingsTable>();
    MapSettingsLine(SettingsLine(settings), *table);
    std::array<std::optional<std::int64_t>, kSmallZoneCount> zones{};
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const auto own = WholeNumber(table->at(SmallZoneSlot(p)));
        const auto large = WholeNumber(table->at(LargeZoneSlot(LargeZoneOf(p))));
        if (own && large) zones[p] = *own + *large;
    }
    return zones;
}

std::array<int, kSmallZoneCount> IdealOffsets(std::uint64_t seed) {
    // A generator of its own leaves the seed's drive cycle as it was. Seeds
    // from the command line stay below 2^63, so this state starts no other
    // seed's drive cycle.
    RandomSource random(~seed);
    std::array<int, kSmallZoneCount> offsets{};
    for (int& offset : offsets) {
        if (random.chance(0.25)) continue;
        const int size = 1 + static_cast<int>(random.next() % 4);
        offset = random.chance(0.5) ? size : -size;
    }
    return offsets;
}

FuelSetup MakeFuelSetup(const UnitSettings& settings, std::uint64_t seed, double stepPercent,
                        int sensorLagLines) {
    FuelSetup fuel;
    fuel.stepPercent = stepPercent;
    fuel.sensorLagLines = sensorLagLines;
    const auto builtIn = ZoneSettings(BuiltInSettings());
    const auto running = ZoneSettings(settings);
    const auto offsets = IdealOffsets(seed);
    for (std::size_t p = 0; p < kSmallZoneCount; ++p) {
        if (!running[p]) continue;
        const std::int64_t ideal = builtIn[p].value_or(0) - offsets[p];
        fuel.stepsOff[p] =
            static_cast<int>(std::clamp(*running[p] - ideal, -kMaxStepsOff, kMaxStepsOff));
    }
    return fuel;
}

}  // namespace kestrin::ecusim
