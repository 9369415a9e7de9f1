#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "common/status.h"

namespace kestrin {

// Reads a log file line by line in chunks, holding at most one chunk and one
// line of at most kMaxLineBytes, however large the file or its lines.
class LogFileReader {
  public:
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;

    LogFileReader();
    ~LogFileReader();
    LogFileReader(const LogFileReader&) = delete;
    LogFileReader& operator=(const LogFileReader&) = delete;

    // Opens a regular file; anything else is refused with the reason.
    Status Open(const std::string& path);
    // Opens what a shell tool would read: a regular file, a pipe or FIFO
    // (waiting for its writer), a device, or standard input for "-". Only a
    // folder is refused.
    Status OpenStream(const std::string& path);

    // The next line without its line end (a line feed, and a carriage return
    // before it); the last line needs no line end. A line longer than
    // kMaxLineBytes comes back empty with `tooLong` set. The view lasts until
    // the next call. False at the end of the file, or when reading failed
    // (then failure() says why).
    bool Next(std::string_view& line, bool& tooLong);

    const Status& failure() const { return failure_; }

  private:
    // Forgets the file read before and what was left of it.
    void Reset();
    bool Refill();
    std::string_view Finish(std::string_view line, bool& tooLong);

    int fd_ = -1;
    std::unique_ptr<char[]> chunk_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    // The start of a line that runs past the chunk, and whether a line that
    // is already too long is being passed over up to its line feed.
    std::string carry_;
    bool carryHandedOut_ = false;
    bool skipping_ = false;
    Status failure_;
};

}  // namespace kestrin
