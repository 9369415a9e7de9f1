#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "log/log_writer.h"

namespace kestrin {
namespace {

// A stream that records what it is given and fails from a chosen call on.
class RecordingStream : public TextStream {
  public:
    Status write(std::string_view text) override {
        if (Status s = next(); !s.ok()) return s;
        bytes.append(text);
        return Status::Ok();
    }
    Status writeline() override {
        if (Status s = next(); !s.ok()) return s;
        bytes.append("\r\n");
        return Status::Ok();
    }
    Status flush() override {
        if (Status s = next(); !s.ok()) return s;
        handedOver = bytes;
        return Status::Ok();
    }
    Status readline(std::string&, std::size_t) override { return Status::FromErrno(EBADF); }
    Status sync() override { return Status::Ok(); }
    Status Close() override { return Status::Ok(); }

    std::string bytes;
    std::string handedOver;  // bytes as of the last flush
    int calls = 0;
    int failFromCall = -1;  // 1-based; -1 never
    Status failure = Status::Failure(ENOSPC, "No space left on device");

  private:
    Status next() {
        ++calls;
        if (failFromCall > 0 && calls >= failFromCall) return failure;
        return Status::Ok();
    }
};

class LogWriterTest : public ::testing::Test {
  protected:
    LogWriterTest() {
        log.setStream(&stream);
        log.setLoggingActive(true);
    }
    void line(std::initializer_list<std::string_view> fields) {
        for (std::string_view f : fields) {
            log.WriteField(f);
            log.WriteSeparator(f);
        }
        log.EndLogLine();
    }

    OptionState options;
    RecordingStream stream;
    LogWriter log{options};
};

TEST_F(LogWriterTest, TabModeFollowsEveryFieldWithATab) {
    line({"A", "", "B"});
    EXPECT_EQ(stream.bytes, "A\t\tB\t\r\n");
}

TEST_F(LogWriterTest, CommaModeUsesATabAfterAnEmptyField) {
    options.SeparatorMode = "comma";
    line({"A", "", "B"});
    line({"A", "12", "-3", "B,5", "", "", "", "-15.08"});
    EXPECT_EQ(stream.bytes, "A,\tB,\r\nA,12,-3,B,5,\t\t\t-15.08,\r\n");
}

TEST_F(LogWriterTest, OnlyTheExactWordCommaSelectsCommas) {
    for (const char* mode : {"Comma", "COMMA", "comma ", "", "tab"}) {
        options.SeparatorMode = mode;
        stream.bytes.clear();
        line({"A"});
        EXPECT_EQ(stream.bytes, "A\t\r\n") << "mode '" << mode << "'";
    }
}

TEST_F(LogWriterTest, NothingIsWrittenWhileInactive) {
    log.setLoggingActive(false);
    line({"A", "", "B"});
    log.EndLogLine();
    EXPECT_EQ(stream.calls, 0);
    EXPECT_EQ(stream.bytes, "");
}

TEST_F(LogWriterTest, StartingInTheMiddleOfALineWritesOnlyItsRest) {
    log.setLoggingActive(false);
    log.WriteField("A");
    log.WriteSeparator("A");
    log.setLoggingActive(true);
    log.WriteField("B");
    log.WriteSeparator("B");
    log.EndLogLine();
    EXPECT_EQ(stream.bytes, "B\t\r\n");
}

TEST_F(LogWriterTest, WithoutAStreamEverythingIsSkipped) {
    log.setStream(nullptr);
    line({"A"});
    EXPECT_EQ(stream.calls, 0);
    EXPECT_FALSE(log.failure().has_value());
}

TEST_F(LogWriterTest, FirstFailureIsKeptAndTheStreamIsLeftAlone) {
    line({"1", "2"});
    stream.failFromCall = stream.calls + 2;  // the next separator fails
    line({"3", "4"});
    line({"5"});
    EXPECT_EQ(stream.bytes, "1\t2\t\r\n3");
    // Nothing was tried on the stream after its first failure.
    EXPECT_EQ(stream.calls, 5 + 2);
    ASSERT_TRUE(log.failure().has_value());
    EXPECT_EQ(log.failure()->code, ENOSPC);
}

TEST_F(LogWriterTest, ANewStreamForgetsTheFailure) {
    stream.failFromCall = 1;
    line({"lost"});
    ASSERT_TRUE(log.failure().has_value());

    RecordingStream next;
    log.setStream(&next);
    EXPECT_FALSE(log.failure().has_value());
    line({"kept"});
    EXPECT_EQ(next.bytes, "kept\t\r\n");
}

TEST_F(LogWriterTest, FieldAndSeparatorInOneCallWriteWhatTheTwoCallsWrite) {
    for (const char* mode : {"tab", "comma"}) {
        options.SeparatorMode = mode;
        RecordingStream apart;
        RecordingStream together;
        log.setStream(&apart);
        for (std::string_view f : {"A", "", "B,5"}) {
            log.WriteField(f);
            log.WriteSeparator(f);
        }
        log.setStream(&together);
        for (std::string_view f : {"A", "", "B,5"}) log.WriteFieldAndSeparator(f);
        EXPECT_EQ(together.bytes, apart.bytes) << mode;
        EXPECT_EQ(together.calls, apart.calls) << mode;
    }
}

TEST_F(LogWriterTest, FieldAndSeparatorInOneCallStopAtTheFirstFailure) {
    stream.failFromCall = 2;  // the separator fails
    log.WriteFieldAndSeparator("3");
    log.WriteFieldAndSeparator("4");
    EXPECT_EQ(stream.bytes, "3");
    EXPECT_EQ(stream.calls, 2);
    ASSERT_TRUE(log.failure().has_value());

    RecordingStream next;
    next.failFromCall = 1;  // the field fails: its separator is not tried
    log.setStream(&next);
    log.WriteFieldAndSeparator("5");
    EXPECT_EQ(next.calls, 1);
    EXPECT_TRUE(log.failure().has_value());

    RecordingStream idle;
    log.setStream(&idle);
    log.setLoggingActive(false);
    log.WriteFieldAndSeparator("6");
    EXPECT_EQ(idle.calls, 0);
}

TEST_F(LogWriterTest, FlushHandsOverWhatWasWrittenEvenWhilePaused) {
    line({"A"});
    log.WriteField("B");
    EXPECT_EQ(stream.handedOver, "");
    // A pause between two chunks must not hold back lines ended before it.
    log.setLoggingActive(false);
    log.flush();
    EXPECT_EQ(stream.handedOver, "A\t\r\nB");
    EXPECT_FALSE(log.failure().has_value());
}

TEST_F(LogWriterTest, FailedFlushIsKeptLikeAFailedWrite) {
    line({"1"});
    stream.failFromCall = stream.calls + 1;
    log.flush();
    ASSERT_TRUE(log.failure().has_value());
    EXPECT_EQ(log.failure()->code, ENOSPC);
    const int callsAtFailure = stream.calls;
    line({"2"});
    log.flush();
    EXPECT_EQ(stream.calls, callsAtFailure);
    EXPECT_EQ(stream.bytes, "1\t\r\n");
}

TEST_F(LogWriterTest, FlushWithoutAStreamDoesNothing) {
    log.setStream(nullptr);
    log.flush();
    EXPECT_EQ(stream.calls, 0);
    EXPECT_FALSE(log.failure().has_value());
}

}  // namespace
}  // namespace kestrin
