#include "log/log_writer.h"

namespace kestrin {

void LogWriter::setStream(TextStream* stream) {
    stream_ = stream;
    failure_.reset();
    retarget();
}

void LogWriter::flush() {
    if (stream_ == nullptr || failure_) return;
    check(stream_->flush());
}

void LogWriter::keep(Status&& failure) {
    if (!failure_) failure_ = std::move(failure);
    retarget();
}

}  // namespace kestrin
