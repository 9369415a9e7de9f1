#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/corrections_command.h"
#include "ecu-sim/stream_lines.h"
#include "ecu-sim/unit_settings.h"
#include "settings/settings_format.h"
#include "support/command_run.h"
#include "support/pty_pair.h"
#include "support/stream_recording.h"

namespace kestrin {
namespace {

constexpr std::uint64_t kSeed = 1;
constexpr long long kDriveLines = 30000;  // 100 minutes of the simulated drive
constexpr int kSensorLag = 1;             // the simulator's default
constexpr double kFuelStep = 1.0;         // percent of fuel per setting step, its default

// A drive of the seed's engine on `fuel`, logged with `line` loaded.
void Drive(const std::string& log, const ecusim::FuelSetup& fuel, const std::string& line) {
    const auto table = std::make_unique<SettingsTable>();
    MapSettingsLine(line, *table);
    ecusim::StreamSource source(kSeed, 64, fuel);
    ASSERT_TRUE(test::RecordStream(log, source, kDriveLines, Separator::Tab, *table).ok());
}

// The rows of a command's table, split at tabs, header and last line left out.
std::vector<std::vector<std::string>> Rows(const std::string& table) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(table);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) fields.push_back(field);
        rows.push_back(fields);
    }
    if (!rows.empty()) rows.pop_back();
    return rows;
}

test::CommandRun RunWith(int (*command)(int, char**), const char* option,
                         std::vector<std::string> args, const std::vector<std::string>& rules) {
    args.insert(args.begin(), rules.begin(), rules.end());
    args.insert(args.begin(), option);
    return test::RunCommand(command, args);
}

// The whole loop against the simulated engine, by the program's commands: a
// drive on the built-in settings, its corrections written as a new settings
// file, a second drive of the same seed on that file, the two compared.
TEST(SettingsLoopTest, CorrectedSettingsBringTheMixtureCloserToItsAim) {
    const std::vector<std::string> steadyAndWarm = {"--steady", "2",       "--delay",
                                                    "1",        "--where", "CLT >= 60"};
    const struct {
        std::vector<std::string> rules;
        // Each zone held against its mean on the ideal settings, else --target.
        bool idealTargets;
    } cases[] = {
        // The engine's aim varies with load, warm-up and fuel cut: each zone
        // is held against the mixture it runs at on the ideal settings,
        // measured by the same rules on the same drive.
        {steadyAndWarm, true},
        // Where the engine aims at 14.7: part throttle, no boost, no fuel cut.
        {{"--steady", "2", "--delay", "1", "--where", "CLT >= 60", "--where", "TPS >= 2", "--where",
          "TPS <= 69", "--where", "MAP <= 104", "--target", "14.7"},
         false},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string ideal = dir.file("Ideal.txt"), first = dir.file("Log1.txt"),
                          second = dir.file("Log2.txt"), in = dir.file("Settings.txt"),
                          out = dir.file("Corrected.txt");
        const std::string builtIn = ecusim::SettingsLine(ecusim::BuiltInSettings());
        std::vector<std::string> rules = c.rules;
        if (c.idealTargets) {
            ecusim::FuelSetup idealFuel;  // no zone off its ideal
            idealFuel.stepPercent = kFuelStep;
            idealFuel.sensorLagLines = kSensorLag;
            Drive(ideal, idealFuel, builtIn);
            std::string targets;
            for (const auto& row : Rows(
                     RunWith(RunCorrectionsCommand, kCorrectionsOption, {ideal}, rules).out + "\n"))
                targets += row[0] + " " + row[2] + "\n";
            test::WriteWholeFile(dir.file("targets.txt"), targets);
            rules.insert(rules.end(), {"--targets", dir.file("targets.txt")});
        }

        test::WriteWholeFile(in, builtIn);
        Drive(first, ecusim::MakeFuelSetup(ecusim::BuiltInSettings(), kSeed, kFuelStep, kSensorLag),
              builtIn);
        const test::CommandRun corrected =
            RunWith(RunCorrectionsCommand, kCorrectionsOption,
                    {"--step", "1", "--settings", in, "--write-settings", out, first}, rules);
        ASSERT_EQ(corrected.status, 0) << corrected.err;
        // The simulator takes the written file as it takes a captured one.
        const std::string written = test::ReadWholeFile(out);
        const ecusim::LoadedSettings loaded = ecusim::SettingsFromLine(written);
        ASSERT_EQ(loaded.error, "");
        Drive(second, ecusim::MakeFuelSetup(loaded.settings, kSeed, kFuelStep, kSensorLag),
              written);

        const test::CommandRun compared =
            RunWith(RunCompareCommand, kCompareOption, {first, second}, rules);
        ASSERT_EQ(compared.status, 0) << compared.err;
        double before = 0, after = 0;
        const auto zones = Rows(compared.out);
        for (const auto& row : zones) {
            before += std::stod(row[6]);
            after += std::stod(row[7]);
        }
        const std::string closer = compared.out.substr(compared.out.rfind("closer"));
        std::printf("%s; mean OFF %.2f%% before, %.2f%% after\n",
                    closer.substr(0, closer.size() - 1).c_str(), before / zones.size(),
                    after / zones.size());
        ASSERT_GE(zones.size(), 10u) << compared.out;
        EXPECT_LE(after, before / 2) << compared.out;
    }
}

}  // namespace
}  // namespace kestrin
