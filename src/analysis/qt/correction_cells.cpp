// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/correction_cells.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

#include "analysis/zone_table.h"
#include "viewer/zone_layout.h"

namespace kestrin {

namespace {

const QColor kRich(0x4a, 0x7d, 0xff);
const QColor kCloser(0xc8, 0xf0, 0xc0);
const QColor kLean(0xff, 0x4a, 0x3a);
// The deepest shade leaves the cell texts readable.
constexpr double kDeepest = 0.8;

}  // namespace

QColor ShadeTowards(double offset) {
    const double share = std::clamp(std::abs(offset), 0.0, 1.0) * kDeepest;
    const QColor& deep = offset < 0 ? kRich : kLean;
    const auto mix = [share](int full) { return static_cast<int>(255 + (full - 255) * share); };
    return QColor(mix(deep.red()), mix(deep.green()), mix(deep.blue()));
}

ZoneCell CorrectionCell(const ZoneCorrection& zone, const CorrectionOptions& options) {
    ZoneCell cell;
    const std::string change = ChangeText(zone.changeTenths);
    const std::string newSetting = zone.newSetting ? SettingText(*zone.newSetting) : std::string();
    cell.text = change;
    if (options.step && !zone.setting.empty()) {
        cell.text += "\n" + zone.setting;
        if (zone.newSetting) cell.text += " > " + newSetting;
    }
    cell.corner = std::to_string(zone.lines);
    cell.greyed = zone.flag == CorrectionFlag::Few;
    cell.marked = zone.flag == CorrectionFlag::Mixed || zone.flag == CorrectionFlag::Clamp;
    // A change at the largest allowed, or beyond, is shaded deepest; tenths
    // against hundredths of a percent.
    const double most = static_cast<double>(std::max<std::int64_t>(options.maxChange, 1));
    cell.shade = ShadeTowards(static_cast<double>(zone.changeTenths) * 10 / most);
    cell.toolTip = "Zone " + std::to_string(zone.zone) + ": " + std::string(FlagText(zone.flag)) +
                   "\n" + std::to_string(zone.lines) + " lines used, mean AFR " +
                   HundredthsAsText(zone.meanHundredths) + ", target " +
                   HundredthsAsText(zone.target) + "\nChange " + change + "%";
    if (!zone.setting.empty()) cell.toolTip += "\nSTNG " + zone.setting;
    if (zone.newSetting) cell.toolTip += ", new " + newSetting;
    return cell;
}

namespace {

// Puts the cells of zones in the grid, the others told in their tooltip by
// `none`; gives the number of zones outside the grid.
template <typename Zones, typename MakeCell>
int ShowCells(ZoneGridView& grid, const Zones& zones, MakeCell cellOf, const char* none) {
    std::array<std::optional<ZoneCell>, ZoneView::kSmallZones> cells;
    int outside = 0;
    for (const auto& zone : zones) {
        const auto [number, cell] = cellOf(zone);
        if (const std::optional<int> p = SmallZoneOfSlot(number)) {
            cells[static_cast<std::size_t>(*p)] = cell;
        } else {
            ++outside;
        }
    }
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        ZoneCell cell = cells[static_cast<std::size_t>(p)].value_or(ZoneCell{});
        if (cell.toolTip.empty())
            cell.toolTip = "Zone " + std::to_string(SmallZoneSlot(p)) + ": " + none;
        grid.setCell(p, cell);
    }
    return outside;
}

}  // namespace

int ShowCorrections(ZoneGridView& grid, const CorrectionResult& result,
                    const CorrectionOptions& options) {
    return ShowCells(
        grid, result.zones,
        [&options](const ZoneCorrection& zone) {
            return std::pair(zone.zone, CorrectionCell(zone, options));
        },
        "no line used");
}

ZoneCell ComparisonCell(const ZoneComparison& zone) {
    const ZoneOff before = ZoneOff::Of(zone.before);
    const ZoneOff after = ZoneOff::Of(zone.after);
    const bool closer = IsCloser(zone);
    ZoneCell cell;
    cell.text = before.text() + " > " + after.text() + "\n" + (closer ? "closer" : "not closer");
    cell.corner = std::to_string(zone.before.lines) + "/" + std::to_string(zone.after.lines);
    cell.marked = !closer;
    // Tenths of a percent further off, against the largest change a zone is
    // allowed by default (10 %).
    cell.shade =
        closer ? kCloser
               : ShadeTowards(0.2 + static_cast<double>(after.tenths() - before.tenths()) / 100);
    cell.toolTip = "Zone " + std::to_string(zone.before.zone) + ": " +
                   (closer ? "closer to target" : "not closer to target") +
                   "\nBefore: " + std::to_string(zone.before.lines) + " lines, mean AFR " +
                   HundredthsAsText(zone.before.meanHundredths) + ", off " + before.text() +
                   "%\nAfter: " + std::to_string(zone.after.lines) + " lines, mean AFR " +
                   HundredthsAsText(zone.after.meanHundredths) + ", off " + after.text() +
                   "%\nTarget " + HundredthsAsText(zone.before.target);
    return cell;
}

int ShowComparison(ZoneGridView& grid, const std::vector<ZoneComparison>& zones) {
    return ShowCells(
        grid, zones,
        [](const ZoneComparison& zone) {
            return std::pair(zone.before.zone, ComparisonCell(zone));
        },
        "not compared");
}

}  // namespace kestrin
