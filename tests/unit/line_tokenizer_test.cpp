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
        if (failuresLeft > 0) {
            --failuresLeft;
            if (invalidArgument) throw std::invalid_argument("bad text");
            throw std::runtime_error("console gone");
        }
        text.append(t);
    }
    std::string text;
    int failuresLeft = 0;
    bool invalidArgument = true;
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

struct ConsoleCase {
    std::string_view input;
    std::string_view expected;
};

// Each input is followed by one more character so its end is acted on.
TEST(TokenizerConsoleTest, CharacterClassesSignRuleLineEndsAndDecoderColumns) {
    const ConsoleCase cases[] = {
        {"+,-./09AZ \ta=b*c_d:e\x80\xff\x01Q ", "+,-./09AZ\tQ\t"},
        // 0x8A and 0xA0 must not be taken for a line feed or a space.
        {"A\x8a"
         "B\xa0"
         "C ",
         "ABC\t"},
        {"12-3+4 ", "12\t-3\t+4\t"},
        {"A-3 1.-2 -5 ", "A-3\t1.-2\t-5\t"},
        {"A   B ", "A\tB\t"},
        {"  A ", "\tA\t"},
        {kExample, kExampleConsole},
        {"A B \r\n", "A\tB\t\t\t\t\t\t\r\n"},
        {"\r\n", "\t\t\t\t\t\r\n"},
        {"RPM MAP ZON\r\n", "RPM\tMAP\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n"},
        {"RPM MAP ZON \r\n", "RPM\tMAP\tZON\t\t\t\t\t\t\r\n"},
        {"3000 10 201 80 30 130 10 20 255\r\n",
         "3000\t10\t201\t80\t30\t130\t10\t20\t255\t1575\t42\t15\t14.5\t\r\n"},
        {"0 0 101 0 0 130 0 0 Z5\r\n", "0\t0\t101\t0\t0\t130\t0\t0\tZ5\t\t\t15\t0\t\r\n"},
        {"0 0 101 0 0 0 0 0 -1\r\n", "0\t0\t101\t0\t0\t0\t0\t0\t-1\t-105\t\t10\t0\t\r\n"},
        // Nine fields are decoded, ten are not.
        {"1 2 3 4 5 6 7 8 35\r\n", "1\t2\t3\t4\t5\t6\t7\t8\t35\t215\t\t10.23\t-14.21\t\r\n"},
        {"1 2 3 4 5 6 7 8 35 10\r\n", "1\t2\t3\t4\t5\t6\t7\t8\t35\t10\t\r\n"},
    };
    for (const ConsoleCase& c : cases) {
        Intake<MemoryConsole> in;
        in.settings.slot(1575) = "42";
        in.settings.slot(0) = "first";  // must not be taken for a failed zone
        in.feedLines(c.input);
        EXPECT_EQ(in.console.text(), c.expected) << c.input;
        if (!c.input.ends_with('\n')) continue;
        EXPECT_EQ(in.tokenizer.fieldIndex(), 0);
        for (const std::string& slot : in.tokenizer.fields()) EXPECT_EQ(slot, "");
    }
}

TEST_F(TokenizerTest, TextIsHeldUntilTheNextEventAndAnEmptyEventDropsIt) {
    feed("A");
    EXPECT_EQ(tokenizer.heldText(), "A");
    EXPECT_EQ(tokenizer.fields()[0], "");
    feed(" ");
    EXPECT_EQ(tokenizer.fields()[0], "A");
    feed("7\r\n");
    EXPECT_EQ(shown(), "A\t");  // the line end waits for the next text
    tokenizer.MSComm1_OnComm("");
    EXPECT_EQ(tokenizer.heldText(), "");
    feed("B");
    EXPECT_EQ(shown(), "A\t");  // the line end was dropped: no line is ended
    EXPECT_EQ(tokenizer.fields()[1], "7");
}

TEST_F(TokenizerTest, FieldIsCutAtItsLimit) {
    const std::size_t limit = LineTokenizer::kMaxFieldBytes;
    feed(std::string(limit + 1000, 'A'));
    EXPECT_EQ(tokenizer.fields()[0].size(), limit);
    feed(" B ");
    feed("C");
    EXPECT_EQ(shown(), std::string(limit, 'A') + "\tB\t");

    // A piece of several characters is classified by its first one.
    Intake<MemoryConsole> in;
    in.tokenizer.MSComm1_OnComm("A");
    in.tokenizer.MSComm1_OnComm(std::string(limit * 2, 'B'));
    in.tokenizer.MSComm1_OnComm(" \tx");
    in.tokenizer.MSComm1_OnComm("q");
    EXPECT_EQ(in.console.text(), "A" + std::string(limit - 1, 'B') + "\t");
}

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

TEST_F(TokenizerLogTest, WorkedExampleInTabAndCommaMode) {
    feedLines(kExample);
    options.SeparatorMode = Separator::Comma;
    console.clear();
    feedLines(kExample.substr(1));  // the held X takes the place of the A
    EXPECT_EQ(shown(), "X" + std::string(kExampleConsole.substr(1)));
    EXPECT_EQ(logged(), "A\t12\t-3\tB,5\t\t\t\t-15.08\t\r\nX,12,-3,B,5,\t\t\t-15.08,\r\n");
}

TEST_F(TokenizerLogTest, FieldsPastTheLastSlotAreDropped) {
    std::string expected;
    for (int i = 1; i <= 60; ++i) feed(std::to_string(i) + " ");
    for (int i = 1; i <= 51; ++i) expected += std::to_string(i) + "\t";
    EXPECT_EQ(tokenizer.fieldIndex(), 51);
    feed("61 62-63\r\n");
    tokenizer.PlaceField("64");  // the decoder's way in finds no slot either
    EXPECT_EQ(tokenizer.fieldIndex(), 51);
    for (const std::string& slot : tokenizer.fields()) EXPECT_LE(slot.size(), 2u);
    tokenizer.MarkerPending = true;
    feedLines("1 2\r\n");

    expected += "\r\n\r\n";
    // Slot 2 holds the zone column by the time the boost reads it.
    expected += "1\t2\t\t\t\t\t\r\n";
    EXPECT_EQ(shown(), expected);
    EXPECT_EQ(logged(), expected);
}

TEST_F(TokenizerLogTest, MarkerAddsOneEmptyLineEvenWhenSetTwice) {
    tokenizer.MarkerPending = true;
    tokenizer.MarkerPending = true;
    feedLines("\r\n");
    log.setLoggingActive(false);
    tokenizer.MarkerPending = true;
    feedLines("\r\n");
    EXPECT_FALSE(tokenizer.MarkerPending);
    feedLines("\n");  // no marker: no empty line
    EXPECT_EQ(shown(), "\t\t\t\t\t\r\n\r\nX\t\t\t\t\t\r\n\r\nX\t\t\t\t\t\r\n");
    EXPECT_EQ(logged(), "\t\t\t\t\t\r\n\r\n");
}

TEST_F(TokenizerLogTest, ClosedLogStreamLeavesTheIntakeGoing) {
    feedLines("1 2\r\n");
    ASSERT_TRUE(stream->Close().ok());
    console.clear();
    feedLines("3 4\r\n5 6\r\n");
    EXPECT_EQ(shown(), "X3\t4\t\t\t\t\t\r\n5\t6\t\t\t\t\t\r\n");
    ASSERT_TRUE(log.failure().has_value());
    EXPECT_EQ(log.failure()->systemError, EBADF);
    EXPECT_EQ(test::ReadWholeFile(dir.file("Log1.txt")), "1\t2\t\t\t\t\t\r\n");
    EXPECT_TRUE(prompt.shown.empty());
}

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

    console.invalidArgument = false;  // other failures are silent
    feed(" ");
    console.failuresLeft = 1;
    feed("E");
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(tokenizer.heldText(), " ");
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

}  // namespace
}  // namespace kestrin
