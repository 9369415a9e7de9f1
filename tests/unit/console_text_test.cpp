#include "display/console_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "display/pod_buffer.h"

namespace kestrin {
namespace {

// Eight pixels a character and the console's 48-pixel tab stops.
ConsoleMetrics Cells() { return ConsoleMetrics::uniform(8, 48); }

ConsoleText Make(std::string_view text) {
    ConsoleText t;
    t.setMetrics(Cells());
    t.append(text);
    return t;
}

TEST(ConsoleTextLines, CrLfIsOneBreakAndNotPartOfTheLine) {
    const ConsoleText t = Make("12\t34\t\r\n\t\r\n\r\nab");
    EXPECT_EQ(t.text(), "12\t34\t\r\n\t\r\n\r\nab");
    ASSERT_EQ(t.lineCount(), 4u);
    EXPECT_EQ(t.lineText(0), "12\t34\t");
    EXPECT_EQ(t.lineText(1), "\t");
    EXPECT_EQ(t.lineText(2), "");
    EXPECT_EQ(t.lineText(3), "ab");
    EXPECT_EQ(t.lineStart(1), 8u);
    EXPECT_EQ(t.lineEnd(0), 6u);
}

TEST(ConsoleTextLines, BreakSplitAcrossAppendsAndTextEndingInABreak) {
    ConsoleText t = Make("x\r");
    EXPECT_EQ(t.lineCount(), 1u);
    t.append("\ny\r\n");
    ASSERT_EQ(t.lineCount(), 3u);
    EXPECT_EQ(t.lineText(0), "x");
    EXPECT_EQ(t.lineText(1), "y");
    EXPECT_EQ(t.lineText(2), "");  // the empty line the next text goes into
}

TEST(ConsoleTextLines, LoneLfBreaksAndLoneCrTakesNoRoom) {
    const ConsoleText t = Make("a\nb\rc");
    ASSERT_EQ(t.lineCount(), 2u);
    EXPECT_EQ(t.lineText(0), "a");
    EXPECT_EQ(t.lineText(1), "b\rc");
    EXPECT_EQ(t.lineWidth(1), 16);
}

TEST(ConsoleTextLines, LineOfFindsTheLineHoldingAnOffset) {
    const ConsoleText t = Make("ab\r\ncd\r\n");
    EXPECT_EQ(t.lineOf(0), 0u);
    EXPECT_EQ(t.lineOf(2), 0u);  // the CR
    EXPECT_EQ(t.lineOf(3), 0u);  // the LF
    EXPECT_EQ(t.lineOf(4), 1u);
    EXPECT_EQ(t.lineOf(8), 2u);
    EXPECT_EQ(t.lineOf(1000), 2u);
}

TEST(ConsoleTextLines, ClearStartsOverAtTheFirstPosition) {
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

TEST(ConsoleTextLayout, TabsStopEvery48PixelsFromTheTextEdge) {
    const ConsoleText t = Make("12\t3\r\n123456\tx\r\n\t\t\r\n1234567\t");
    EXPECT_EQ(t.xAt(0, t.lineStart(0) + 3), 48);  // "12" then a tab
    EXPECT_EQ(t.lineWidth(0), 56);                // ... and one more character
    EXPECT_EQ(t.xAt(1, t.lineStart(1) + 7), 96);  // text ending on a stop goes on to the next
    EXPECT_EQ(t.lineWidth(2), 96);                // two empty fields
    EXPECT_EQ(t.lineWidth(3), 96);                // a field wider than one stop
    EXPECT_EQ(t.widestLine(), 104);
}

TEST(ConsoleTextLayout, OffsetAtPicksTheNearestBoundary) {
    const ConsoleText t = Make("ab\tc\r\nxyz");
    const std::size_t s = t.lineStart(0);
    EXPECT_EQ(t.offsetAt(0, -20), s);
    EXPECT_EQ(t.offsetAt(0, 3), s);      // left half of 'a'
    EXPECT_EQ(t.offsetAt(0, 5), s + 1);  // right half of 'a'
    EXPECT_EQ(t.offsetAt(0, 20), s + 2);
    EXPECT_EQ(t.offsetAt(0, 40), s + 3);  // right half of the tab's stretch
    EXPECT_EQ(t.offsetAt(0, 1000), t.lineEnd(0));
    EXPECT_EQ(t.offsetAt(1, 1000), t.size());
    for (std::size_t off = t.lineStart(1); off <= t.size(); ++off) {
        EXPECT_EQ(t.offsetAt(1, t.xAt(1, off)), off);
    }
}

TEST(ConsoleTextLayout, WidestLineKeptByAppendsMatchesAFullMeasure) {
    std::mt19937 rng(3);
    std::string all;
    for (int line = 0; line < 400; ++line) {
        const int fields = std::uniform_int_distribution(0, 20)(rng);
        for (int f = 0; f < fields; ++f) {
            all += std::string(std::uniform_int_distribution(0, 9)(rng), 'x') + "\t";
        }
        all += "\r\n";
    }
    ConsoleText t;
    t.setMetrics(Cells());
    for (std::size_t pos = 0; pos < all.size();) {
        const std::size_t n = std::uniform_int_distribution<std::size_t>(1, 17)(rng);
        t.append(std::string_view(all).substr(pos, n));
        pos += n;
    }
    std::int64_t widest = 0;
    for (std::size_t i = 0; i < t.lineCount(); ++i) widest = std::max(widest, t.lineWidth(i));
    EXPECT_GT(widest, 0);
    EXPECT_EQ(t.widestLine(), widest);
    EXPECT_EQ(t.text(), all);

    // Other metrics measure everything anew.
    t.setMetrics(ConsoleMetrics::uniform(10, 60));
    widest = 0;
    for (std::size_t i = 0; i < t.lineCount(); ++i) widest = std::max(widest, t.lineWidth(i));
    EXPECT_EQ(t.widestLine(), widest);
}

TEST(ConsoleTextLayout, AnUnfinishedLastLineCountsTowardsTheWidest) {
    ConsoleText t = Make("ab\r\n");
    t.append("abcdef");
    EXPECT_EQ(t.widestLine(), 48);
    t.append("\r\n");
    EXPECT_EQ(t.widestLine(), 48);
}

TEST(PodBufferGrowth, KeepsEveryByteWhileGrowingPastTheMappedSize) {
    PodBuffer<char> buffer;
    std::string expected;
    std::mt19937 rng(5);
    while (expected.size() < (std::size_t{3} << 20)) {
        std::string chunk(std::uniform_int_distribution(1, 70000)(rng), '\0');
        for (char& c : chunk) c = static_cast<char>(rng());
        buffer.append(chunk.data(), chunk.size());
        expected += chunk;
    }
    ASSERT_EQ(buffer.size(), expected.size());
    EXPECT_EQ(std::string_view(buffer.data(), buffer.size()), expected);

    PodBuffer<char> moved(std::move(buffer));
    EXPECT_EQ(std::string_view(moved.data(), moved.size()), expected);
    moved.release();
    EXPECT_TRUE(moved.empty());
    moved.push_back('q');
    EXPECT_EQ(moved[0], 'q');
}

}  // namespace
}  // namespace kestrin
