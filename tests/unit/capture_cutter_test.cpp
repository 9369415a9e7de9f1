#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "settings/capture_cutter.h"

namespace kestrin {
namespace {

// Keeps what the cutter shows and writes.
class RecordingOutput : public CaptureOutput {
  public:
    void CaptureAppendConsole(std::string_view text) override { console.append(text); }
    void CaptureWriteField(std::string_view field) override { file.append(field); }
    void CaptureWriteComma() override { file.append(","); }

    std::string console;
    std::string file;
};

class CaptureCutterTest : public ::testing::Test {
  protected:
    // One receive event per character.
    void Feed(std::string_view chars) {
        for (char c : chars) cutter.Receive(std::string_view(&c, 1));
    }

    RecordingOutput out;
    CaptureCutter cutter{out};
};

TEST_F(CaptureCutterTest, SignAfterDigitStartsANewValue) {
    Feed("12-5 X");
    EXPECT_EQ(out.file, "12,-5,");
    EXPECT_EQ(out.console, "12\t-5\t");

    Feed("7+8 A-1 X");
    EXPECT_EQ(out.file, "12,-5,X7,+8,A-1,");
}

TEST_F(CaptureCutterTest, OnlyTheFirstSpaceOfARunClosesAValue) {
    Feed("1   2     3 X");
    EXPECT_EQ(out.file, "1,2,3,");
    EXPECT_EQ(cutter.fieldIndex(), 3);
}

TEST_F(CaptureCutterTest, CarriageReturnDoesNothingAndHidesTheLineFeed) {
    // The last value of a CR LF line runs into the first of the next one.
    Feed("12\r\n34 X");
    EXPECT_EQ(out.file, "1234,");
    EXPECT_EQ(out.console.find('\r'), std::string::npos);
}

TEST_F(CaptureCutterTest, LineFeedEndsTheLineAndRestartsTheBuffer) {
    Feed("5 12\n");
    EXPECT_EQ(cutter.fieldIndex(), 1);
    Feed("3");
    EXPECT_EQ(out.file, "5,12,");
    EXPECT_EQ(out.console, "5\t12\r\n");
    EXPECT_EQ(cutter.fieldIndex(), 0);
    EXPECT_EQ(cutter.fields()[0], "");
    EXPECT_EQ(cutter.fields()[1], "");
}

TEST_F(CaptureCutterTest, LineFeedAfterSpaceOrLineFeedEndsNothing) {
    Feed("12 \n\n3 X");
    EXPECT_EQ(out.file, "12,3,");
    EXPECT_EQ(out.console, "12\t3\t");
}

TEST_F(CaptureCutterTest, StartTextMakesALeadingSpaceCloseAnEmptyValue) {
    Feed(" 1 X");
    EXPECT_EQ(out.file, ",1,");
}

TEST_F(CaptureCutterTest, UnstoredCharactersStillCountAsVisibleBeforeASpace) {
    // Lower case and other punctuation are dropped, yet a space after them
    // closes the (possibly empty) value.
    Feed("ab 1a* X");
    EXPECT_EQ(out.file, ",1,");
}

TEST_F(CaptureCutterTest, CommaIsStoredInsideAValue) {
    Feed("1,2 X");
    EXPECT_EQ(out.file, "1,2,");
    EXPECT_EQ(cutter.fields()[0], "1,2");
}

TEST_F(CaptureCutterTest, EventWithoutTextDropsTheHeldCharacter) {
    Feed("12");
    cutter.Receive("");
    EXPECT_EQ(cutter.held(), "");
    EXPECT_EQ(cutter.earlier(), "2");
    Feed("3 X");
    EXPECT_EQ(out.file, "13,");
}

TEST_F(CaptureCutterTest, EmptyLookBehindCountsAsVisible) {
    // The space that would close 12 is lost to the empty event; the next space
    // has an empty look-behind and closes the value instead of merging 12 and 3.
    Feed("12 ");
    cutter.Receive("");
    Feed(" 3 X");
    EXPECT_EQ(out.file, "12,3,");

    // The same for a line feed.
    Feed("\n45\n");
    cutter.Receive("");
    Feed("\n6 X");
    EXPECT_EQ(out.file, "12,3,X,45,6,");
    EXPECT_EQ(out.console, "12\t3\tX\r\n45\r\n6\t");
}

TEST_F(CaptureCutterTest, ValuesPastTheLastSlotAreStillWritten) {
    std::string expected;
    for (int i = 0; i < 600; ++i) {
        const std::string v = std::to_string(i);
        Feed(v + " ");
        expected += v + ",";
    }
    Feed("XY");
    EXPECT_EQ(out.file, expected);
    EXPECT_EQ(cutter.fieldIndex(), CaptureCutter::kLastSlot);
    EXPECT_EQ(cutter.fields()[499], "499");
    // The last slot collects the value being received.
    EXPECT_EQ(cutter.fields()[500], "X");

    Feed("\n7 X");
    EXPECT_EQ(out.file, expected + "XY,7,");
    EXPECT_EQ(cutter.fieldIndex(), 1);
}

TEST_F(CaptureCutterTest, OverlongValueKeepsItsBeginning) {
    const std::size_t length = CaptureCutter::kMaxValueBytes + 1000;
    Feed(std::string(length, 'A'));
    Feed(" X");
    EXPECT_EQ(out.file, std::string(CaptureCutter::kMaxValueBytes, 'A') + ",");
}

TEST_F(CaptureCutterTest, ResetRestoresTheStartState) {
    Feed("12 34");
    cutter.Reset();
    EXPECT_EQ(cutter.held(), "!");
    EXPECT_EQ(cutter.earlier(), "!");
    EXPECT_EQ(cutter.fieldIndex(), 0);
    EXPECT_EQ(cutter.fields()[0], "");
    EXPECT_EQ(cutter.fields()[1], "");
    Feed(" 9 X");
    EXPECT_EQ(out.file, "12,,9,");
}

}  // namespace
}  // namespace kestrin
