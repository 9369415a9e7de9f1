// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "log/readable_file.h"

namespace kestrin {

namespace {

constexpr std::size_t kChunkBytes = 1024 * 1024;

// The line without a carriage return that ends it; an empty view with
// `tooLong` set when it is still longer than the limit.
bool Hand(std::string_view text, std::string_view& line, bool& tooLong) {
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    tooLong = text.size() > LineReader::kMaxLineBytes;
    line = tooLong ? std::string_view() : text;
    return true;
}

}  // namespace

LineReader::~LineReader() { (void)Close(); }

void LineReader::Reset() {
    pos_ = end_ = 0;
    atEnd_ = skipping_ = carryHandedOut_ = false;
    bytesRead_ = 0;
    carry_.clear();
    failure_ = Status::Ok();
}

Status LineReader::Open(const std::string& path) {
    (void)Close();
    // The descriptor is kept only once the file has been accepted.
    int fd = -1;
    Status opened = OpenReadableFile(path, fd);
    if (opened.ok()) Adopt(fd);
    return opened;
}

Status LineReader::OpenStream(const std::string& path) {
    (void)Close();
    int fd = -1;
    Status opened = OpenReadableStream(path, fd);
    if (opened.ok()) Adopt(fd);
    return opened;
}

void LineReader::Adopt(int fd) {
    (void)Close();
    fd_ = fd;
}

Status LineReader::Close() {
    Reset();
    if (fd_ < 0) return Status::Ok();
    // The descriptor is released whatever close reports.
    const int closed = ::close(fd_);
    fd_ = -1;
    return closed == 0 ? Status::Ok() : Status::FromErrno(errno);
}

bool LineReader::Refill() {
    if (!chunk_) chunk_ = std::make_unique_for_overwrite<char[]>(kChunkBytes);
    for (;;) {
        const ssize_t n = ::read(fd_, chunk_.get(), kChunkBytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failure_ = Status::FromErrno(errno);
        pos_ = 0;
        end_ = n > 0 ? static_cast<std::size_t>(n) : 0;
        bytesRead_ += end_;
        return n > 0;
    }
}

bool LineReader::Next(std::string_view& line, bool& tooLong) {
    if (carryHandedOut_) {
        carry_.clear();
        carryHandedOut_ = false;
    }
    if (fd_ < 0) return false;
    for (;;) {
        if (pos_ == end_) {
            if (atEnd_ || !Refill()) {
                atEnd_ = true;
                const bool lastLine = failure_.ok() && !skipping_ && !carry_.empty();
                skipping_ = false;
                if (!lastLine) return false;
                carryHandedOut_ = true;
                return Hand(carry_, line, tooLong);
            }
        }
        const char* begin = chunk_.get() + pos_;
        const std::size_t available = end_ - pos_;
        const auto* feed = static_cast<const char*>(std::memchr(begin, '\n', available));
        if (skipping_) {
            pos_ = feed ? pos_ + static_cast<std::size_t>(feed - begin) + 1 : end_;
            skipping_ = feed == nullptr;
            continue;
        }
        // A carriage return may still follow the limit, hence the one byte more.
        if (feed == nullptr) {
            if (carry_.size() + available > kMaxLineBytes + 1) {
                carry_.clear();
                pos_ = end_;
                skipping_ = true;
                line = std::string_view();
                tooLong = true;
                return true;
            }
            carry_.append(begin, available);
            pos_ = end_;
            continue;
        }
        const auto length = static_cast<std::size_t>(feed - begin);
        pos_ += length + 1;
        if (carry_.empty()) return Hand(std::string_view(begin, length), line, tooLong);
        carryHandedOut_ = true;
        if (carry_.size() + length > kMaxLineBytes + 1) {
            line = std::string_view();
            tooLong = true;
            return true;
        }
        carry_.append(begin, length);
        return Hand(carry_, line, tooLong);
    }
}

}  // namespace kestrin
