// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/status.h"

namespace kestrin {

// Reads a file line by line in chunks; every file the program reads back (a
// log, Settings.txt, a list of targets) is read this way, with one limit. It
// holds at most one chunk and one line, however large the file or its lines.
//
// A line ends at a line feed; a carriage return right before it belongs to
// the line end, and so does one that ends the file (a line end cut short).
// The last line needs no line end.
class LineReader {
  public:
    // The longest line taken. A log line has some hundred bytes and the
    // settings line a few thousand: anything longer is no line the program
    // wrote, and is not read into memory.
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;

    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a regular file; anything else is refused with the reason.
    Status Open(const std::string& path);
    // Opens what a shell tool would read: a regular file, a pipe or FIFO
    // (waiting for its writer), a device, or standard input for "-". Only a
    // folder is refused.
    Status OpenStream(const std::string& path);
    // Reads from the open descriptor `fd`, which the reader now owns.
    void Adopt(int fd);
    // Closes the file; what closing reported.
    Status Close();

    // The next line without its line end; the view lasts until the next
    // call. A line longer than kMaxLineBytes comes back empty with `tooLong`
    // set as soon as that is known, without reading the rest of it; the next
    // call passes over that rest. False at the end of the file, or when
    // reading failed (then failure() says why).
    bool Next(std::string_view& line, bool& tooLong);

    const Status& failure() const { return failure_; }
    // How many bytes of the file were read so far, for a progress bar.
    std::uint64_t bytesRead() const { return bytesRead_; }

  private:
    bool Refill();
    void Reset();

    int fd_ = -1;
    std::unique_ptr<char[]> chunk_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    // The start of a line that runs past the chunk, whether it was handed
    // out last time, and whether the rest of a line already reported too
    // long is still to be passed over.
    std::string carry_;
    bool carryHandedOut_ = false;
    bool skipping_ = false;
    Status failure_;
    std::uint64_t bytesRead_ = 0;
};

}  // namespace kestrin
