// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "analysis/log_line.h"
#include "common/status.h"

namespace kestrin {

class LineReader;

// Sums wide enough for any count of readings below 10^15 hundredths.
__extension__ using WideSum = __int128;

// What the data lines of one zone add up to.
struct ZoneSummary {
    std::int64_t lines = 0;
    WideSum airFuelSum = 0;  // hundredths
    std::int64_t airFuelMin = 0;
    std::int64_t airFuelMax = 0;
    std::string setting;  // the last non-empty STNG

    // The mean in hundredths, exactly, to the nearest one with a tie going to the even one.
    std::int64_t meanHundredths() const;
};

// The data lines of a log summed per zone, in ascending zone order.
class ZoneTable {
  public:
    void Add(const LogDataValues& data);
    const std::map<std::int64_t, ZoneSummary>& zones() const { return zones_; }

    // The lines read, by kind: counted by whoever reads the log.
    void Count(LogLineKind kind) { counts_.Add(kind); }
    const LogLineCounts& lineCounts() const { return counts_; }

  private:
    std::map<std::int64_t, ZoneSummary> zones_;
    LogLineCounts counts_;
    // Consecutive lines mostly stay in one zone.
    ZoneSummary* last_ = nullptr;
    std::int64_t lastZone_ = 0;
};

// `numerator` / `denominator` (not 0) to the nearest whole number, a tie to
// the even one: a mean, or any ratio worked out exactly.
WideSum RoundedQuotient(WideSum numerator, WideSum denominator);

// Hundredths in the decimal text form of the log ("14.7", "15", "-0.05").
std::string HundredthsAsText(std::int64_t hundredths);

// The table as tab-separated text with LF line ends: the header row
// "ZONE LINES AFR_MEAN AFR_MIN AFR_MAX STNG", then one row per zone.
std::string ZoneTableText(const ZoneTable& table);

// Reads every data line of the log at `path` into `table`, counting every
// line. A file that cannot be opened or read gives the failure.
Status ReadZoneTable(const std::string& path, ZoneTable& table);
// The same from a reader that has opened its file or stream.
Status ReadZoneTable(LineReader& reader, ZoneTable& table);

}  // namespace kestrin
