// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace kestrin::ecusim {

// A small seeded generator (SplitMix64). Written out here rather than taken
// from <random> so that a seed gives the same drive cycle with every standard
// library: the distributions of <random> differ from one library to another.
class RandomSource {
  public:
    explicit RandomSource(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A number in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double uniform(double low, double high) { return low + (high - low) * unit(); }
    bool chance(double probability) { return unit() < probability; }

  private:
    std::uint64_t state_;
};

}  // namespace kestrin::ecusim
