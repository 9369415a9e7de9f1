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
    Status failure = Status::FromErrno(ENOSPC);

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

TEST_F(LogWriterTest, SeparatorModes) {
    line({"A", "", "B"});
    options.SeparatorMode = Separator::Comma;  // an empty field is followed by a tab
    line({"A", "", "B"});
    line({"A", "12", "-3", "B,5", "", "", "", "-15.08"});
    EXPECT_EQ(stream.bytes, "A\t\tB\t\r\nA,\tB,\r\nA,12,-3,B,5,\t\t\t-15.08,\r\n");
}

TEST_F(LogWriterTest, WritesOnlyWhileActiveAndWithAStream) {
    log.setLoggingActive(false);
    log.WriteField("A");
    log.WriteSeparator("A");
    log.EndLogLine();
    EXPECT_EQ(stream.calls, 0);
    EXPECT_EQ(stream.bytes, "");
    log.WriteField("A");
    log.setLoggingActive(true);  // mid-line: only the rest is written
    line({"B"});
    EXPECT_EQ(stream.bytes, "B\t\r\n");

    const int callsBefore = stream.calls;
    log.setStream(nullptr);
    line({"C"});
    log.flush();
    EXPECT_EQ(stream.calls, callsBefore);
    EXPECT_FALSE(log.failure().has_value());
}

TEST_F(LogWriterTest, FirstFailureIsKeptAndTheStreamIsLeftAlone) {
    line({"1", "2"});
    stream.failFromCall = stream.calls + 2;  // the next separator fails
    line({"3", "4"});
    line({"5"});
    log.flush();
    EXPECT_EQ(stream.bytes, "1\t2\t\r\n3");
    EXPECT_EQ(stream.calls, 5 + 2);  // nothing tried after the failure
    ASSERT_TRUE(log.failure().has_value());
    EXPECT_EQ(log.failure()->systemError, ENOSPC);

    RecordingStream next;
    log.setStream(&next);
    EXPECT_FALSE(log.failure().has_value());
    line({"kept"});
    EXPECT_EQ(next.bytes, "kept\t\r\n");
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

    // A failed flush is kept like a failed write.
    stream.failFromCall = stream.calls + 1;
    log.flush();
    ASSERT_TRUE(log.failure().has_value());
    EXPECT_EQ(log.failure()->systemError, ENOSPC);
    const int callsAtFailure = stream.calls;
    log.setLoggingActive(true);
    line({"2"});
    log.flush();
    EXPECT_EQ(stream.calls, callsAtFailure);
    EXPECT_EQ(stream.bytes, "A\t\r\nB");
}

}  // namespace
}  // namespace kestrin
