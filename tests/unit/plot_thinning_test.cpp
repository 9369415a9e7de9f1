// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/plot_thinning.h"
#include "common/printable_name.h"

namespace kestrin {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

ChannelValues Values(const std::vector<double>& added) {
    ChannelValues values;
    for (double value : added) values.push_back(value);
    return values;
}

std::string Text(const std::vector<PlotPoint>& points) {
    std::string text;
    for (const PlotPoint& p : points)
        text +=
            std::to_string(static_cast<int>(p.key)) + ":" +
            (std::isnan(p.value) ? std::string("-") : std::to_string(static_cast<int>(p.value))) +
            " ";
    return text;
}

TEST(PlotThinningTest, KeepsEachPixelColumnsLowestAndHighestAndBothEnds) {
    // Keys 1 to 12 over 2 pixel columns of 6 keys each, [0, 6) and [6, 12].
    DataKeys keys(true);
    for (double key = 1; key <= 12; ++key) keys.push_back(key);
    const struct {
        std::vector<double> values;
        std::size_t first, last;
        int columns;
        std::string points;
    } cases[] = {
        // A spike of one line survives; the ends stay as they are.
        {{5, 1, 1, 9, 1, 1, 1, 1, 1, 1, 1, 7}, 0, 12, 2, "1:5 2:1 4:9 6:1 12:7 "},
        // Highest before lowest keeps key order.
        {{5, 8, 3, 2, 4, 4, 4, 0, 4, 4, 4, 7}, 0, 12, 2, "1:5 2:8 4:2 6:4 8:0 12:7 "},
        // A column of no numbers is a gap.
        {{5, kNaN, kNaN, kNaN, kNaN, 3, 2, 2, 2, 2, 2, 7}, 0, 12, 2, "1:5 2:- 6:3 7:2 12:7 "},
        // Few enough points: all of them.
        {{5, 1, 1, 9, 1, 1, 1, 1, 1, 1, 1, 7}, 2, 6, 2, "3:1 4:9 5:1 6:1 "},
        {{5, 1, 1, 9, 1, 1, 1, 1, 1, 1, 1, 7}, 5, 5, 2, ""},
    };
    std::vector<PlotPoint> points;
    for (const auto& c : cases) {
        ThinPoints(keys, Values(c.values), c.first, c.last, 0, 12, c.columns, points);
        EXPECT_EQ(Text(points), c.points);
    }
}

TEST(PrintableNameTest, ShowsControlBytesAsHex) {
    const struct {
        std::string name, shown;
    } cases[] = {
        {"Log1.txt", "Log1.txt"},
        {"a\nb\tc\x1b[2J", "a\\x0ab\\x09c\\x1b[2J"},
        {std::string("\x00\x7f", 2), "\\x00\\x7f"},
        {"caf\xc3\xa9 \xff A&B", "caf\xc3\xa9 \xff A&B"},
    };
    for (const auto& c : cases) EXPECT_EQ(PrintableName(c.name), c.shown);
}

}  // namespace
}  // namespace kestrin
