// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/corrections_command.h"
#include "ecu-sim/drive_recording.h"
#include "ecu-sim/stream_lines.h"
#include "ecu-sim/unit_settings.h"
#include "settings/settings_format.h"
#include "support/command_run.h"
#include "support/pty_pair.h"

namespace kestrin {
namespace {

constexpr std::uint64_t kSeed = 1;
constexpr long long kDriveLines = 30000;  // 100 minutes of the simulated drive

// A drive of the seed's engine on `settings` (one step 1 % of fuel, the sensor
// a line late, as the simulator's defaults), logged with `line` loaded.
void Drive(const std::string& log, const ecusim::UnitSettings& settings, const std::string& line) {
    const auto table = std::make_unique<SettingsTable>();
    MapSettingsLine(line, *table);
    ecusim::StreamSource source(kSeed, 64, ecusim::MakeFuelSetup(settings, kSeed, 1.0, 1));
    ASSERT_TRUE(ecusim::RecordStream(log, source, kDriveLines, Separator::Tab, *table).ok());
}

// The whole loop against the simulated engine, by the program's commands: a
// drive on the built-in settings, its corrections written as a new settings
// file, a second drive of the same seed on that file, the two compared where
// the engine aims at 14.7 (warm, part throttle, no boost, no fuel cut).
TEST(SettingsLoopTest, CorrectedSettingsBringTheMixtureCloserToItsAim) {
    const std::vector<std::string> rules = {
        "--steady", "2",       "--delay",   "1",       "--where",    "CLT >= 60", "--where",
        "TPS >= 2", "--where", "TPS <= 69", "--where", "MAP <= 104", "--target",  "14.7"};
    test::TempDir dir;
    const std::string first = dir.file("Log1.txt"), second = dir.file("Log2.txt"),
                      in = dir.file("Settings.txt"), out = dir.file("Corrected.txt");
    const std::string builtIn = ecusim::SettingsLine(ecusim::BuiltInSettings());
    test::WriteWholeFile(in, builtIn);
    Drive(first, ecusim::BuiltInSettings(), builtIn);
    std::vector<std::string> args = {kCorrectionsOption, "--step", "1",  "--settings", in,
                                     "--write-settings", out,      first};
    args.insert(args.begin() + 1, rules.begin(), rules.end());
    const test::CommandRun corrected = test::RunCommand(RunCorrectionsCommand, args);
    ASSERT_EQ(corrected.status, 0) << corrected.err;
    // The simulator takes the written file as it takes a captured one.
    const std::string written = test::ReadWholeFile(out);
    const ecusim::LoadedSettings loaded = ecusim::SettingsFromLine(written);
    ASSERT_EQ(loaded.error, "");
    Drive(second, loaded.settings, written);

    args = {kCompareOption, first, second};
    args.insert(args.begin() + 1, rules.begin(), rules.end());
    const test::CommandRun compared = test::RunCommand(RunCompareCommand, args);
    ASSERT_EQ(compared.status, 0) << compared.err;
    // Rows of numbers, OFF before and after last, up to the line that sums up.
    double before = 0, after = 0, row[8];
    std::size_t zones = 0;
    std::istringstream table(compared.out.substr(compared.out.find('\n') + 1));
    for (; table >> row[0] >> row[1] >> row[2] >> row[3] >> row[4] >> row[5] >> row[6] >> row[7];
         ++zones) {
        before += row[6];
        after += row[7];
    }
    const std::string closer = compared.out.substr(compared.out.rfind("closer"));
    std::printf("%s; mean OFF %.2f%% before, %.2f%% after\n",
                closer.substr(0, closer.size() - 1).c_str(), before / zones, after / zones);
    ASSERT_GE(zones, 10u) << compared.out;
    EXPECT_LE(after, before / 2) << compared.out;
}

}  // namespace
}  // namespace kestrin
