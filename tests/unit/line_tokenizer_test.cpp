// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/line_tokenizer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "display/console_text.h"
#include "intake/record_decoder.h"
#include "support/fake_port.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

namespace kestrin {
namespace {

constexpr std::string_view kExample = "A 12-3 B,5\r\n";
constexpr std::string_view kExampleShown = "A\t12\t-3\tB,5\t\t\t\t-15.08\t\r\n";

// Keeps what it shows; fails its next appends while failuresLeft > 0.
struct Console : ConsoleSink {
    void AppendConsole(std::string_view t) override {
        if (failuresLeft > 0 && failuresLeft--) {
            if (invalidArgument) throw std::invalid_argument("bad text");
            throw std::runtime_error("console gone");
        }
        text.append(t);
    }
    std::string text;
    int failuresLeft = 0;
    bool invalidArgument = true;
};

struct Intake {
    Intake() {
        EXPECT_TRUE(files.CreateTextFile("Log1.txt", stream).ok());
        log.setStream(stream.get());
        log.setLoggingActive(true);
    }
    void feed(std::string_view text) {
        test::FeedEach(text, [this](std::string_view c) { tokenizer.MSComm1_OnComm(c); });
    }
    const std::string& logged() { return files.files["Log1.txt"]; }

    Console console;
    OptionState options;
    test::MemoryFileSystem files;
    std::unique_ptr<TextStream> stream;
    LogWriter log{options};
    SettingsTable settings;
    test::ScriptedPrompt prompt;
    LineTokenizer tokenizer{console, log, settings, prompt};
};

struct TokenizerTest : ::testing::Test, Intake {};

TEST(Tokenizer, CharacterClassesSignRuleAndLineEnds) {
    const std::pair<std::string, std::string> cases[] = {
        // Only the last space of a run closes; a sign after a digit starts a field; 0x8A and
        // 0xA0 are neither a line feed nor a space.
        {"  +,-./09AZ \ta=b*c_d:e\x80\xff\x01Q A\x8a"
         "B\xa0"
         "C 12-3+4 A-3 1.-2 -5 A   B ",
         "\t+,-./09AZ\tQ\tABC\t12\t-3\t+4\tA-3\t1.-2\t-5\tA\tB\t"},
        {std::string(kExample) + "RPM MAP ZON\r\n",
         std::string(kExampleShown) + "RPM\tMAP\tZON\tZONE\tSTNG\tAFR\tPSI\t\r\n"}};
    for (const auto& [input, expected] : cases) {
        Intake in;
        in.feed(input + "X");  // lets the last line end be acted on
        EXPECT_EQ(in.console.text, expected);
        EXPECT_EQ(in.logged(), expected);
        EXPECT_EQ(in.tokenizer.fieldIndex(), input.ends_with('\n') ? 0 : 12);
        for (const std::string& slot : in.tokenizer.fields())
            EXPECT_TRUE(slot.empty() || !input.ends_with('\n'));
    }
}

// Streams no unit sends: the field store stays within its slots and limits,
// and the next proper line comes out exact.
TEST(Tokenizer, HostileStreamsStayBoundedAndTheNextLineIsExact) {
    std::string binary;
    for (int i = 0; i < 200000; ++i) binary += char((i * 131 + i / 256) % 256);
    for (const std::string& bytes :
         {std::string(1 << 20, '7'), binary, std::string(100000, '\r')}) {
        Intake in;
        std::size_t largest = 0;
        test::FeedEach(bytes + "\n", [&](std::string_view c) {
            in.tokenizer.MSComm1_OnComm(c);
            for (const std::string& f : in.tokenizer.fields())
                largest = std::max(largest, f.size());
            ASSERT_LE(in.tokenizer.fieldIndex(), LineTokenizer::kSlots);
        });
        EXPECT_LE(largest, LineTokenizer::kMaxFieldBytes);
        in.feed(std::string(kExample) + "X");
        EXPECT_TRUE(in.console.text.ends_with("\r\n" + std::string(kExampleShown)));
        EXPECT_TRUE(in.prompt.shown.empty());
    }
}

TEST_F(TokenizerTest, TextIsHeldUntilTheNextEventAndAnEmptyEventDropsIt) {
    feed("A 7\r\n");
    EXPECT_EQ(tokenizer.heldText(), "\n");
    EXPECT_EQ(console.text, "A\t");  // the line end waits for the next text
    feed("\004B");
    EXPECT_EQ(console.text, "A\t");  // the line end was dropped: no line is ended
    EXPECT_EQ(tokenizer.fields()[1], "7");

    // A long field keeps its beginning; a piece of several bytes is classified by its first.
    const std::size_t limit = LineTokenizer::kMaxFieldBytes;
    Intake in;
    in.feed(std::string(limit + 1000, 'C') + " ");
    for (const std::string& piece :
         {std::string(limit, 'D'), std::string(" \tx"), std::string("q")})
        in.tokenizer.MSComm1_OnComm(piece);
    EXPECT_TRUE(in.console.text == std::string(limit, 'C') + "\t" + std::string(limit, 'D') + "\t");
}

TEST_F(TokenizerTest, FieldsPastTheLastSlotAreDroppedAndOneMarkerLineFollows) {
    std::string expected;
    for (int i = 1; i <= 60; ++i) feed(std::to_string(i) + " ");
    for (int i = 1; i <= 51; ++i) expected += std::to_string(i) + "\t";
    feed("61 62-63\r\n");
    EXPECT_EQ(tokenizer.fieldIndex(), 51);
    tokenizer.MarkerPending = true;
    feed("1 2\r\nX");
    EXPECT_FALSE(tokenizer.MarkerPending);
    EXPECT_EQ(tokenizer.fields()[50], "");  // the last slot is emptied with the others
    log.setLoggingActive(false);
    tokenizer.MarkerPending = true;  // shown, not logged
    feed("\nX");
    expected += "\r\n\r\n1\t2\t\t\t\t\t\r\n";
    EXPECT_EQ(logged(), expected);
    EXPECT_EQ(console.text, expected + "X\t\t\t\t\t\r\n\r\n");
}

TEST_F(TokenizerTest, ConsoleFailureKeepsTheHeldTextAndOnlyAnInvalidArgumentIsTold) {
    feed("A ");
    console.failuresLeft = 1;
    feed("B");  // closing A fails; B is lost
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "Invalid Procedure Call");
    EXPECT_EQ(prompt.shown[0].title, "Kestrin");
    EXPECT_EQ(tokenizer.heldText(), " ");
    feed("C D");
    EXPECT_EQ(console.text, "A\tC\t");

    console.invalidArgument = false;  // other failures are silent
    feed(" 1");
    console.failuresLeft = 1;
    feed("-");  // the 1 is appended, then closing it fails: not stored twice
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(tokenizer.heldText(), "1");
    feed("-2 Z");
    EXPECT_EQ(console.text, "A\tC\tD\t1\t-2\t");
}

// Writes down what the tokenizer tells, one text per event: the kind, the
// fields, and the decoder's numbers where it has them.
class RecordingSubscriber : public RecordSubscriber {
  public:
    void onRecord(const Record& record) override {
        std::string text = std::array{"header:", "data:", "long:"}[int(record.kind)];
        for (const std::string& field : record.fields) text += field + "|";
        for (const auto& number : {record.zone, record.airFuelHundredths, record.boostHundredths})
            if (number) text += " " + std::to_string(*number);
        if (record.complete()) text += " complete";
        events.push_back(text);
        if (fail) throw std::runtime_error("subscriber gone");
    }
    void onMarker() override { events.push_back("marker"); }

    std::vector<std::string> events;
    bool fail = false;
};

TEST(RecordSourceTest, EveryEndedLineAndMarkerIsToldToEachSubscriberEvenAfterOneFails) {
    // The stream, the events told and whether a marker was set before it.
    const std::tuple<std::string_view, std::vector<std::string>, bool> cases[] = {
        {"RPM MAP ZON\r\n", {"header:RPM|MAP|ZON|ZONE|STNG|AFR|PSI|"}, false},
        {"RPM MAP ZON \r\n", {"data:RPM|MAP|ZON||||||"}, false},
        {"3000 10 201 80 30 130 10 20 255\r\n",
         {"data:3000|10|201|80|30|130|10|20|255|1575|42|15|14.5| 1575 1500 1450 complete"},
         false},
        {kExample, {"data:A|12|-3|B,5||||-15.08| -1508"}, false},
        {"0 0 101 0 0 130 0 0 Z5\r\n", {"data:0|0|101|0|0|130|0|0|Z5|||15|0| 1500 0"}, false},
        {"\r\n\n", {"data:|||||", "data:|||||"}, false},
        {"1 2 3 4 5 6 7 8 35 10\r\n", {"long:1|2|3|4|5|6|7|8|35|10|"}, false},
        {"1 2 3", {}, false},  // no line end, nothing told
        {"1\r\n2\r\n", {"data:1|||||", "marker", "data:2|||||"}, true},  // once, after its line
    };
    RecordingSubscriber failing;  // told first: its failure changes nothing for the others
    failing.fail = true;
    for (const auto& [input, events, marker] : cases) {
        Intake in;
        in.settings.slot(1575) = "42";
        in.settings.slot(0) = "first";  // must not be taken for a failed zone
        RecordingSubscriber listener;
        RecordSubscription first(in.tokenizer, failing), subscription(in.tokenizer, listener);
        in.tokenizer.MarkerPending = marker;
        in.feed(std::string(input) + "X");
        EXPECT_EQ(listener.events, events) << input;
    }
}

TEST(RecordSourceTest, ASubscriptionEndsWithWhicheverGoesFirst) {
    RecordingSubscriber subscriber;
    {
        auto in = std::make_unique<Intake>();
        RecordSubscription outlives(in->tokenizer, subscriber);
        { RecordSubscription gone(in->tokenizer, subscriber); }
        in->feed("1\r\nX");
        EXPECT_EQ(subscriber.events.size(), 1u);
        in.reset();  // the source goes first: the subscription's end touches nothing
    }
    EXPECT_EQ(subscriber.events.size(), 1u);
}

TEST(ReadDecimalTest, AcceptsSignDigitsAndOnePointOnly) {
    EXPECT_EQ(ReadDecimal("+0.5"), 0.5);
    EXPECT_EQ(ReadDecimal("-.25"), -0.25);
    EXPECT_EQ(ReadDecimal("7."), 7.0);
    EXPECT_EQ(ReadDecimal("007"), 7.0);
    for (const char* text : {"", "-", ".", "-.", "1.2.3", "1,5", "1E3", "ZON", "12-3", "+-1", " 1",
                             "1 ", "&H10", "B,5"}) {
        EXPECT_FALSE(ReadDecimal(text).has_value()) << "'" << text << "'";
    }
    EXPECT_FALSE(ReadDecimal(std::string(400, '9')).has_value());
    EXPECT_EQ(ReadDecimal("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(ReadDecimal("12345678901234567890.5"), 12345678901234567890.5);
}

// The usual columns are in the tokenizer's table; here the edges.
TEST(ZoneNumberTest, FailsWithoutANumberOrBeyond32Bits) {
    for (const char* text : {"", "ZON", "2147483648", "2147483647.5", "-2147483649"})
        EXPECT_FALSE(ZoneNumber(text).has_value()) << text;
    EXPECT_TRUE(ZoneNumber("2147483647") && ZoneNumber("-2147483648"));
    EXPECT_EQ(ZoneNumber("-17"), -205);
    EXPECT_EQ(ZoneNumber("2.5"), 10);  // the zone byte is rounded half to even first
    EXPECT_EQ(ZoneNumber("3.5"), 20);
    EXPECT_FALSE(ZoneNumber("1" + std::string(300, '0')).has_value());
    const std::string nearMax = "1" + std::string(308, '0');
    EXPECT_FALSE(BoostPsi(nearMax).has_value());               // times 14.5 overflows
    EXPECT_EQ(HundredthsText(*AirFuelRatio("100")), "13.85");  // 13.846...
}

// The nearest hundredth of the double the formula gives: 236.21 gives
// 19.08500000000000085..., 186.81 gives 17.18500000000000227..., and 3.25 and
// 9.75 give the exact ties 10.125 and 10.375.
TEST(HundredthsTextTest, NearestHundredthOfTheDoubleAndExactTiesToEven) {
    const std::pair<const char*, const char*> ratios[] = {
        {"236.21", "19.09"}, {"186.81", "17.19"}, {"3.25", "10.12"}, {"9.75", "10.38"}};
    for (const auto& [sensor, text] : ratios)
        EXPECT_EQ(HundredthsText(*AirFuelRatio(sensor)), text) << sensor;
    const std::pair<double, const char*> cases[] = {
        {0, "0"},         {14.5, "14.5"},    {0.05, "0.05"},
        {-0.07, "-0.07"}, {99.996, "100"},   {1e20, "100000000000000000000"},
        {-0.0, "0"},      {-0.004, "0"},     {-1e-300, "0"},
        {2.125, "2.12"},  {2.375, "2.38"},   {-0.125, "-0.12"},     // exact ties
        {2.675, "2.67"},  {1.005, "1"},      {9.995, "9.99"},       // held just below
        {0.135, "0.14"},  {-2.665, "-2.67"}, {0.12500001, "0.13"},  // held just above
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(HundredthsText(value), text) << value;
    EXPECT_EQ(HundredthsText(1e308)->size(), 309u);
    EXPECT_FALSE(HundredthsText(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(HundredthsText(std::nan("")).has_value());
}

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
