#include "analysis/log_file_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "log/readable_file.h"

namespace kestrin {

namespace {

constexpr std::size_t kChunkBytes = 1024 * 1024;

}  // namespace

LogFileReader::LogFileReader() : chunk_(std::make_unique_for_overwrite<char[]>(kChunkBytes)) {}

LogFileReader::~LogFileReader() {
    if (fd_ >= 0) ::close(fd_);
}

void LogFileReader::Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    pos_ = end_ = 0;
    atEnd_ = skipping_ = carryHandedOut_ = false;
    carry_.clear();
    failure_ = Status::Ok();
}

Status LogFileReader::Open(const std::string& path) {
    Reset();
    // The descriptor is kept only once the file has been accepted.
    int fd = -1;
    Status opened = OpenReadableFile(path, fd);
    if (opened.ok()) fd_ = fd;
    return opened;
}

Status LogFileReader::OpenStream(const std::string& path) {
    Reset();
    int fd = -1;
    Status opened = OpenReadableStream(path, fd);
    if (opened.ok()) fd_ = fd;
    return opened;
}

bool LogFileReader::Refill() {
    for (;;) {
        const ssize_t n = ::read(fd_, chunk_.get(), kChunkBytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failure_ = Status::FromErrno(errno);
        pos_ = 0;
        end_ = n > 0 ? static_cast<std::size_t>(n) : 0;
        return n > 0;
    }
}

std::string_view LogFileReader::Finish(std::string_view line, bool& tooLong) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    tooLong = skipping_ || line.size() > kMaxLineBytes;
    skipping_ = false;
    return tooLong ? std::string_view() : line;
}

bool LogFileReader::Next(std::string_view& line, bool& tooLong) {
    if (carryHandedOut_) {
        carry_.clear();
        carryHandedOut_ = false;
    }
    if (fd_ < 0 || atEnd_) return false;
    for (;;) {
        if (pos_ < end_) {
            const char* begin = chunk_.get() + pos_;
            const std::size_t available = end_ - pos_;
            const auto* feed = static_cast<const char*>(std::memchr(begin, '\n', available));
            if (feed != nullptr) {
                const auto length = static_cast<std::size_t>(feed - begin);
                pos_ += length + 1;
                if (carry_.empty() || skipping_) {
                    line = Finish(std::string_view(begin, length), tooLong);
                    return true;
                }
                // A carriage return may still follow the limit, hence the one byte more.
                if (carry_.size() + length > kMaxLineBytes + 1) {
                    skipping_ = true;
                } else {
                    carry_.append(begin, length);
                }
                carryHandedOut_ = true;
                line = Finish(carry_, tooLong);
                return true;
            }
            if (!skipping_ && carry_.size() + available > kMaxLineBytes + 1) {
                skipping_ = true;
                carry_.clear();
            }
            if (!skipping_) carry_.append(begin, available);
            pos_ = end_;
        }
        if (!Refill()) {
            atEnd_ = true;
            if (!failure_.ok()) return false;
            if (carry_.empty() && !skipping_) return false;
            // The last line has no line end.
            carryHandedOut_ = true;
            line = Finish(carry_, tooLong);
            return true;
        }
    }
}

}  // namespace kestrin
