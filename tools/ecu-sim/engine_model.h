// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <deque>

#include "ecu-sim/random_source.h"

namespace kestrin::ecusim {

// One reading of the simulated engine, in the units the unit sends.
struct EngineSample {
    int rpm = 0;
    int throttlePercent = 0;
    int mapKpa = 0;    // absolute manifold pressure
    int coolantC = 0;  // may be below zero on a cold start
    int intakeC = 0;
    int o2Count = 0;        // air-fuel sensor count: AFR = count / 52 * 2 + 10
    int advanceDeg = 0;     // may be negative (retard under boost and on overrun)
    int pulseTenthsMs = 0;  // injector pulse width in tenths of a millisecond
    int zone = 0;           // load row in the high nibble, rpm column in the low
};

// The zone byte of a reading: load row 1..9 from the manifold pressure
// (30..230 kPa), rpm column 0..15 from the engine speed (600..6600 rpm in
// steps of 400).
int ZoneRow(int mapKpa);
int ZoneColumn(int rpm);
int ZoneByte(int mapKpa, int rpm);

inline constexpr double kDefaultFuelStepPercent = 1.0;
inline constexpr int kDefaultSensorLagLines = 1;

// How the unit's settings feed the engine. Each small zone has an ideal
// setting; a setting `stepsOff` steps above it gives the engine
// FuelFactor(stepsOff, stepPercent) times the right fuel there, and the
// mixture reads richer by that factor.
struct FuelSetup {
    static constexpr int kZones = 144;
    // Setting minus ideal per small zone p = 16 * (load row - 1) + rpm column,
    // the grid the logger's settings viewer shows.
    std::array<int, kZones> stepsOff{};
    double stepPercent = kDefaultFuelStepPercent;
    // The air-fuel sensor reports the mixture of this many readings earlier.
    int sensorLagLines = kDefaultSensorLagLines;
};

// The fuel for a setting `stepsOff` steps above the ideal, as a multiple of
// the right fuel: 1 + stepsOff * stepPercent / 100, held between 0.5 and 2
// so that no setting floods or starves the engine.
double FuelFactor(long long stepsOff, double stepPercent);

// A turbocharged engine driven through a cycle of idle, cruise, full-throttle
// pulls with gear changes, and overrun. The cycle is chosen from the seed, so
// the same seed always gives the same readings, and the fuel setup changes
// only the mixture, never the drive cycle.
class EngineModel {
  public:
    // Simulated time between two readings.
    static constexpr double kStepSeconds = 0.2;
    static constexpr int kMinMapKpa = 30;
    static constexpr int kMaxMapKpa = 250;
    static constexpr double kMinAfr = 10.0;
    static constexpr double kMaxAfr = 17.0;

    explicit EngineModel(std::uint64_t seed, const FuelSetup& fuel = {});

    // Advances the engine by one step and reads it.
    EngineSample step();

  private:
    enum class Phase { kIdle, kCruise, kPull, kOverrun };

    void enterPhase(Phase phase);
    void chooseNextPhase();
    void driveRpm(double dt);
    void updateManifold(double dt);
    void updateTemperatures(double dt);
    double targetAfr() const;
    bool fuelCut() const;
    int zoneByte() const;
    EngineSample read();

    RandomSource random_;
    Phase phase_ = Phase::kIdle;
    double phaseLeft_ = 0.0;  // seconds until the driver does something else
    double throttle_ = 0.0;   // percent
    double throttleTarget_ = 0.0;
    double rpm_ = 850.0;
    double rpmTarget_ = 850.0;
    double pullRate_ = 0.0;  // rpm per second in the current gear
    double shiftRpm_ = 6500.0;
    double spool_ = 0.0;  // turbo spool, 0..1
    double maxBoostKpa_ = 130.0;
    double map_ = 35.0;
    double afr_ = 14.7;
    // Fuel factor by zone byte, and the mixtures the sensor has yet to report.
    std::array<double, 256> fuelOfZone_{};
    std::deque<double> sensed_;
    double ambientC_ = 20.0;
    double coolantC_ = 20.0;
    double intakeC_ = 20.0;
};

}  // namespace kestrin::ecusim
