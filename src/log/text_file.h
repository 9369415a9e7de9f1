#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "log/status.h"

namespace kestrin {

// A single-byte text file opened for writing or for reading. Every operation
// reports its failure as a Status instead of throwing.
class TextStream {
  public:
    virtual ~TextStream() = default;

    // Appends text with no line end.
    virtual Status write(std::string_view text) = 0;
    // Appends a carriage return and line feed. Every line ended so far is
    // handed to the operating system before this returns.
    virtual Status writeline() = 0;
    // Reads the first line without its line end, or the whole content when it
    // holds none. A file of zero length gives kReadPastEnd; a line longer than
    // maxBytes gives kLineTooLong without reading further.
    virtual Status readline(std::string& line, std::size_t maxBytes = kMaxLineBytes) = 0;
    // Asks the operating system to put what was written on the disk.
    virtual Status sync() = 0;
    // Flushes and closes; later calls of any operation fail.
    virtual Status Close() = 0;

    static constexpr std::size_t kMaxLineBytes = 16 * 1024 * 1024;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // A new, empty file opened for writing, replacing any file of that name.
    // A name without a directory part lies in the current working directory.
    virtual Status CreateTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) = 0;
    // The file opened for reading; a missing file gives kFileNotFound.
    virtual Status OpenTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) = 0;
};

// Files of the operating system, through file descriptors.
class PosixFileSystem : public FileSystem {
  public:
    Status CreateTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) override;
    Status OpenTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) override;
};

}  // namespace kestrin
