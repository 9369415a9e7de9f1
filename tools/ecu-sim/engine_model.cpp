// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu-sim/engine_model.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "intake/record_decoder.h"
#include "viewer/zone_layout.h"

namespace kestrin::ecusim {

namespace {

constexpr double kIdleRpm = 850.0;
constexpr double kMinRpm = 700.0;
constexpr double kMaxRpm = 7800.0;
constexpr double kOverrunFloorRpm = 1100.0;
constexpr double kFuelCutRpm = 1500.0;
constexpr double kThrottleRatePerSecond = 120.0;
constexpr double kWarmCoolantC = 88.0;
constexpr double kColdCoolantC = 60.0;
// An AFR of 10 reads 0; each further AFR unit adds 26 counts.
constexpr double kCountsPerAfr = 26.0;

int Round(double value) { return static_cast<int>(std::lround(value)); }

// Moves `value` toward `target` as a first-order lag with the given rate.
double Approach(double value, double target, double ratePerSecond, double dt) {
    return value + (target - value) * std::min(1.0, ratePerSecond * dt);
}

}  // namespace

int ZoneRow(int mapKpa) {
    constexpr int kBottom = EngineModel::kMinMapKpa;
    constexpr int kTop = 230;  // full boost of most engines the model makes
    constexpr int kSpan = kTop - kBottom;
    const int above = std::clamp(mapKpa, kBottom, kTop) - kBottom;
    return 1 + (above * 8 + kSpan / 2) / kSpan;
}

int ZoneColumn(int rpm) {
    const int above = std::max(rpm, 600) - 600;
    return std::min((above + 200) / 400, 15);
}

int ZoneByte(int mapKpa, int rpm) { return ZoneRow(mapKpa) * 16 + ZoneColumn(rpm); }

double FuelFactor(long long stepsOff, double stepPercent) {
    return std::clamp(1.0 + static_cast<double>(stepsOff) * stepPercent / 100.0, 0.5, 2.0);
}

EngineModel::EngineModel(std::uint64_t seed, const FuelSetup& fuel) : random_(seed) {
    // A zone byte runs on the setting of the small zone the logger files its
    // line under; bytes outside the grid get the right fuel.
    for (std::size_t zone = 0; zone < fuelOfZone_.size(); ++zone) {
        fuelOfZone_[zone] = 1.0;
        const auto slot = ZoneNumber(std::to_string(zone));
        if (const auto p = slot ? SmallZoneOfSlot(*slot) : std::nullopt)
            fuelOfZone_[zone] = FuelFactor(fuel.stepsOff[*p], fuel.stepPercent);
    }
    // Before the first reading the sensor shows the mixture the model starts with.
    sensed_.assign(static_cast<std::size_t>(std::max(fuel.sensorLagLines, 0)), afr_);
    ambientC_ = random_.uniform(-8.0, 28.0);
    coolantC_ = ambientC_;
    intakeC_ = ambientC_;
    maxBoostKpa_ = random_.uniform(125.0, 150.0);
    rpm_ = kIdleRpm + random_.uniform(-40.0, 120.0);  // a freshly started engine idles a bit high
    enterPhase(Phase::kIdle);
}

void EngineModel::enterPhase(Phase phase) {
    phase_ = phase;
    switch (phase) {
        case Phase::kIdle:
            throttleTarget_ = 0.0;
            rpmTarget_ = kIdleRpm;
            phaseLeft_ = random_.uniform(2.0, 6.0);
            break;
        case Phase::kCruise:
            throttleTarget_ = random_.uniform(10.0, 30.0);
            rpmTarget_ = random_.uniform(1800.0, 3800.0);
            phaseLeft_ = random_.uniform(4.0, 12.0);
            break;
        case Phase::kPull:
            throttleTarget_ = random_.uniform(75.0, 100.0);
            pullRate_ = random_.uniform(700.0, 1500.0);
            shiftRpm_ = random_.uniform(5200.0, 7200.0);
            phaseLeft_ = random_.uniform(3.0, 8.0);
            break;
        case Phase::kOverrun:
            throttleTarget_ = 0.0;
            rpmTarget_ = kOverrunFloorRpm;
            pullRate_ = random_.uniform(500.0, 800.0);
            phaseLeft_ = random_.uniform(2.0, 5.0);
            break;
    }
}

void EngineModel::chooseNextPhase() {
    const double pick = random_.unit();
    switch (phase_) {
        case Phase::kIdle:
            enterPhase(pick < 0.6 ? Phase::kCruise : Phase::kPull);
            break;
        case Phase::kCruise:
            enterPhase(pick < 0.45 ? Phase::kPull : pick < 0.8 ? Phase::kOverrun : Phase::kCruise);
            break;
        case Phase::kPull:
            enterPhase(pick < 0.6 ? Phase::kOverrun : Phase::kCruise);
            break;
        case Phase::kOverrun:
            enterPhase(pick < 0.5 ? Phase::kIdle : Phase::kCruise);
            break;
    }
}

void EngineModel::driveRpm(double dt) {
    switch (phase_) {
        case Phase::kIdle:
            rpm_ = Approach(rpm_, rpmTarget_ + random_.uniform(-25.0, 25.0), 1.5, dt);
            break;
        case Phase::kCruise:
            rpm_ = Approach(rpm_, rpmTarget_, 0.6, dt) + random_.uniform(-30.0, 30.0);
            break;
        case Phase::kPull:
            // Torque rises as the turbo spools; at the shift point the next gear drops the revs.
            rpm_ += pullRate_ * (throttle_ / 100.0) * (0.4 + 0.6 * spool_) * dt;
            if (rpm_ >= shiftRpm_) {
                rpm_ *= random_.uniform(0.60, 0.72);
                pullRate_ *= 0.8;
            }
            break;
        case Phase::kOverrun:
            rpm_ = std::max(rpm_ - pullRate_ * dt, rpmTarget_ + random_.uniform(-20.0, 20.0));
            break;
    }
    rpm_ = std::clamp(rpm_, kMinRpm, kMaxRpm);
}

void EngineModel::updateManifold(double dt) {
    // Closed throttle: deeper vacuum the faster the engine turns.
    const double closed = std::clamp(38.0 - (rpm_ - kIdleRpm) / 600.0, 28.0, 38.0);
    const double aspirated = closed + (98.0 - closed) * (1.0 - std::exp(-throttle_ / 25.0));
    const double spoolTarget =
        throttle_ > 55.0 ? std::clamp((rpm_ - 2200.0) / 2000.0, 0.0, 1.0) : 0.0;
    spool_ = Approach(spool_, spoolTarget, 1.25, dt);
    const double boost = spool_ * maxBoostKpa_ * throttle_ / 100.0;
    map_ = Approach(map_, aspirated + boost, 4.0, dt);
}

void EngineModel::updateTemperatures(double dt) {
    coolantC_ = Approach(coolantC_, kWarmCoolantC, 1.0 / 180.0, dt);
    const double intakeTarget = ambientC_ + 6.0 + spool_ * maxBoostKpa_ * 0.12;
    intakeC_ = Approach(intakeC_, intakeTarget, 0.1, dt);
}

bool EngineModel::fuelCut() const { return throttle_ < 2.0 && rpm_ > kFuelCutRpm; }

int EngineModel::zoneByte() const {
    return ZoneByte(std::clamp(Round(map_), kMinMapKpa, kMaxMapKpa), Round(rpm_));
}

double EngineModel::targetAfr() const {
    if (fuelCut()) return kMaxAfr;
    double afr = 14.7;
    if (map_ > 105.0) {
        afr = 12.2 - (map_ - 105.0) / 145.0 * 1.4;
    } else if (throttle_ > 70.0) {
        afr = 12.6;
    } else if (phase_ == Phase::kIdle) {
        afr = 14.4;
    }
    if (coolantC_ < kColdCoolantC) afr -= (kColdCoolantC - coolantC_) / kColdCoolantC * 1.5;
    return afr;
}

EngineSample EngineModel::step() {
    const double dt = kStepSeconds;
    phaseLeft_ -= dt;
    if (phaseLeft_ <= 0.0) chooseNextPhase();

    const double throttleStep = kThrottleRatePerSecond * dt;
    throttle_ += std::clamp(throttleTarget_ - throttle_, -throttleStep, throttleStep);

    driveRpm(dt);
    updateManifold(dt);
    updateTemperatures(dt);
    // The engine gets the fuel of its zone's setting: more fuel, a richer
    // mixture. In fuel cut there is no fuel to scale.
    const double target = fuelCut() ? targetAfr() : targetAfr() / fuelOfZone_[zoneByte()];
    afr_ = Approach(afr_, target, 3.0, dt) + random_.uniform(-0.12, 0.12);
    afr_ = std::clamp(afr_, kMinAfr, kMaxAfr);
    sensed_.push_back(afr_);
    return read();
}

EngineSample EngineModel::read() {
    EngineSample s;
    s.rpm = Round(rpm_);
    s.throttlePercent = std::clamp(Round(throttle_), 0, 100);
    s.mapKpa = std::clamp(Round(map_), kMinMapKpa, kMaxMapKpa);
    s.coolantC = Round(coolantC_);
    s.intakeC = Round(intakeC_);
    const double sensedAfr = sensed_.front();
    sensed_.pop_front();
    s.o2Count = std::clamp(Round((sensedAfr - kMinAfr) * kCountsPerAfr), 0, 255);

    if (throttle_ < 2.0) {
        s.advanceDeg = fuelCut() ? -3 : 12;  // overrun retard, or idle timing
    } else {
        const double advance = 8.0 + std::min(rpm_, 5000.0) / 5000.0 * 26.0 +
                               std::max(0.0, 100.0 - map_) / 100.0 * 8.0 -
                               std::max(0.0, map_ - 100.0) * 0.25;
        s.advanceDeg = std::clamp(Round(advance), -10, 45);
    }

    if (!fuelCut()) {
        const double cold =
            coolantC_ < kColdCoolantC ? 1.0 + (kColdCoolantC - coolantC_) / 120.0 : 1.0;
        const double ms = 0.9 + 4.0 * map_ / 100.0 * 14.7 / afr_ * cold;
        s.pulseTenthsMs = Round(ms * 10.0);
    }
    s.zone = zoneByte();
    return s;
}

}  // namespace kestrin::ecusim
