#include "settings/capture_cutter.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

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

TEST(CaptureCutter, CutsValuesAsTheUnitSendsThem) {
    struct Case {
        std::string_view wire, file, console;
    };
    const Case cases[] = {
        // A sign after a digit starts a new value; after a letter, point or slash it stays.
        {"12-5 7+8 A-1 2.-5/+1 X", "12,-5,7,+8,A-1,2.-5/+1,", "12\t-5\t7\t+8\tA-1\t2.-5/+1\t"},
        {"1   2     3 X", "1,2,3,", "1\t2\t3\t"},  // only the first space of a run
        // A CR does nothing and hides the LF: the value runs into the next line.
        {"12\r\n34 X", "1234,", "1234\t"},
        {"5 12\n3", "5,12,", "5\t12\r\n"},
        {"12 \n\n3 X", "12,3,", "12\t3\t"},  // an LF after a space or LF ends nothing
        // The start text "!" is visible, so a leading space closes an empty value.
        {" 1 X", ",1,", "\t1\t"},
        // Dropped characters still count as visible before a space.
        {"ab 1a* X", ",1,", "\t1\t"},
        {"1,2 X", "1,2,", "1,2\t"},  // a comma is stored inside the value
    };
    for (const Case& c : cases) {
        RecordingOutput out;
        CaptureCutter cutter(out);
        for (char ch : c.wire) cutter.Receive(std::string_view(&ch, 1));
        EXPECT_EQ(out.file, c.file) << c.wire;
        EXPECT_EQ(out.console, c.console) << c.wire;
    }
}

TEST_F(CaptureCutterTest, EventWithoutTextDropsTheHeldCharacter) {
    Feed("12");
    cutter.Receive("");
    EXPECT_EQ(cutter.held(), "");
    EXPECT_EQ(cutter.earlier(), "2");
    Feed("3 X");
    EXPECT_EQ(out.file, "13,");

    // The space that would close 4 is lost to the empty event; the next space
    // has an empty look-behind and closes the value instead of merging 4 and 5.
    Feed("4 ");
    cutter.Receive("");
    Feed(" 5 ");
    // The same for a line feed.
    Feed("\n6\n");
    cutter.Receive("");
    Feed("\n7 X");
    EXPECT_EQ(out.file, "13,X4,5,6,7,");
    EXPECT_EQ(out.console, "13\tX4\t5\t6\r\n7\t");
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
    EXPECT_EQ(cutter.fields()[500], "X");  // the last slot collects the value being received

    Feed("\n7 X");
    EXPECT_EQ(out.file, expected + "XY,7,");
    EXPECT_EQ(cutter.fieldIndex(), 1);
}

TEST_F(CaptureCutterTest, OverlongValueKeepsItsBeginning) {
    Feed(std::string(CaptureCutter::kMaxValueBytes + 1000, 'A'));
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
