// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "ecu-sim/engine_model.h"

namespace kestrin::ecusim {

// The unit's live lines: nine columns padded with runs of spaces, each line
// ended by carriage return and line feed. Field 2 is the manifold pressure,
// field 5 the air-fuel sensor count and field 8 the zone byte; the header's
// last title is "ZON".
inline constexpr int kStreamColumns = 9;

std::string HeaderLine();
std::string DataLine(const EngineSample& sample);

// Header first, then data lines from the engine model, with the header sent
// again after every `headerEvery` data lines (0: only at the start), as the
// unit does after a reset.
class StreamSource {
  public:
    struct Line {
        std::string text;
        bool isData = false;
    };

    // The engine of `seed` on the unit's built-in settings.
    StreamSource(std::uint64_t seed, int headerEvery);
    StreamSource(std::uint64_t seed, int headerEvery, const FuelSetup& fuel);

    Line next();

  private:
    EngineModel model_;
    int headerEvery_;
    long long dataLines_ = 0;
    bool headerDue_ = true;
};

}  // namespace kestrin::ecusim
