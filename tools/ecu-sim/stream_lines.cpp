// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu-sim/stream_lines.h"

#include <array>
#include <cstdlib>

#include "ecu-sim/unit_settings.h"

namespace kestrin::ecusim {

namespace {

// Column widths: the first column is left-aligned so that no line starts with
// a space (that would read as an empty first field); the others are
// right-aligned and always keep at least one space in front.
constexpr std::array<std::size_t, kStreamColumns> kWidths = {4, 5, 5, 5, 5, 5, 5, 6, 5};

std::string Columns(const std::array<std::string, kStreamColumns>& cells) {
    std::string line = cells[0];
    if (line.size() < kWidths[0]) line.append(kWidths[0] - line.size(), ' ');
    for (std::size_t i = 1; i < cells.size(); ++i) {
        const std::size_t pad = cells[i].size() < kWidths[i] ? kWidths[i] - cells[i].size() : 1;
        line.append(pad, ' ');
        line += cells[i];
    }
    // The last field must not be followed by a space: that would add an empty
    // tenth field, and the logger leaves lines of ten fields undecoded.
    line += "\r\n";
    return line;
}

std::string Tenths(int tenths) {
    const int whole = std::abs(tenths) / 10;
    const int fraction = std::abs(tenths) % 10;
    return (tenths < 0 ? "-" : "") + std::to_string(whole) + "." + std::to_string(fraction);
}

}  // namespace

std::string HeaderLine() {
    return Columns({"RPM", "TPS", "MAP", "CLT", "IAT", "O2", "ADV", "PW", "ZON"});
}

std::string DataLine(const EngineSample& s) {
    return Columns({std::to_string(s.rpm), std::to_string(s.throttlePercent),
                    std::to_string(s.mapKpa), std::to_string(s.coolantC), std::to_string(s.intakeC),
                    std::to_string(s.o2Count), std::to_string(s.advanceDeg),
                    Tenths(s.pulseTenthsMs), std::to_string(s.zone)});
}

StreamSource::StreamSource(std::uint64_t seed, int headerEvery)
    : StreamSource(seed, headerEvery, MakeFuelSetup(BuiltInSettings(), seed)) {}

StreamSource::StreamSource(std::uint64_t seed, int headerEvery, const FuelSetup& fuel)
    : model_(seed, fuel), headerEvery_(headerEvery) {}

StreamSource::Line StreamSource::next() {
    if (headerDue_) {
        headerDue_ = false;
        return {HeaderLine(), false};
    }
    Line line{DataLine(model_.step()), true};
    ++dataLines_;
    if (headerEvery_ > 0 && dataLines_ % headerEvery_ == 0) headerDue_ = true;
    return line;
}

}  // namespace kestrin::ecusim
