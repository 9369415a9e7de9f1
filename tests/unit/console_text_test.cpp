#include "display/console_text.h"

#include <gtest/gtest.h>

#include <algorithm>
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

std::int64_t MeasureWidest(const ConsoleText& t) {
    std::int64_t widest = 0;
    for (std::size_t i = 0; i < t.lineCount(); ++i) widest = std::max(widest, t.lineWidth(i));
    return widest;
}

TEST(ConsoleText, CrLfIsOneBreakAndNotPartOfTheLine) {
    ConsoleText t = Make("12\t34\t\r\n\t\r\n\r\na\nb\rc\r");
    t.append("\nxy");  // a break split across two appends
    EXPECT_EQ(t.text(), "12\t34\t\r\n\t\r\n\r\na\nb\rc\r\nxy");
    ASSERT_EQ(t.lineCount(), 6u);
    EXPECT_EQ(t.lineText(0), "12\t34\t");
    EXPECT_EQ(t.lineText(1), "\t");
    EXPECT_EQ(t.lineText(2), "");
    EXPECT_EQ(t.lineText(3), "a");
    EXPECT_EQ(t.lineText(4), "b\rc");  // a lone CR stays in the line and takes no room
    EXPECT_EQ(t.lineWidth(4), 16);
    EXPECT_EQ(t.lineText(5), "xy");
    EXPECT_EQ(t.lineStart(1), 8u);
    EXPECT_EQ(t.lineEnd(0), 6u);
    EXPECT_EQ(t.lineOf(6), 0u);  // the CR
    EXPECT_EQ(t.lineOf(7), 0u);  // the LF
    EXPECT_EQ(t.lineOf(8), 1u);
    EXPECT_EQ(t.lineOf(1000), 5u);
}

TEST(ConsoleText, ClearStartsOverAtTheFirstPosition) {
    ConsoleText t = Make("abc\r\ndef\r\n");
    t.clear();
    EXPECT_EQ(t.size(), 0u);
    EXPECT_EQ(t.lineCount(), 1u);
    EXPECT_EQ(t.widestLine(), 0);
    t.append("z");
    EXPECT_EQ(t.text(), "z");
    EXPECT_EQ(t.lineStart(0), 0u);
    EXPECT_EQ(t.widestLine(), 8);
}

TEST(ConsoleText, TabsStopEvery48PixelsFromTheTextEdge) {
    const ConsoleText t = Make("12\t3\r\n123456\tx\r\n\t\t\r\n1234567\t");
    EXPECT_EQ(t.xAt(0, t.lineStart(0) + 3), 48);  // "12" then a tab
    EXPECT_EQ(t.lineWidth(0), 56);                // ... and one more character
    EXPECT_EQ(t.xAt(1, t.lineStart(1) + 7), 96);  // text ending on a stop goes on to the next
    EXPECT_EQ(t.lineWidth(2), 96);                // two empty fields
    EXPECT_EQ(t.lineWidth(3), 96);                // a field wider than one stop
    EXPECT_EQ(t.widestLine(), 104);
}

TEST(ConsoleText, OffsetAtPicksTheNearestBoundary) {
    const ConsoleText t = Make("ab\tc\r\nxyz");
    EXPECT_EQ(t.offsetAt(0, -20), 0u);
    EXPECT_EQ(t.offsetAt(0, 3), 0u);   // left half of 'a'
    EXPECT_EQ(t.offsetAt(0, 5), 1u);   // right half of 'a'
    EXPECT_EQ(t.offsetAt(0, 40), 3u);  // right half of the tab's stretch
    EXPECT_EQ(t.offsetAt(0, 1000), t.lineEnd(0));
    EXPECT_EQ(t.offsetAt(1, 1000), t.size());
    for (std::size_t off = t.lineStart(1); off <= t.size(); ++off)
        EXPECT_EQ(t.offsetAt(1, t.xAt(1, off)), off);
}

TEST(ConsoleText, WidestLineKeptByAppendsMatchesAFullMeasure) {
    std::mt19937 rng(3);
    std::string all;
    for (int line = 0; line < 400; ++line) {
        for (int f = std::uniform_int_distribution(0, 20)(rng); f > 0; --f)
            all += std::string(std::uniform_int_distribution(0, 9)(rng), 'x') + "\t";
        all += "\r\n";
    }
    ConsoleText t = Make("");
    for (std::size_t pos = 0; pos < all.size();) {
        const std::size_t n = std::uniform_int_distribution<std::size_t>(1, 17)(rng);
        t.append(std::string_view(all).substr(pos, n));
        pos += n;
    }
    EXPECT_EQ(t.text(), all);
    EXPECT_GT(MeasureWidest(t), 0);
    EXPECT_EQ(t.widestLine(), MeasureWidest(t));
    t.setMetrics(ConsoleMetrics::uniform(10, 60));  // measures everything anew
    EXPECT_EQ(t.widestLine(), MeasureWidest(t));

    // An unfinished last line counts too.
    t = Make("ab\r\n");
    t.append("abcdef");
    EXPECT_EQ(t.widestLine(), 48);
    t.append("\r\n");
    EXPECT_EQ(t.widestLine(), 48);
}

}  // namespace
}  // namespace kestrin
