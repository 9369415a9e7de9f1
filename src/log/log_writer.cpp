// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/log_writer.h"

namespace kestrin {

void LogWriter::setStream(TextStream* stream) {
    stream_ = stream;
    failure_.reset();
    lineOpen_ = false;
    lineCut_ = false;
    retarget();
}

void LogWriter::setLoggingActive(bool active) {
    loggingActive_ = active;
    retarget();
    if (lineCut_ && target_ != nullptr) {
        lineCut_ = false;
        EndLogLine();
    }
}

void LogWriter::MarkGap() {
    if (lineOpen_) lineCut_ = true;
    if (target_ == nullptr) return;
    if (lineCut_) EndLogLine();
    lineCut_ = false;
    EndLogLine();
}

void LogWriter::flush() {
    if (stream_ == nullptr || failure_) return;
    check(stream_->flush());
}

void LogWriter::sync() {
    if (stream_ == nullptr || failure_) return;
    check(stream_->sync());
}

void LogWriter::keep(Status&& failure) {
    if (!failure_) failure_ = std::move(failure);
    retarget();
}

}  // namespace kestrin
