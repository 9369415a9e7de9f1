#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ecu-sim/engine_model.h"
#include "ecu-sim/sim_options.h"
#include "ecu-sim/stream_lines.h"
#include "ecu-sim/unit_settings.h"
#include "intake/record_decoder.h"
#include "support/pty_pair.h"
#include "viewer/zone_layout.h"

namespace kestrin::ecusim {
namespace {

// The small zone the logger files a zone byte under.
int SmallZoneOfByte(int zone) { return *SmallZoneOfSlot(*ZoneNumber(std::to_string(zone))); }

double Afr(int o2Count) { return *AirFuelRatio(std::to_string(o2Count)); }

TEST(EcuSimFuel, FactorIsOneStepPercentPerStepWithinHalfAndTwice) {
    const double cases[][3] = {
        {0, 1, 1}, {-3, 1, 0.97}, {2, 2.5, 1.05}, {300, 1, 2}, {-80, 1, 0.5}};
    for (const auto& [steps, percent, factor] : cases)
        EXPECT_DOUBLE_EQ(FuelFactor(static_cast<long long>(steps), percent), factor) << steps;
}

// Half the zones off their ideal, on settled lines (the same zone for the last few lines): those
// zones read richer (or leaner) by the factor, the others as on their ideal, the drive the same.
TEST(EcuSimFuel, ZoneOffItsIdealReadsRicherByTheFactor) {
    const std::pair<int, double> cases[] = {{4, 1.0}, {-3, 1.0}, {2, 2.5}};
    for (const auto& [steps, percent] : cases) {
        const FuelSetup ideal{.stepPercent = percent, .sensorLagLines = 0};
        FuelSetup off = ideal;
        for (int p = 0; p < FuelSetup::kZones; p += 2) off.stepsOff[p] = steps;
        EngineModel onIdeal(7, ideal), offIdeal(7, off);
        double sums[2][2] = {};  // [zone off its ideal][engine on ideal, engine off]
        int settled = 0, lastZone = -1;
        for (int i = 0; i < 20000; ++i) {
            const EngineSample a = onIdeal.step(), b = offIdeal.step();
            ASSERT_TRUE(a.rpm == b.rpm && a.mapKpa == b.mapKpa && a.zone == b.zone) << i;
            settled = a.zone == lastZone ? settled + 1 : 0;
            lastZone = a.zone;
            if (settled < 4 || a.throttlePercent < 2) continue;
            const bool zoneOff = SmallZoneOfByte(a.zone) % 2 == 0;
            sums[zoneOff][0] += Afr(a.o2Count);
            sums[zoneOff][1] += Afr(b.o2Count);
        }
        EXPECT_NEAR(sums[1][0] / sums[1][1], FuelFactor(steps, percent), 0.002) << steps;
        EXPECT_NEAR(sums[0][0] / sums[0][1], 1.0, 0.002) << steps;
    }
}

TEST(EcuSimFuel, SensorSendsTheMixtureOfLagLinesEarlier) {
    for (int lag : {1, 3, 10}) {
        const FuelSetup now{.sensorLagLines = 0}, late{.sensorLagLines = lag};
        EngineModel prompt(3, now), delayed(3, late);
        std::vector<int> counts;
        for (int i = 0; i < 200; ++i) {
            counts.push_back(prompt.step().o2Count);
            const int sent = delayed.step().o2Count;
            if (i >= lag) {
                EXPECT_EQ(sent, counts[i - lag]) << lag << " " << i;
            }
        }
    }
}

TEST(EcuSimSettings, SettingsFileRunsTheEngineAndIsTheDump) {
    DumpValues values = DefaultDumpValues();
    for (int& trim : values.smallZones) trim += 3;
    UnitSettings file{DumpValueTexts(values)};
    const std::size_t firstZone = values.preamble.size();
    file.values[firstZone + 5] = "A5";                     // not a number
    file.values[firstZone + kSmallZoneCount + 4] = "1.5";  // large zone 4: not whole
    test::TempDir dir;
    std::ofstream(dir.file("Settings.txt")) << SettingsLine(file) << "\r\nignored";

    const LoadedSettings loaded =
        SettingsFor(ParseSimOptions({"--settings", dir.file("Settings.txt")}).options);
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(SettingsLine(loaded.settings), SettingsLine(file));
    EXPECT_EQ(SettingsDump(loaded.settings.values), SettingsDump(file.values));
    EXPECT_NE(SettingsDump(loaded.settings.values), SettingsDump(DefaultDumpValues()));

    const FuelSetup fuel = MakeFuelSetup(loaded.settings, 4);
    const auto offsets = IdealOffsets(4);
    for (int p = 0; p < FuelSetup::kZones; ++p)
        EXPECT_EQ(fuel.stepsOff[p], p == 5 || LargeZoneOf(p) == 4 ? 0 : offsets[p] + 3) << p;

    // Same drive (see above), other mixtures on most lines.
    StreamSource builtIn(4, 0), fromFile(4, 0, fuel);
    int otherLines = 0;
    for (int i = 0; i < 300; ++i) otherLines += builtIn.next().text != fromFile.next().text;
    EXPECT_GT(otherLines, 150);
}

TEST(EcuSimSettings, FileThatIsNotACompleteSendableSettingsFileIsRefused) {
    const auto with = [](std::size_t index, const std::string& value) {
        UnitSettings settings = BuiltInSettings();
        settings.values[index] = value;
        return SettingsLine(settings);
    };
    const std::string good = SettingsLine(BuiltInSettings());
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, "No such file or directory"},
        {"", "the file is empty"},
        {"bot" + good.substr(3), "not a complete settings file"},
        {good.substr(0, good.size() - 1), "(it holds 193)"},
        {"BOT7," + good.substr(3), "(it holds 195)"},
        {with(20, "1-2"), "would be cut in two at its sign"},
        {with(30, ""), "an empty value"},
        {with(40, "ab"), "holds a character the logger drops"}};
    test::TempDir dir;
    const std::string path = dir.file("Settings.txt");
    for (const auto& [content, error] : cases) {
        std::remove(path.c_str());
        if (content) std::ofstream(path) << *content;
        const LoadedSettings loaded = SettingsFor(ParseSimOptions({"--settings=" + path}).options);
        EXPECT_TRUE(loaded.error.starts_with(path + ": ")) << loaded.error;
        EXPECT_NE(loaded.error.find(error), std::string::npos) << loaded.error;
        EXPECT_TRUE(loaded.settings.values.empty());
    }
}

TEST(EcuSimOptions, FuelStepAndSensorLagAreReadAndRangeChecked) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--fuel-step", "2.5", "--sensor-lag-lines", "50"}, "2.5 50"},
        {{"--fuel-step=0", "--sensor-lag-lines=0"}, "0 0"},
        {{"--fuel-step", "20.5"}, "--fuel-step: \"20.5\" is not a percentage from 0 to 20"},
        {{"--fuel-step=-1"}, "--fuel-step: \"-1\" is not a percentage from 0 to 20"},
        {{"--sensor-lag-lines", "51"},
         "--sensor-lag-lines: \"51\" is not a number of lines from 0 to 50"},
        {{"--settings="}, "--settings: \"\" is not a settings file"}};
    for (const auto& [args, expected] : cases) {
        const ParsedOptions parsed = ParseSimOptions(args);
        std::ostringstream values;
        values << parsed.options.fuelStepPercent << ' ' << parsed.options.sensorLagLines;
        EXPECT_EQ(parsed.error.empty() ? values.str() : parsed.error, expected);
    }
    // Without --settings the unit runs on its built-in settings.
    EXPECT_EQ(SettingsFor(SimOptions{}).settings.values, BuiltInSettings().values);
}

}  // namespace
}  // namespace kestrin::ecusim
