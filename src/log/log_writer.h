#pragma once

#include <optional>
#include <string_view>

#include "common/status.h"
#include "log/options.h"
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

    void setLoggingActive(bool active) {
        loggingActive_ = active;
        retarget();
    }
    bool loggingActive() const { return loggingActive_; }

    // A closed field, and the separator after it. They run for every field,
    // so they are kept inline; the tokenizer uses the two at once.
    void WriteField(std::string_view field) {
        if (target_ != nullptr && !field.empty()) check(target_->write(field));
    }
    void WriteSeparator(std::string_view field) {
        if (target_ != nullptr) check(target_->write(SeparatorAfter(field)));
    }
    // WriteField, then WriteSeparator, with one call to the stream.
    void WriteFieldAndSeparator(std::string_view field) {
        if (target_ == nullptr) return;
        if (field.empty()) {
            check(target_->write(SeparatorAfter(field)));
        } else {
            check(target_->writeBoth(field, SeparatorAfter(field)));
        }
    }
    void EndLogLine() {
        if (target_ != nullptr) check(target_->writeline());
    }
    // Hands what was written to the operating system, whether or not logging
    // is active now. A failure is kept like a write failure.
    void flush();

    // The first failure of the current stream, if any.
    const std::optional<Status>& failure() const { return failure_; }

  private:
    void retarget() { target_ = loggingActive_ && !failure_ ? stream_ : nullptr; }
    std::string_view SeparatorAfter(std::string_view field) const {
        // An empty field is followed by a tab even in comma mode.
        const bool comma = !field.empty() && options_.SeparatorMode == std::string_view("comma");
        return comma ? "," : "\t";
    }
    void check(Status&& status) {
        if (!status.ok()) keep(std::move(status));
    }
    void keep(Status&& failure);

    const OptionState& options_;
    TextStream* stream_ = nullptr;
    bool loggingActive_ = false;
    std::optional<Status> failure_;
    // Where writes go now: the stream while logging is active and the stream
    // has not failed, else nullptr. One test per write instead of three.
    TextStream* target_ = nullptr;
};

}  // namespace kestrin
