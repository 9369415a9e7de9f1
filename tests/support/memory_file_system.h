#pragma once

#include <cerrno>
#include <cstddef>
#include <ctime>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "log/text_file.h"

namespace kestrin::test {

// Files kept in memory, with failures a test can switch on. Streams must not
// outlive the file system that made them.
class MemoryFileSystem : public FileSystem {
  public:
    Status CreateTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) override;
    Status OpenTextFile(const std::string& name, std::unique_ptr<TextStream>& stream) override;
    Status inspect(const std::string& name, FileEntry& entry) override;
    Status renameNoReplace(const std::string& from, const std::string& to) override;

    // Name to content; what a writer appends shows here at once.
    std::map<std::string, std::string> files;
    // When a file was last modified; 0 for a file not listed here.
    std::map<std::string, std::time_t> modified;

    std::optional<Status> createFailure;
    std::optional<Status> openFailure;
    std::optional<Status> readFailure;
    std::optional<Status> closeFailure;
    std::optional<Status> renameFailure;
    // A write that would take a file past this many bytes fails with
    // writeFailure and appends nothing.
    std::size_t writeLimit = std::numeric_limits<std::size_t>::max();
    Status writeFailure = Status::FromErrno(ENOSPC);

    // Streams made and not yet closed.
    int openStreams = 0;
    int readersOpened = 0;
};

}  // namespace kestrin::test
