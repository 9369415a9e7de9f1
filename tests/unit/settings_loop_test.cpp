#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "analysis/corrections.h"
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

// The rules of the loop: steady zones, the sensor's lag, a warm engine.
const std::vector<std::string> kRules = {"--steady", "2",         "--delay",     "1",
                                         "--where",  "CLT >= 60", "--min-lines", "10"};

CorrectionOptions Options(const std::map<std::int64_t, std::int64_t>& targets) {
    CorrectionOptions options;
    options.steady = 2;
    options.delay = kSensorLag;
    options.where = {{"CLT", CompareOp::GreaterOrEqual, 60}};
    options.minLines = 10;
    options.targets = targets;
    return options;
}

CorrectionResult Corrections(const std::string& log, const CorrectionOptions& options) {
    CorrectionData data({"CLT"});
    EXPECT_TRUE(data.ReadLog(log).ok()) << log;
    return ComputeCorrections(data, options);
}

// A drive of the seed's engine on `fuel`, logged with `line` loaded.
void Drive(const std::string& log, const ecusim::FuelSetup& fuel, const std::string& line) {
    const auto table = std::make_unique<SettingsTable>();
    MapSettingsLine(line, *table);
    ecusim::StreamSource source(kSeed, 64, fuel);
    ASSERT_TRUE(test::RecordStream(log, source, kDriveLines, Separator::Tab, *table).ok());
}

double MeanOff(const std::vector<ZoneComparison>& zones, bool after) {
    double sum = 0;
    for (const ZoneComparison& zone : zones) {
        const ZoneOff off = ZoneOff::Of(after ? zone.after : zone.before);
        sum += static_cast<double>(off.numerator) / static_cast<double>(off.denominator);
    }
    return zones.empty() ? 0 : sum / static_cast<double>(zones.size());
}

// The whole loop against the simulated engine: a drive on its built-in
// settings, the corrections written as a new settings file, a second drive of
// the same seed on that file. Each zone is held against the mixture the
// engine runs at there on its ideal settings (its aim varies with load, warm-up
// and fuel cut), measured by the same rules on the same drive.
TEST(SettingsLoopTest, CorrectedSettingsBringTheMixtureCloserToTheIdeal) {
    test::TempDir dir;
    const std::string ideal = dir.file("Ideal.txt"), first = dir.file("Log1.txt"),
                      second = dir.file("Log2.txt"), in = dir.file("Settings.txt"),
                      out = dir.file("Corrected.txt"), targetsFile = dir.file("targets.txt");
    const std::string builtIn = ecusim::SettingsLine(ecusim::BuiltInSettings());

    ecusim::FuelSetup idealFuel;
    idealFuel.stepPercent = kFuelStep;
    idealFuel.sensorLagLines = kSensorLag;
    Drive(ideal, idealFuel, builtIn);
    std::map<std::int64_t, std::int64_t> targets;
    std::string targetsText;
    for (const ZoneCorrection& zone : Corrections(ideal, Options({})).zones) {
        targets.emplace(zone.zone, zone.meanHundredths);
        targetsText +=
            std::to_string(zone.zone) + " " + HundredthsAsText(zone.meanHundredths) + "\n";
    }
    test::WriteWholeFile(targetsFile, targetsText);

    test::WriteWholeFile(in, builtIn);
    Drive(first, ecusim::MakeFuelSetup(ecusim::BuiltInSettings(), kSeed, kFuelStep, kSensorLag),
          builtIn);
    std::vector<std::string> args = {
        kCorrectionsOption, "--targets", targetsFile,        "--step", "1",
        "--settings",       in,          "--write-settings", out};
    args.insert(args.begin() + 1, kRules.begin(), kRules.end());
    args.push_back(first);
    const test::CommandRun corrected = test::RunCommand(RunCorrectionsCommand, args);
    ASSERT_EQ(corrected.status, 0) << corrected.err;

    // The simulator takes the written file as it takes a captured one.
    const std::string written = test::ReadWholeFile(out);
    const ecusim::LoadedSettings loaded = ecusim::SettingsFromLine(written);
    ASSERT_EQ(loaded.error, "");
    Drive(second, ecusim::MakeFuelSetup(loaded.settings, kSeed, kFuelStep, kSensorLag), written);

    const CorrectionOptions options = Options(targets);
    const std::vector<ZoneComparison> zones =
        CompareZones(Corrections(first, options), Corrections(second, options), options.minLines);
    std::size_t closer = 0;
    for (const ZoneComparison& zone : zones)
        if (ZoneOff::Of(zone.after) < ZoneOff::Of(zone.before)) ++closer;
    const double before = MeanOff(zones, false), after = MeanOff(zones, true);
    std::printf("closer in %zu of %zu zones; mean OFF %.2f%% before, %.2f%% after\n", closer,
                zones.size(), before, after);
    ASSERT_GE(zones.size(), 20u);
    EXPECT_LE(after, before / 2);
    EXPECT_GT(2 * closer, zones.size());
}

}  // namespace
}  // namespace kestrin
