// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/corrections.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <system_error>

#include "common/char_classes.h"
#include "common/decimal_text.h"

namespace kestrin {

namespace {

constexpr std::size_t kNoColumn = std::numeric_limits<std::size_t>::max();
constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint8_t kMostCounted = 255;
constexpr std::int64_t kLargestRatio = std::numeric_limits<std::int32_t>::max();
constexpr int kMostSettingDigits = 9;

std::uint8_t CountedUpTo255(unsigned n) {
    return static_cast<std::uint8_t>(std::min<unsigned>(n, kMostCounted));
}

bool Holds(double value, CompareOp op, double number) {
    // NaN is no number: it fails every comparison, != included.
    if (std::isnan(value)) return false;
    switch (op) {
        case CompareOp::Less:
            return value < number;
        case CompareOp::LessOrEqual:
            return value <= number;
        case CompareOp::Greater:
            return value > number;
        case CompareOp::GreaterOrEqual:
            return value >= number;
        case CompareOp::Equal:
            return value == number;
        case CompareOp::NotEqual:
            return value != number;
    }
    return false;
}

WideSum Abs(WideSum value) { return value < 0 ? -value : value; }

// The flag, the rounded numbers and NEW of a zone whose counts are in.
void WorkOut(ZoneCorrection& zone, const CorrectionOptions& options) {
    // The change in percent is top / bottom; above the target (lean) it is positive.
    const WideSum top = zone.changeNumerator();
    const WideSum bottom = zone.changeDenominator();
    zone.meanHundredths = static_cast<std::int64_t>(RoundedQuotient(zone.airFuelSum, zone.lines));
    zone.changeTenths = static_cast<std::int64_t>(RoundedQuotient(10 * top, bottom));
    // Beyond maxChange hundredths of a percent.
    const bool clamped = Abs(100 * top) > static_cast<WideSum>(options.maxChange) * bottom;
    const std::int64_t onMeansSide = top > 0 ? zone.leaner : zone.richer;
    if (zone.lines < options.minLines) {
        zone.flag = CorrectionFlag::Few;
    } else if (top != 0 && 3 * onMeansSide < 2 * zone.lines) {
        zone.flag = CorrectionFlag::Mixed;
    } else {
        zone.flag = clamped ? CorrectionFlag::Clamp : CorrectionFlag::Ok;
    }

    zone.newSetting.reset();
    const std::optional<std::int64_t> setting = SettingNumber(zone.setting);
    const bool trusted = zone.flag == CorrectionFlag::Ok || zone.flag == CorrectionFlag::Clamp;
    if (!options.step || !trusted || !setting) return;
    // NEW = setting + change / step, the whole sum rounded once. The step
    // and a limited change are in hundredths of a percent.
    const WideSum step = *options.step;
    WideSum newTop = 100 * top;
    WideSum newBottom = bottom * step;
    if (clamped) {
        newTop = top > 0 ? options.maxChange : -options.maxChange;
        newBottom = step;
    }
    zone.newSetting =
        static_cast<std::int64_t>(RoundedQuotient(*setting * newBottom + newTop, newBottom));
}

void AppendNumber(std::string& text, std::int64_t number) {
    char digits[24];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

// A size in tenths with one decimal: "4.8", "0.0".
void AppendTenths(std::string& text, std::int64_t size) {
    AppendNumber(text, size / 10);
    text += '.';
    AppendNumber(text, size % 10);
}

}  // namespace

// The data.

CorrectionData::CorrectionData(std::vector<std::string> titles)
    : titles_(std::move(titles)), titled_(titles_.size()) {}

LogLineCounts CorrectionData::lineCounts() const {
    LogLineCounts total;
    for (const Log& log : logs_) {
        total.data += log.counts.data;
        total.headers += log.counts.headers;
        total.markers += log.counts.markers;
        total.leftOut += log.counts.leftOut;
    }
    return total;
}

std::uint32_t CorrectionData::SlotOf(std::int64_t zone) {
    const auto [place, added] = slots_.try_emplace(zone, static_cast<std::uint32_t>(zones_.size()));
    if (added) {
        zones_.push_back(zone);
        settings_.emplace_back();
    }
    return place->second;
}

std::size_t CorrectionData::RunEnd(std::size_t run) const {
    return run + 1 < runs_.size() ? runs_[run + 1].first : dataLines();
}

void CorrectionData::Truncate(std::size_t firstData, std::size_t zones) {
    zoneSlot_.resize(firstData);
    airFuel_.resize(firstData);
    sameZoneBefore_.resize(firstData);
    for (std::vector<double>& values : titled_) values.resize(firstData);
    while (!runs_.empty() && runs_.back().first >= firstData) runs_.pop_back();
    for (std::size_t slot = zones; slot < zones_.size(); ++slot) slots_.erase(zones_[slot]);
    zones_.resize(zones);
    settings_.resize(zones);
}

Status CorrectionData::ReadLog(const std::string& path) {
    Log log{path, dataLines(), dataLines(), {}};
    const std::size_t zonesBefore = zones_.size();
    // This log's last STNG per zone, taken in only once the whole log is read.
    std::vector<std::string> settings;
    // The column of each title in the latest header; none before one.
    std::vector<std::size_t> columns(titles_.size(), kNoColumn);
    std::int64_t lineNumber = 0;
    bool afterData = false;
    std::optional<std::int64_t> lastZone;
    std::uint32_t lastSlot = 0;
    const Status status = ReadLogLines(path, [&](LogLineKind kind,
                                                 const std::vector<std::string_view>& fields,
                                                 const LogDataValues& data) {
        ++lineNumber;
        log.counts.Add(kind);
        if (kind != LogLineKind::Data) {
            afterData = false;
            if (kind == LogLineKind::Header) {
                for (std::size_t t = 0; t < titles_.size(); ++t) {
                    const auto title = std::find(fields.begin(), fields.end(), titles_[t]);
                    columns[t] = title == fields.end()
                                     ? kNoColumn
                                     : static_cast<std::size_t>(title - fields.begin());
                }
            }
            return;
        }
        // Consecutive lines mostly name one zone.
        const bool sameZone = lastZone == data.zone;
        const std::uint32_t slot = sameZone ? lastSlot : SlotOf(data.zone);
        const bool steadySoFar = afterData && sameZone;
        sameZoneBefore_.push_back(steadySoFar ? CountedUpTo255(sameZoneBefore_.back() + 1u) : 0);
        if (!afterData) runs_.push_back({dataLines(), lineNumber});
        lastZone = data.zone;
        lastSlot = slot;
        afterData = true;
        zoneSlot_.push_back(slot);
        airFuel_.push_back(static_cast<std::int32_t>(
            std::clamp<std::int64_t>(data.airFuelHundredths, -kLargestRatio, kLargestRatio)));
        for (std::size_t t = 0; t < titles_.size(); ++t) {
            std::optional<double> value;
            if (columns[t] < fields.size()) value = ReadDecimal(fields[columns[t]]);
            titled_[t].push_back(value.value_or(kNoNumber));
        }
        if (!data.setting.empty()) {
            if (settings.size() <= slot) settings.resize(slot + 1);
            if (settings[slot] != data.setting) settings[slot] = data.setting;
        }
    });
    if (!status.ok()) {
        Truncate(log.firstData, zonesBefore);
        return status;
    }
    for (std::size_t slot = 0; slot < settings.size(); ++slot)
        if (!settings[slot].empty()) settings_[slot] = std::move(settings[slot]);
    log.endData = dataLines();
    logs_.push_back(std::move(log));
    return Status::Ok();
}

// The computation.

WideSum ZoneCorrection::changeNumerator() const {
    return 100 * (airFuelSum - static_cast<WideSum>(lines) * target);
}

WideSum ZoneCorrection::changeDenominator() const { return static_cast<WideSum>(lines) * target; }

CorrectionResult ComputeCorrections(const CorrectionData& data, const CorrectionOptions& options) {
    CorrectionResult result;
    const std::size_t count = data.dataLines();
    result.lines = data.lineCounts();
    result.verdicts.assign(count, LineVerdict::Used);

    std::vector<std::int64_t> targets(data.zones_.size(), options.target);
    for (const auto& [zone, target] : options.targets) {
        if (const auto slot = data.slots_.find(zone); slot != data.slots_.end())
            targets[slot->second] = target;
    }
    struct Test {
        const std::vector<double>* values;  // nullptr: a title not read, which no line has
        CompareOp op;
        double number;
    };
    std::vector<Test> tests;
    for (const WhereCondition& condition : options.where) {
        const auto title = std::find(data.titles_.begin(), data.titles_.end(), condition.title);
        tests.push_back(
            {title == data.titles_.end()
                 ? nullptr
                 : &data.titled_[static_cast<std::size_t>(title - data.titles_.begin())],
             condition.op, condition.number});
    }
    const auto passes = [&tests](std::size_t i) {
        return std::all_of(tests.begin(), tests.end(), [i](const Test& test) {
            return test.values != nullptr && Holds((*test.values)[i], test.op, test.number);
        });
    };

    std::vector<ZoneCorrection> zones(data.zones_.size());
    const auto delay = static_cast<std::size_t>(std::max(options.delay, 0));
    for (std::size_t run = 0; run < data.runs_.size(); ++run) {
        const std::size_t end = data.RunEnd(run);
        for (std::size_t i = data.runs_[run].first; i < end; ++i) {
            LineVerdict verdict = LineVerdict::Used;
            std::int64_t paired = 0;
            if (data.sameZoneBefore_[i] < options.steady) {
                verdict = LineVerdict::Steady;
            } else if (end - i <= delay) {
                verdict = LineVerdict::Delay;
            } else if (paired = data.airFuel_[i + delay];
                       paired < options.afrLow || paired > options.afrHigh) {
                verdict = LineVerdict::AfrRange;
            } else if (!passes(i)) {
                verdict = LineVerdict::Where;
            }
            if (verdict != LineVerdict::Used) {
                result.verdicts[i] = verdict;
                ++result.leftOutBy[static_cast<std::size_t>(verdict) - 1];
                continue;
            }
            const std::uint32_t slot = data.zoneSlot_[i];
            ZoneCorrection& zone = zones[slot];
            ++zone.lines;
            zone.airFuelSum += paired;
            if (paired > targets[slot]) ++zone.leaner;
            if (paired < targets[slot]) ++zone.richer;
            ++result.used;
        }
    }

    std::vector<std::uint32_t> order(zones.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&data](std::uint32_t a, std::uint32_t b) {
        return data.zones_[a] < data.zones_[b];
    });
    for (const std::uint32_t slot : order) {
        ZoneCorrection& zone = zones[slot];
        if (zone.lines == 0) continue;
        zone.zone = data.zones_[slot];
        zone.target = targets[slot];
        zone.setting = data.settings_[slot];
        WorkOut(zone, options);
        result.zones.push_back(std::move(zone));
    }
    return result;
}

std::vector<LineRef> UsedLines(const CorrectionData& data, const CorrectionResult& result,
                               std::int64_t zone) {
    std::vector<LineRef> lines;
    const auto slot = data.slots_.find(zone);
    if (slot == data.slots_.end() || result.verdicts.size() != data.dataLines()) return lines;
    std::size_t log = 0;
    for (std::size_t run = 0; run < data.runs_.size(); ++run) {
        const CorrectionData::Run& first = data.runs_[run];
        while (first.first >= data.logs_[log].endData) ++log;
        for (std::size_t i = first.first; i < data.RunEnd(run); ++i) {
            if (data.zoneSlot_[i] == slot->second && result.verdicts[i] == LineVerdict::Used)
                lines.push_back({log, first.line + static_cast<std::int64_t>(i - first.first)});
        }
    }
    return lines;
}

// The texts.

std::optional<std::int64_t> SettingNumber(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && IsSign(digits.front())) digits.remove_prefix(1);
    if (digits.empty() || digits.size() > kMostSettingDigits ||
        !std::all_of(digits.begin(), digits.end(), IsDigit))
        return std::nullopt;
    std::int64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return text.front() == '-' ? -value : value;
}

std::string SettingText(std::int64_t setting) {
    std::string text = setting > 0 ? "+" : "";
    AppendNumber(text, setting);
    return text;
}

std::string ChangeText(std::int64_t tenths) {
    std::string text = tenths > 0 ? "+" : tenths < 0 ? "-" : "";
    AppendTenths(text, tenths < 0 ? -tenths : tenths);
    return text;
}

std::string_view FlagText(CorrectionFlag flag) {
    switch (flag) {
        case CorrectionFlag::Ok:
            return "OK";
        case CorrectionFlag::Few:
            return "FEW";
        case CorrectionFlag::Mixed:
            return "MIXED";
        case CorrectionFlag::Clamp:
            return "CLAMP";
    }
    return "";
}

std::string CorrectionsText(const CorrectionResult& result) {
    std::string text = "ZONE\tLINES\tAFR_MEAN\tTARGET\tCHANGE\tSTNG\tNEW\tFLAG\n";
    for (const ZoneCorrection& zone : result.zones) {
        AppendNumber(text, zone.zone);
        text += '\t';
        AppendNumber(text, zone.lines);
        text += '\t';
        text += HundredthsAsText(zone.meanHundredths);
        text += '\t';
        text += HundredthsAsText(zone.target);
        text += '\t';
        text += ChangeText(zone.changeTenths);
        text += '\t';
        text += zone.setting;
        text += '\t';
        if (zone.newSetting) text += SettingText(*zone.newSetting);
        text += '\t';
        text += FlagText(zone.flag);
        text += '\n';
    }
    return text;
}

ZoneOff ZoneOff::Of(const ZoneCorrection& zone) {
    return {Abs(zone.changeNumerator()), zone.changeDenominator()};
}

bool ZoneOff::operator<(const ZoneOff& other) const {
    // Both denominators are above 0; the products stay within 128 bits for
    // the ratios and line counts the options allow.
    return numerator * other.denominator < other.numerator * denominator;
}

std::int64_t ZoneOff::tenths() const {
    return static_cast<std::int64_t>(RoundedQuotient(10 * numerator, denominator));
}

std::string ZoneOff::text() const {
    std::string text;
    AppendTenths(text, tenths());
    return text;
}

std::vector<ZoneComparison> CompareZones(const CorrectionResult& before,
                                         const CorrectionResult& after, std::int64_t minLines) {
    std::vector<ZoneComparison> zones;
    // Both lists ascend by zone.
    auto later = after.zones.begin();
    for (const ZoneCorrection& zone : before.zones) {
        while (later != after.zones.end() && later->zone < zone.zone) ++later;
        if (later == after.zones.end()) break;
        if (later->zone == zone.zone && zone.lines >= minLines && later->lines >= minLines)
            zones.push_back({zone, *later});
    }
    return zones;
}

bool IsCloser(const ZoneComparison& zone) {
    return ZoneOff::Of(zone.after) < ZoneOff::Of(zone.before);
}

std::string CloserText(const std::vector<ZoneComparison>& zones) {
    const auto closer = std::count_if(zones.begin(), zones.end(), IsCloser);
    return "closer to target in " + std::to_string(closer) + " of " + std::to_string(zones.size()) +
           " zones";
}

std::string CompareText(const std::vector<ZoneComparison>& zones) {
    std::string text =
        "ZONE\tLINES_BEFORE\tAFR_BEFORE\tLINES_AFTER\tAFR_AFTER\tTARGET\tOFF_BEFORE\tOFF_AFTER\n";
    for (const auto& [before, after] : zones) {
        AppendNumber(text, before.zone);
        text += '\t';
        AppendNumber(text, before.lines);
        text += '\t';
        text += HundredthsAsText(before.meanHundredths);
        text += '\t';
        AppendNumber(text, after.lines);
        text += '\t';
        text += HundredthsAsText(after.meanHundredths);
        text += '\t';
        text += HundredthsAsText(before.target);
        text += '\t';
        text += ZoneOff::Of(before).text();
        text += '\t';
        text += ZoneOff::Of(after).text();
        text += '\n';
    }
    return text + CloserText(zones) + "\n";
}

std::string CorrectionsSummary(const CorrectionResult& result) {
    const auto& by = result.leftOutBy;
    return LogLineCountsText(result.lines) + "; " + std::to_string(result.used) +
           " used, left out " + std::to_string(by[0]) + " by --steady, " + std::to_string(by[1]) +
           " by --delay, " + std::to_string(by[2]) + " by --afr-range, " + std::to_string(by[3]) +
           " by --where";
}

}  // namespace kestrin
