// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/plot_thinning.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrin {

void ThinPoints(const DataKeys& keys, const ChannelValues& values, std::size_t first,
                std::size_t last, double lower, double upper, int columns,
                std::vector<PlotPoint>& points) {
    points.clear();
    last = std::min({last, keys.size(), values.size()});
    if (first >= last) return;
    const std::size_t count = last - first;
    if (columns < 1 || !(upper > lower) || count <= 2 * static_cast<std::size_t>(columns)) {
        for (std::size_t i = first; i < last; ++i) points.push_back({keys[i], values[i]});
        return;
    }
    const double perKey = columns / (upper - lower);
    points.push_back({keys[first], values[first]});
    const std::size_t end = last - 1;
    std::size_t i = first + 1;
    while (i < end) {
        // The lines of one pixel column lie together: find where it ends.
        const double column = std::floor((keys[i] - lower) * perKey);
        const double boundary = lower + (column + 1) / perKey;
        const std::size_t stop = keys.lowerBound(boundary, i + 1, end);
        std::size_t low = stop;
        std::size_t high = stop;
        values.lowestHighest(i, stop, low, high);
        if (low != stop) {
            points.push_back({keys[std::min(low, high)], values[std::min(low, high)]});
            if (low != high)
                points.push_back({keys[std::max(low, high)], values[std::max(low, high)]});
        } else {
            points.push_back({keys[i], std::numeric_limits<double>::quiet_NaN()});
        }
        i = stop;
    }
    points.push_back({keys[end], values[end]});
}

}  // namespace kestrin
