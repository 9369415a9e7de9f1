// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "common/status.h"

namespace kestrin {

// A single-byte text file opened for writing or for reading. Every operation
// reports its failure as a Status instead of throwing.
class TextStream {
  public:
    virtual ~TextStream() = default;

    // Appends text with no line end.
    virtual Status write(std::string_view text) = 0;
    // Appends a carriage return and line feed.
    virtual Status writeline() = 0;
    // Hands everything written so far to the operating system.
    //
    // write and writeline only fill the stream's buffer, which hands itself
    // over once it holds about 64 KiB, and Close flushes. The log is flushed
    // after each chunk read from the serial port has been handled, so every
    // line ended in that chunk reaches the system before the program waits
    // for the next one. While the unit sends, the port is read every 50 ms,
    // so a killed program loses at most the line in progress and what
    // arrived in those 50 ms, while a fast stream costs one system call per
    // chunk instead of one per line.
    virtual Status flush() = 0;
    // Reads the next line without its line end, or the whole content when it
    // holds none, as LineReader reads lines. At the end of the file (so for a
    // file of zero length) it gives ReadPastEnd; a line longer than
    // LineReader::kMaxLineBytes gives LineTooLong without reading further.
    virtual Status readline(std::string& line) = 0;
    // Flushes, then asks the operating system to put the file on the disk.
    virtual Status sync() = 0;
    // Flushes and closes; later calls of any operation fail.
    virtual Status Close() = 0;
};

// What a name refers to, seen without following a symbolic link.
struct FileEntry {
    enum class Kind { Missing, Regular, SymbolicLink, Other };
    Kind kind = Kind::Missing;
    // When the entry itself (a link, not its target) was last modified.
    std::time_t modified = 0;
    // A regular file of no bytes.
    bool empty = false;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // A new, empty file opened for writing, replacing any file of that name.
    // A name without a directory part lies in the current working directory.
    virtual Status CreateTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) = 0;
    // The file opened for reading; a missing file gives FileNotFound.
    virtual Status OpenTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) = 0;
    // What lies at `name`; a name that does not exist is Missing, not a failure.
    virtual Status inspect(const std::string& name, FileEntry& entry) = 0;
    // Gives the entry `from` the name `to` in one step, never replacing
    // anything: when `to` is taken it fails with EEXIST and both stay as they
    // were. A symbolic link is renamed itself, never its target.
    virtual Status renameNoReplace(const std::string& from, const std::string& to) = 0;
};

// Makes the file `name` holding exactly `content` and puts it on the disk,
// never replacing anything: when the name is taken it fails with EEXIST and
// nothing is written. A file that cannot be written whole is removed again.
Status CreateNewFile(const std::string& name, std::string_view content);

// Files of the operating system, through file descriptors.
class PosixFileSystem : public FileSystem {
  public:
    Status CreateTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) override;
    Status OpenTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) override;
    Status inspect(const std::string& name, FileEntry& entry) override;
    Status renameNoReplace(const std::string& from, const std::string& to) override;
};

}  // namespace kestrin
