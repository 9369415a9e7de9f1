// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

#include "analysis/channel_values.h"
#include "analysis/data_keys.h"

namespace kestrin {

struct PlotPoint {
    double key;
    double value;
};

// The points to draw of keys[first, last) and their values, for a plot
// `columns` pixel columns wide showing keys lower to upper. Where there are
// fewer points than twice the columns, all of them; otherwise, per pixel
// column, the lowest and the highest value in key order, so that a spike of
// a single line still shows, and the first and the last point as they are.
// A value that is NaN is no number and leaves a gap: a column of nothing
// else gives one NaN point. `keys` ascend. The extremes come from the
// values' runs, so the work grows with the columns, not with the lines.
void ThinPoints(const DataKeys& keys, const ChannelValues& values, std::size_t first,
                std::size_t last, double lower, double upper, int columns,
                std::vector<PlotPoint>& points);

}  // namespace kestrin
