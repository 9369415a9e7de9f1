#include "display/console_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace kestrin {
namespace {

// Eight pixels a character and the console's 48-pixel tab stops.
ConsoleText Make(std::string_view text) {
    ConsoleText t;
    t.setMetrics(ConsoleMetrics::uniform(8, 48));
    t.append(text);
    return t;
}

TEST(ConsoleText, CrLfIsOneBreakAndNotPartOfTheLine) {
    ConsoleText t = Make("12\t34\t\r\n\t\r\n\r\na\nb\rc\r");
    t.append("\nxy");  // a break split across two appends
    EXPECT_EQ(t.text(), "12\t34\t\r\n\t\r\n\r\na\nb\rc\r\nxy");
    ASSERT_EQ(t.lineCount(), 6u);
    const char* lines[] = {"12\t34\t", "\t", "", "a", "b\rc", "xy"};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(t.lineText(i), lines[i]) << i;
    EXPECT_EQ(t.lineStart(1), 8u);
    EXPECT_EQ(t.lineEnd(0), 6u);
    EXPECT_EQ(t.lineEnd(5), t.size());
    const std::pair<std::size_t, std::size_t> lineOf[] = {{6, 0}, {7, 0}, {8, 1}, {1000, 5}};
    for (const auto& [offset, line] : lineOf) EXPECT_EQ(t.lineOf(offset), line) << offset;
    t.clear();
    t.append("z");
    EXPECT_EQ(t.lineCount(), 1u);
    EXPECT_EQ(t.lineText(0), "z");
    EXPECT_EQ(t.widestLine(), 8);
}

TEST(ConsoleText, WidthsTabStopsAndTheWidestLine) {
    // Control bytes take no room; a space and 0xA0 do.
    EXPECT_EQ(Make("\x01\x1f\x7f\x9f \xa0").lineWidth(0), 16);
    const ConsoleText t = Make("12\t3\r\n123456\tx\r\n\t\t\r\n1234567\t\r\nab");
    EXPECT_EQ(t.xAt(0, t.lineStart(0) + 3), 48);  // "12" then a tab
    EXPECT_EQ(t.lineWidth(0), 56);
    EXPECT_EQ(t.xAt(1, t.lineStart(1) + 7), 96);  // text ending on a stop goes on to the next
    EXPECT_EQ(t.lineWidth(2), 96);
    EXPECT_EQ(t.lineWidth(3), 96);
    EXPECT_EQ(t.widestLine(), 104);
    ConsoleText growing = Make("ab\r\n");
    growing.append("abcdefg");  // an unfinished last line counts too
    EXPECT_EQ(growing.widestLine(), 56);
    growing.setMetrics(ConsoleMetrics::uniform(10, 60));
    EXPECT_EQ(growing.widestLine(), 70);
}

TEST(ConsoleText, OffsetAtPicksTheNearestBoundary) {
    const ConsoleText t = Make("ab\tc\r\nxyz");
    const std::pair<std::int64_t, std::size_t> cases[] = {{-20, 0}, {3, 0},  {5, 1},   {11, 1},
                                                          {12, 2},  {40, 3}, {1000, 4}};
    for (const auto& [x, offset] : cases) EXPECT_EQ(t.offsetAt(0, x), offset) << x;
    EXPECT_EQ(t.offsetAt(1, 1000), t.size());
    for (std::size_t off = t.lineStart(1); off <= t.size(); ++off)
        EXPECT_EQ(t.offsetAt(1, t.xAt(1, off)), off);
}

}  // namespace
}  // namespace kestrin
