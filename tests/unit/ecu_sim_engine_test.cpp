// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ecu-sim/sim_options.h"
#include "ecu-sim/unit_settings.h"
#include "support/pty_pair.h"

namespace kestrin::ecusim {
namespace {

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
    // A captured file: one line, anything after it ignored.
    std::ofstream(path) << good << "\r\nignored";
    EXPECT_EQ(SettingsLine(SettingsFor(ParseSimOptions({"--settings=" + path}).options).settings),
              good);
}

TEST(EcuSimOptions, FuelStepAndSensorLagAreReadAndRangeChecked) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--fuel-step", "2.5", "--sensor-lag-lines", "50"}, "2.5 50"},
        {{"--fuel-step=0", "--sensor-lag-lines=0"}, "0 0"},
        {{"--fuel-step=-1"}, "--fuel-step: \"-1\" is not a percentage from 0 to 20"}};
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
