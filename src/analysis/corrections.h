// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/log_line.h"
#include "analysis/zone_table.h"
#include "common/status.h"

namespace kestrin {

// How much more fuel each zone needs, worked out from logs: the air-fuel
// ratio each zone ran at against the ratio wanted there.
//
// The logs are read once into CorrectionData, a compact form of their data
// lines; ComputeCorrections applies a set of options to it in memory, so a
// change of options costs a pass over numbers, not a reading of files.

enum class CompareOp { Less, LessOrEqual, Greater, GreaterOrEqual, Equal, NotEqual };

// "TITLE OP NUMBER": the line's field in the column titled TITLE (by the
// latest header before the line in its file), read as a number, compared
// with NUMBER. No header, no such title or no number there: it fails.
struct WhereCondition {
    std::string title;
    CompareOp op = CompareOp::Equal;
    double number = 0;
};

// Which data lines are used, and what each zone is held against. Ratios and
// the range are in hundredths, percentages in hundredths of a percent.
struct CorrectionOptions {
    static constexpr int kMaxLinesAround = 50;
    // Ratios within this many hundredths and percentages within this many
    // hundredths of a percent keep the exact arithmetic inside 128 bits.
    static constexpr std::int64_t kMostRatio = 100000;
    static constexpr std::int64_t kMostPercent = 1000000;

    // A line is used only when this many lines just before it are data
    // lines naming its zone.
    int steady = 1;
    // A line is paired with the air-fuel ratio of the data line this many
    // lines after it (the sensor reads late); all lines between are data.
    int delay = 0;
    // The paired ratio must lie within, ends included. The sensor's end
    // readings, 10 and 19.81, mean out of range, not a mixture.
    std::int64_t afrLow = 1001;
    std::int64_t afrHigh = 1980;
    std::vector<WhereCondition> where;  // all must hold
    // The target ratio of a zone, above 0: from `targets`, else `target`.
    std::map<std::int64_t, std::int64_t> targets;
    std::int64_t target = 1470;
    // A zone with fewer used lines gets the flag FEW.
    std::int64_t minLines = 10;
    // A larger change gets the flag CLAMP, and NEW goes no further.
    std::int64_t maxChange = 1000;
    // How much more fuel one setting step gives (negative when a larger
    // setting means less fuel); without it NEW stays empty. Never 0.
    std::optional<std::int64_t> step;
};

// Why a data line was not used, by the first rule that left it out.
enum class LineVerdict : std::uint8_t { Used, Steady, Delay, AfrRange, Where };
inline constexpr std::size_t kLeavingRules = 4;  // the verdicts after Used

enum class CorrectionFlag { Ok, Few, Mixed, Clamp };

// A data line's place: the log it stands in (its index among those read)
// and its line number there, from 1.
struct LineRef {
    std::size_t log = 0;
    std::int64_t line = 0;

    bool operator==(const LineRef&) const = default;
};

struct CorrectionResult;

// The data lines of one or more logs, read once.
class CorrectionData {
  public:
    // `titles`: the column titles whose fields conditions may ask for; a
    // condition on another title needs the logs read again.
    explicit CorrectionData(std::vector<std::string> titles = {});

    // Reads one more log. When it cannot be opened or read, the failure,
    // and the data is as it was before.
    Status ReadLog(const std::string& path);

    struct Log {
        std::string path;
        std::size_t firstData = 0;  // its data lines: [firstData, endData)
        std::size_t endData = 0;
        LogLineCounts counts;
    };
    const std::vector<Log>& logs() const { return logs_; }
    const std::vector<std::string>& titles() const { return titles_; }
    std::size_t dataLines() const { return zoneSlot_.size(); }
    // Line counts over all logs.
    LogLineCounts lineCounts() const;

  private:
    friend CorrectionResult ComputeCorrections(const CorrectionData& data,
                                               const CorrectionOptions& options);
    friend std::vector<LineRef> UsedLines(const CorrectionData& data,
                                          const CorrectionResult& result, std::int64_t zone);

    std::uint32_t SlotOf(std::int64_t zone);
    void Truncate(std::size_t firstData, std::size_t zones);
    // The data line after the run `run` (of runs_).
    std::size_t RunEnd(std::size_t run) const;

    std::vector<std::string> titles_;
    std::vector<Log> logs_;
    // Every zone named by a data line has a slot, in the order first seen,
    // with the last non-empty STNG over the logs in the order read.
    std::vector<std::int64_t> zones_;
    std::vector<std::string> settings_;
    std::unordered_map<std::int64_t, std::uint32_t> slots_;
    // Per data line, in file order, log after log.
    std::vector<std::uint32_t> zoneSlot_;
    // Hundredths; one beyond 32 bits is kept as the nearest that fits,
    // which lies outside any range of ratios an option allows.
    std::vector<std::int32_t> airFuel_;
    // How many data lines naming the same zone stand right before the line
    // in its file, at most 255.
    std::vector<std::uint8_t> sameZoneBefore_;
    // Per title, the line's field under it as a number; NaN for none.
    std::vector<std::vector<double>> titled_;
    // The runs of consecutive data lines of a file: where each begins among
    // the data lines, and its line number (from 1) in its file.
    struct Run {
        std::size_t first = 0;
        std::int64_t line = 0;
    };
    std::vector<Run> runs_;
};

// One zone's used lines and what they ask for.
struct ZoneCorrection {
    std::int64_t zone = 0;
    std::int64_t lines = 0;  // used lines
    WideSum airFuelSum = 0;  // their paired ratios, hundredths
    // Used lines whose paired ratio lies strictly above (leaner than) or
    // below (richer than) the target.
    std::int64_t leaner = 0;
    std::int64_t richer = 0;
    std::int64_t target = 0;  // hundredths
    std::string setting;      // the last non-empty STNG, used or not

    // Worked out from the above and the options.
    std::int64_t meanHundredths = 0;  // nearest, a tie to the even one
    std::int64_t changeTenths = 0;    // tenths of a percent, nearest, a tie to the even one
    CorrectionFlag flag = CorrectionFlag::Ok;
    std::optional<std::int64_t> newSetting;

    // The change in percent, exactly: changeNumerator / changeDenominator,
    // (mean / target - 1) * 100 = 100 * (sum - lines * target) / (lines * target).
    WideSum changeNumerator() const;
    WideSum changeDenominator() const;
};

struct CorrectionResult {
    // Every zone with at least one used line, in ascending order.
    std::vector<ZoneCorrection> zones;
    // Per data line of the data, in its order.
    std::vector<LineVerdict> verdicts;
    LogLineCounts lines;  // the lines of all logs, data lines among them
    std::int64_t used = 0;
    std::array<std::int64_t, kLeavingRules> leftOutBy{};  // Steady, Delay, AfrRange, Where
};

CorrectionResult ComputeCorrections(const CorrectionData& data, const CorrectionOptions& options);

// The used lines of `zone`, in the order read.
std::vector<LineRef> UsedLines(const CorrectionData& data, const CorrectionResult& result,
                               std::int64_t zone);

// A setting as the unit writes it, a whole number with an optional sign and
// at most nine digits; nothing for anything else.
std::optional<std::int64_t> SettingNumber(std::string_view text);
// A setting as the unit writes one: "+8", "-3", "0".
std::string SettingText(std::int64_t setting);
// Tenths of a percent, with a sign and one decimal: "+4.8", "-3.0", "0.0".
std::string ChangeText(std::int64_t tenths);
std::string_view FlagText(CorrectionFlag flag);

// The table, tab-separated with LF line ends: the header row "ZONE LINES
// AFR_MEAN TARGET CHANGE STNG NEW FLAG", then one row per zone.
std::string CorrectionsText(const CorrectionResult& result);
// How far a zone's mixture lies from its target, in percent of fuel and
// without sign: |changeNumerator / changeDenominator|. Ordered exactly.
struct ZoneOff {
    WideSum numerator = 0;  // not negative
    WideSum denominator = 1;

    static ZoneOff Of(const ZoneCorrection& zone);
    bool operator<(const ZoneOff& other) const;
    // Tenths of a percent, nearest, a tie to the even one.
    std::int64_t tenths() const;
    // The tenths as the comparison writes them: "10.0", "0.4".
    std::string text() const;
};

// The zones of two results side by side, before and after a change of
// settings: those with at least `minLines` used lines in both, ascending.
struct ZoneComparison {
    ZoneCorrection before;
    ZoneCorrection after;
};
std::vector<ZoneComparison> CompareZones(const CorrectionResult& before,
                                         const CorrectionResult& after, std::int64_t minLines);
// The zone ran closer to its target after: its exact OFF is smaller.
bool IsCloser(const ZoneComparison& zone);
// "closer to target in X of Y zones", X counting the zones IsCloser holds for.
std::string CloserText(const std::vector<ZoneComparison>& zones);

// The comparison, tab-separated with LF line ends: the header row "ZONE
// LINES_BEFORE AFR_BEFORE LINES_AFTER AFR_AFTER TARGET OFF_BEFORE OFF_AFTER",
// one row per zone, then the line of CloserText.
std::string CompareText(const std::vector<ZoneComparison>& zones);

// One line without its end: the data lines read and used, and how many each
// rule left out.
std::string CorrectionsSummary(const CorrectionResult& result);

}  // namespace kestrin
