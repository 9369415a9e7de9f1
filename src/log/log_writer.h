// SPDX-License-Identifier: GPL-3.0-or-later
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

    // Turning logging on first ends a line that a lost port cut (MarkGap).
    void setLoggingActive(bool active);
    bool loggingActive() const { return loggingActive_; }

    // A closed field, and the separator after it.
    void WriteField(std::string_view field) {
        if (target_ == nullptr || field.empty()) return;
        lineOpen_ = true;
        check(target_->write(field));
    }
    void WriteSeparator(std::string_view field) {
        if (target_ == nullptr) return;
        lineOpen_ = true;
        check(target_->write(SeparatorAfter(field)));
    }
    void EndLogLine() {
        if (target_ == nullptr) return;
        lineOpen_ = false;
        check(target_->writeline());
    }
    // The stream broke off (the port was lost): a line the file holds
    // unfinished is ended, so that nothing received later runs into it, and
    // one empty line marks the gap. Both go in only while logging is active;
    // a line left unfinished by a pause is ended when logging resumes.
    void MarkGap();
    // Hands what was written to the operating system, whether or not logging
    // is active now. A failure is kept like a write failure.
    void flush();
    // Flushes and asks the operating system to put the file on the disk; a
    // failure is kept like a write failure.
    void sync();
    // Keeps a failure of the stream found outside the writer (its closing).
    void keepFailure(Status failure) { keep(std::move(failure)); }

    // The first failure of the current stream, if any.
    const std::optional<Status>& failure() const { return failure_; }

  private:
    void retarget() { target_ = loggingActive_ && !failure_ ? stream_ : nullptr; }
    std::string_view SeparatorAfter(std::string_view field) const {
        // An empty field is followed by a tab even in comma mode.
        const bool comma = !field.empty() && options_.SeparatorMode == Separator::Comma;
        return comma ? "," : "\t";
    }
    void check(Status&& status) {
        if (!status.ok()) keep(std::move(status));
    }
    void keep(Status&& failure);

    const OptionState& options_;
    TextStream* stream_ = nullptr;
    bool loggingActive_ = false;
    // The file's last line has fields but no line end yet.
    bool lineOpen_ = false;
    // That line was cut by a lost port and is owed its line end.
    bool lineCut_ = false;
    std::optional<Status> failure_;
    // Where writes go now: the stream while logging is active and the stream
    // has not failed, else nullptr. One test per write instead of three.
    TextStream* target_ = nullptr;
};

}  // namespace kestrin
