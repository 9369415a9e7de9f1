// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <cstdint>
#include <vector>

#include "analysis/corrections.h"
#include "viewer/qt/zone_grid_view.h"

namespace kestrin {

// White at 0, deepening towards blue (below 0: rich, less fuel) or red
// (above 0: lean, more fuel) as `offset` nears -1 or 1; beyond them it stays.
QColor ShadeTowards(double offset);

// A zone's correction as its cell shows it: the change and, with a step, the
// old and the new setting ("+8 > +10", the old alone without a new one or
// nothing without a setting in the logs), the used lines in the corner; shaded
// by the size and direction of the change against the largest allowed; FEW
// greyed, MIXED and CLAMP marked; the command's whole row in the tooltip.
ZoneCell CorrectionCell(const ZoneCorrection& zone, const CorrectionOptions& options);

// Fills every cell of `grid` from `result`, a zone without used lines
// empty; gives the number of the result's zones that lie outside the grid.
int ShowCorrections(ZoneGridView& grid, const CorrectionResult& result,
                    const CorrectionOptions& options);

// A zone compared before and after, as its cell shows it: how far it lay
// from its target before and after ("4.8 > 1.2", percent of fuel), then
// "closer" or "not closer"; the used lines before and after in the corner.
// A zone closer to its target is shaded green; one not closer is marked and
// shaded towards red, the more the further it went off; the comparison's
// whole row in the tooltip.
ZoneCell ComparisonCell(const ZoneComparison& zone);

// Fills every cell of `grid` from `zones`, a zone not compared empty; gives
// the number of zones that lie outside the grid.
int ShowComparison(ZoneGridView& grid, const std::vector<ZoneComparison>& zones);

}  // namespace kestrin
