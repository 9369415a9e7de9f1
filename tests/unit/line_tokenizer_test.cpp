#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string>

#include "intake/line_tokenizer.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

namespace kestrin {
namespace {

// The worked example: A, space, 1, 2, minus, 3, space, B, comma, 5, CR, LF.
constexpr std::string_view kExample = "A 12-3 B,5\r\n";
constexpr std::string_view kExampleConsole = "A\t12\t-3\tB,5\t\t\t\t-15.08\t\r\n";

// A console that can be told to fail some of its next appends.
class FailingConsole : public ConsoleSink {
  public:
    void AppendConsole(std::string_view t) override {
        if (okBeforeFailing > 0) {
            --okBeforeFailing;
        } else if (failuresLeft > 0) {
            --failuresLeft;
            if (invalidArgument) throw std::invalid_argument("bad text");
            throw std::runtime_error("console gone");
        }
        text.append(t);
    }
    std::string text;
    int okBeforeFailing = 0;
    int failuresLeft = 0;
    bool invalidArgument = true;
};

// A log stream whose every write fails.
class BrokenStream : public TextStream {
  public:
    Status write(std::string_view) override { return fail(); }
    Status writeline() override { return fail(); }
    Status flush() override { return fail(); }
    Status readline(std::string&, std::size_t) override { return fail(); }
    Status sync() override { return fail(); }
    Status Close() override { return fail(); }
    int attempts = 0;

  private:
    Status fail() {
        ++attempts;
        return Status::FromErrno(ENOSPC);
    }
};

template <typename Console>
class Intake {
  public:
    Intake() : tokenizer(console, log, settings, prompt) {}

    // One receive event per character, as the port delivers them.
    void feed(std::string_view text) {
        for (char c : text) tokenizer.MSComm1_OnComm(std::string_view(&c, 1));
    }
    // Feeds `text` and one more character so its last line end is acted on.
    void feedLines(std::string_view text) {
        feed(text);
        feed("X");
    }

    Console console;
    OptionState options;
    LogWriter log{options};
    SettingsTable settings;
    test::ScriptedPrompt prompt;
    LineTokenizer tokenizer;
};

class TokenizerTest : public ::testing::Test, public Intake<MemoryConsole> {
  protected:
    const std::string& shown() { return console.text(); }
};

// ---- Character classes and the sign rule ------------------------------------

TEST_F(TokenizerTest, FieldAlphabetIsKeptAndEverythingElseDropped) {
    feedLines("+,-./09AZ\r\n");
    EXPECT_EQ(tokenizer.fields()[0], "");  // store already reset
    EXPECT_EQ(shown().substr(0, 11), "+,-./09AZ\t\t");

    console.clear();
    feed(
        "\ta=b*c_d:e\x80\xff\x01"
        "Q\r\n");
    feed("Y");
    // Only the capital Q survives; carriage return and tab never show.
    EXPECT_EQ(shown().substr(0, 3), "XQ\t");
}

TEST_F(TokenizerTest, HighBytesAreIgnoredNotMistakenForControlCodes) {
    // 0x8A would be a line feed and 0xA0 a space if the byte were signed
    // and truncated; neither may end anything.
    feed(
        "A\x8a"
        "B\xa0"
        "C ");
    feed("D");
    EXPECT_EQ(shown(), "ABC\t");
}

TEST_F(TokenizerTest, SignAfterADigitStartsANewField) {
    feed("12-3+4 ");
    feed("Z");
    EXPECT_EQ(shown(), "12\t-3\t+4\t");
}

TEST_F(TokenizerTest, SignAfterALetterOrPointStaysInTheField) {
    feed("A-3 1.-2 -5 ");
    feed("Z");
    EXPECT_EQ(shown(), "A-3\t1.-2\t-5\t");
}

TEST_F(TokenizerTest, OnlyTheLastSpaceOfARunClosesAField) {
    feed("A   B ");
    feed("C");
    EXPECT_EQ(shown(), "A\tB\t");
    EXPECT_EQ(tokenizer.fieldIndex(), 2);
}

TEST_F(TokenizerTest, LeadingSpaceGivesAnEmptyFirstField) {
    feed("  A ");
    feed("B");
    EXPECT_EQ(shown(), "\tA\t");
}

TEST_F(TokenizerTest, LongerPieceIsClassifiedByItsFirstCharacter) {
    tokenizer.MSComm1_OnComm("A\tx");
    tokenizer.MSComm1_OnComm(" ");
    tokenizer.MSComm1_OnComm("q");  // the space closes the field
    EXPECT_EQ(shown(), "A\tx\t");
}

// ---- Look-ahead and empty events --------------------------------------------

TEST_F(TokenizerTest, FirstCharacterIsOnlyHeld) {
    feed("A");
    EXPECT_EQ(tokenizer.heldText(), "A");
    EXPECT_EQ(tokenizer.fields()[0], "");
    feed(" ");
    EXPECT_EQ(tokenizer.fields()[0], "A");
    EXPECT_EQ(shown(), "");
}

TEST_F(TokenizerTest, LineEndWaitsForTheNextText) {
    feed("7\r\n");
    EXPECT_EQ(shown(), "");
    feed("8");
    EXPECT_EQ(shown().substr(0, 2), "7\t");
    EXPECT_EQ(shown().substr(shown().size() - 2), "\r\n");
}

TEST_F(TokenizerTest, EmptyEventDropsTheHeldText) {
    feed("A");
    tokenizer.MSComm1_OnComm("");
    EXPECT_EQ(tokenizer.heldText(), "");
    feed("B ");
    feed("C");
    EXPECT_EQ(shown(), "B\t");
}

// ---- Line ends and markers --------------------------------------------------

TEST_F(TokenizerTest, WorkedExampleOnTheConsole) {
    feedLines(kExample);
    EXPECT_EQ(shown(), kExampleConsole);
    EXPECT_EQ(tokenizer.fieldIndex(), 0);
    for (const std::string& slot : tokenizer.fields()) EXPECT_EQ(slot, "");
}

TEST_F(TokenizerTest, SpaceBeforeTheLineEndAddsAnEmptyLastField) {
    feedLines("A B \r\n");
    EXPECT_EQ(shown(), "A\tB\t\t\t\t\t\t\r\n");  // A, B, empty, four empty columns
}

TEST_F(TokenizerTest, EmptyLineIsOneEmptyFieldAndFourEmptyColumns) {
    feedLines("\r\n");
    EXPECT_EQ(shown(), "\t\t\t\t\t\r\n");
}

TEST_F(TokenizerTest, MarkerAddsOneEmptyLineEvenWhenSetTwice) {
    feed("A");
    tokenizer.MarkerPending = true;
    tokenizer.MarkerPending = true;
    feedLines("\n");
    EXPECT_EQ(shown(), "A\t\t\t\t\t\r\n\r\n");
    EXPECT_FALSE(tokenizer.MarkerPending);
    console.clear();
    feedLines("\n");
    EXPECT_EQ(shown(), "X\t\t\t\t\t\r\n");
}

TEST_F(TokenizerTest, ResetFieldsKeepsHeldTextAndMarker) {
    feed("AB CD");
    tokenizer.MarkerPending = true;
    tokenizer.ResetFields();
    EXPECT_EQ(tokenizer.fieldIndex(), 0);
    EXPECT_EQ(tokenizer.fields()[0], "");
    EXPECT_EQ(tokenizer.fields()[1], "");
    EXPECT_EQ(tokenizer.heldText(), "D");
    EXPECT_TRUE(tokenizer.MarkerPending);
}

// ---- Decoder columns through the tokenizer ----------------------------------

TEST_F(TokenizerTest, HeaderLineGetsTheColumnTitles) {
    feedLines("RPM MAP ZON\r\n");
    EXPECT_EQ(shown(), "RPM\tMAP\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n");
}

TEST_F(TokenizerTest, HeaderEndingInASpaceIsADataLine) {
    feedLines("RPM MAP ZON \r\n");
    EXPECT_EQ(shown(), "RPM\tMAP\tZON\t\t\t\t\t\t\r\n");
}

TEST_F(TokenizerTest, DataLineGetsZoneSettingAirFuelAndBoost) {
    settings.slot(1575) = "42";
    feedLines("3000 10 201 80 30 130 10 20 255\r\n");
    EXPECT_EQ(shown(), "3000\t10\t201\t80\t30\t130\t10\t20\t255\t1575\t42\t15\t14.5\t\r\n");
}

TEST_F(TokenizerTest, NonNumericZoneStillFillsAirFuelAndBoost) {
    settings.slot(215) = "9";
    feedLines("0 0 101 0 0 130 0 0 Z5\r\n");
    EXPECT_EQ(shown(), "0\t0\t101\t0\t0\t130\t0\t0\tZ5\t\t\t15\t0\t\r\n");
}

TEST_F(TokenizerTest, NegativeZoneHasNoSetting) {
    settings.slot(0) = "first";
    feedLines("0 0 101 0 0 0 0 0 -1\r\n");
    EXPECT_EQ(shown(), "0\t0\t101\t0\t0\t0\t0\t0\t-1\t-105\t\t10\t0\t\r\n");
}

TEST_F(TokenizerTest, NineFieldsAreDecodedTenAreNot) {
    feedLines("1 2 3 4 5 6 7 8 35\r\n");
    EXPECT_EQ(shown(), "1\t2\t3\t4\t5\t6\t7\t8\t35\t215\t\t10.23\t-14.21\t\r\n");
    console.clear();
    feedLines("1 2 3 4 5 6 7 8 35 10\r\n");
    EXPECT_EQ(shown(), "X1\t2\t3\t4\t5\t6\t7\t8\t35\t10\t\r\n");
}

// ---- Lines with more fields than slots --------------------------------------

std::string Numbers(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) text += std::to_string(i) + " ";
    return text;
}

TEST_F(TokenizerTest, FieldsPastTheLastSlotAreDropped) {
    log.setLoggingActive(true);
    test::TempDir dir;
    PosixFileSystem files;
    std::unique_ptr<TextStream> stream;
    ASSERT_TRUE(files.CreateTextFile(dir.file("Log1.txt"), stream).ok());
    log.setStream(stream.get());

    feed(Numbers(1, 60));
    EXPECT_EQ(tokenizer.fieldIndex(), 51);
    feed("61 62-63\r\n");
    EXPECT_EQ(tokenizer.fieldIndex(), 51);
    for (const std::string& slot : tokenizer.fields()) EXPECT_LE(slot.size(), 2u);
    tokenizer.MarkerPending = true;
    feedLines("1 2\r\n");

    std::string expected;
    for (int i = 1; i <= 51; ++i) expected += std::to_string(i) + "\t";
    expected += "\r\n\r\n";
    // Slot 2 holds the zone column by the time the boost reads it.
    const std::string next = "1\t2\t\t\t\t\t\r\n";
    EXPECT_EQ(shown(), expected + next);
    ASSERT_TRUE(stream->Close().ok());
    EXPECT_EQ(test::ReadWholeFile(dir.file("Log1.txt")), expected + next);
}

TEST_F(TokenizerTest, ClosingPastTheLastSlotDoesNothing) {
    feed(Numbers(1, 51));
    feed("A");
    ASSERT_EQ(tokenizer.fieldIndex(), 51);
    const std::string before = shown();
    tokenizer.CloseField();
    tokenizer.PlaceField("extra");
    EXPECT_EQ(tokenizer.fieldIndex(), 51);
    EXPECT_EQ(shown(), before);
}

// ---- Field length cap -------------------------------------------------------

TEST_F(TokenizerTest, FieldIsCutAtItsLimit) {
    const std::size_t limit = LineTokenizer::kMaxFieldBytes;
    feed(std::string(limit + 1000, 'A'));
    EXPECT_EQ(tokenizer.fields()[0].size(), limit);
    feed(" B ");
    feed("C");
    EXPECT_EQ(shown(), std::string(limit, 'A') + "\tB\t");
}

TEST_F(TokenizerTest, LongPieceIsCutAtTheFieldLimit) {
    const std::size_t limit = LineTokenizer::kMaxFieldBytes;
    tokenizer.MSComm1_OnComm("A");
    tokenizer.MSComm1_OnComm(std::string(limit * 2, 'B'));
    tokenizer.MSComm1_OnComm("C");
    EXPECT_EQ(tokenizer.fields()[0], "A" + std::string(limit - 1, 'B'));
}

// ---- Log output over a real file --------------------------------------------

class TokenizerLogTest : public TokenizerTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(files.CreateTextFile(dir.file("Log1.txt"), stream).ok());
        log.setStream(stream.get());
        log.setLoggingActive(true);
    }
    std::string logged() {
        EXPECT_TRUE(stream->Close().ok());
        return test::ReadWholeFile(dir.file("Log1.txt"));
    }

    test::TempDir dir;
    PosixFileSystem files;
    std::unique_ptr<TextStream> stream;
};

TEST_F(TokenizerLogTest, WorkedExampleInTabMode) {
    feedLines(kExample);
    EXPECT_EQ(shown(), kExampleConsole);
    EXPECT_EQ(logged(), "A\t12\t-3\tB,5\t\t\t\t-15.08\t\r\n");
}

TEST_F(TokenizerLogTest, WorkedExampleInCommaMode) {
    options.SeparatorMode = "comma";
    feedLines(kExample);
    EXPECT_EQ(shown(), kExampleConsole);
    EXPECT_EQ(logged(), "A,12,-3,B,5,\t\t\t-15.08,\r\n");
}

TEST_F(TokenizerLogTest, MarkerWritesOneEmptyLogLine) {
    tokenizer.MarkerPending = true;
    feedLines("\r\n");
    EXPECT_EQ(logged(), "\t\t\t\t\t\r\n\r\n");
}

TEST_F(TokenizerLogTest, MarkerWhileNotLoggingIsConsumedWithoutWriting) {
    log.setLoggingActive(false);
    tokenizer.MarkerPending = true;
    feedLines("A\r\n");
    EXPECT_FALSE(tokenizer.MarkerPending);
    EXPECT_EQ(shown(), "A\t\t\t\t\t\r\n\r\n");
    EXPECT_EQ(logged(), "");
}

TEST_F(TokenizerLogTest, LoggingBegunMidLineWritesTheRestOfIt) {
    log.setLoggingActive(false);
    feed("A B C");
    log.setLoggingActive(true);
    feedLines(" D ZON\n");
    EXPECT_EQ(logged(), "C\tD\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n");
}

// ---- Log failures -----------------------------------------------------------

TEST_F(TokenizerLogTest, ClosedLogStreamLeavesTheIntakeGoing) {
    feedLines("1 2\r\n");
    ASSERT_TRUE(stream->Close().ok());
    console.clear();
    feedLines("3 4\r\n5 6\r\n");
    EXPECT_EQ(shown(), "X3\t4\t\t\t\t\t\r\n5\t6\t\t\t\t\t\r\n");
    ASSERT_TRUE(log.failure().has_value());
    EXPECT_EQ(log.failure()->code, EBADF);
    EXPECT_EQ(test::ReadWholeFile(dir.file("Log1.txt")), "1\t2\t\t\t\t\t\r\n");
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(TokenizerTest, FailingLogWritesNeitherRepeatNorStopAnything) {
    BrokenStream broken;
    log.setStream(&broken);
    log.setLoggingActive(true);
    feedLines(kExample);
    feedLines(kExample);
    EXPECT_EQ(shown(), std::string(kExampleConsole) + "X" + std::string(kExampleConsole));
    EXPECT_EQ(broken.attempts, 1);  // the first failure ends all writing to it
    EXPECT_TRUE(prompt.shown.empty());
}

// ---- Failures of the receive handling ---------------------------------------

class TokenizerFailureTest : public ::testing::Test, public Intake<FailingConsole> {};

TEST_F(TokenizerFailureTest, InvalidArgumentShowsTheMessageAndKeepsTheHeldText) {
    feed("A");
    console.failuresLeft = 1;
    feed(" ");  // A is stored, no console append yet
    feed("B");  // the space's close fails
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Invalid Procedure Call");
    EXPECT_EQ(prompt.shown[0].title, "Kestrin");
    EXPECT_EQ(prompt.shown[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(tokenizer.heldText(), " ");  // B was lost
    feed("C ");
    feed("D");
    EXPECT_EQ(console.text, "A\tC\t");
}

TEST_F(TokenizerFailureTest, OtherFailuresAreSilent) {
    console.invalidArgument = false;
    feed("A ");
    console.failuresLeft = 1;
    feed("B");
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(tokenizer.heldText(), " ");
    feed("C");
    EXPECT_EQ(console.text, "A\t");
}

TEST_F(TokenizerFailureTest, RetriedDigitIsNotStoredTwice) {
    feed("1");
    console.failuresLeft = 1;
    feed("-");  // the 1 is appended, then closing it fails
    EXPECT_EQ(tokenizer.fields()[0], "");
    EXPECT_EQ(tokenizer.heldText(), "1");
    feed("-2 ");
    feed("Z");
    EXPECT_EQ(console.text, "1\t-2\t");
}

TEST_F(TokenizerFailureTest, DecoderContainsItsOwnFailures) {
    feed("1 2 3 4 5 6 7 8 35\n");
    // The line's last field closes; closing the zone column fails, so the
    // settings column takes its slot. Air-fuel and boost follow as usual.
    console.okBeforeFailing = 1;
    console.failuresLeft = 1;
    feed("Q");
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(console.text, "1\t2\t3\t4\t5\t6\t7\t8\t35\t\t10.23\t-14.21\t\r\n");
    EXPECT_EQ(tokenizer.fieldIndex(), 0);
    EXPECT_EQ(tokenizer.heldText(), "Q");
}

}  // namespace
}  // namespace kestrin
