// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ecu-sim/engine_model.h"

namespace kestrin::ecusim {

struct SimOptions {
    std::string device;              // empty: open a pseudo-terminal
    long baud = 1200;                // pacing, and the line speed of a real port
    bool fast = false;               // no pacing: as fast as the reader takes it
    std::optional<long long> lines;  // stop after this many data lines
    std::optional<double> seconds;   // stop after this many seconds
    std::uint64_t seed = 1;
    std::string settingsFile;  // empty: the built-in settings
    double fuelStepPercent = kDefaultFuelStepPercent;
    int sensorLagLines = kDefaultSensorLagLines;
    int headerEvery = 64;  // 0: the header only at the start
    bool dumpAtStart = false;
    bool startPaused = false;
    std::optional<long> parentPid;
    bool stopOnStdinEof = false;
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    SimOptions options;
    std::string error;  // empty when the arguments were understood
};

// Reads the command line (without the program name). Accepts "--name value"
// and "--name=value". Files are not looked at here.
ParsedOptions ParseSimOptions(const std::vector<std::string>& args);

std::string SimUsage(const std::string& program);
// What --version prints.
std::string SimVersion();

}  // namespace kestrin::ecusim
