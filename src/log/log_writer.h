#pragma once

#include <optional>
#include <string_view>

#include "log/options.h"
#include "log/status.h"
#include "log/text_file.h"

namespace kestrin {

// Writes closed fields and line ends to the current log file, only while
// logging is active. A write failure never reaches the intake: the first one
// is kept for the window to report, and nothing more goes to that stream.
class LogWriter {
  public:
    explicit LogWriter(const OptionState& options) : options_(options) {}

    // The stream this run opened for writing, or nullptr when it has none.
    // Forgets an earlier failure.
    void setStream(TextStream* stream);
    TextStream* stream() const { return stream_; }

    void setLoggingActive(bool active) { loggingActive_ = active; }
    bool loggingActive() const { return loggingActive_; }

    void WriteField(std::string_view field);
    void WriteSeparator(std::string_view field);
    void EndLogLine();

    // The first failure of the current stream, if any.
    const std::optional<Status>& failure() const { return failure_; }

  private:
    bool writable() const { return loggingActive_ && stream_ != nullptr && !failure_; }
    void check(Status status);

    const OptionState& options_;
    TextStream* stream_ = nullptr;
    bool loggingActive_ = false;
    std::optional<Status> failure_;
};

}  // namespace kestrin
