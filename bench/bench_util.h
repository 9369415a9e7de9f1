// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace kestrin::bench {

inline double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Wall-clock seconds of a shell command, best of `rounds`; ends the
// benchmark when the command fails.
inline double TimeCommand(const std::string& command, int rounds) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            std::exit(1);
        }
        best = std::min(best, Seconds(std::chrono::steady_clock::now() - start));
    }
    return best;
}

// Lines as the unit sends them: nine space-separated values, CR LF.
inline std::string UnitLines(std::size_t bytes, unsigned seed = 7) {
    std::mt19937 rng(seed);
    auto value = [&](int lo, int hi) {
        return std::to_string(std::uniform_int_distribution(lo, hi)(rng));
    };
    std::string out = "RPM MAP TPS CLT IAT O2 ADV PW ZON\r\n";
    while (out.size() < bytes) {
        out += value(700, 6500) + " " + value(30, 240) + "  " + value(0, 100) + " " +
               value(60, 105) + " " + value(10, 60) + " " + value(60, 200) + " " + value(-5, 40) +
               " " + value(10, 90) + " " + value(16, 159) + "\r\n";
    }
    return out;
}

}  // namespace kestrin::bench
