#include "log/log_writer.h"

namespace kestrin {

void LogWriter::setStream(TextStream* stream) {
    stream_ = stream;
    failure_.reset();
}

void LogWriter::WriteField(std::string_view field) {
    if (!writable() || field.empty()) return;
    check(stream_->write(field));
}

void LogWriter::WriteSeparator(std::string_view field) {
    if (!writable()) return;
    // An empty field is followed by a tab even in comma mode.
    const bool comma = !field.empty() && options_.SeparatorMode == std::string_view("comma");
    check(stream_->write(comma ? "," : "\t"));
}

void LogWriter::EndLogLine() {
    if (!writable()) return;
    check(stream_->writeline());
}

void LogWriter::check(Status status) {
    if (!status.ok() && !failure_) failure_ = std::move(status);
}

}  // namespace kestrin
