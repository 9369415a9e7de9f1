// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cerrno>
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

    // Name to content: what a writer appends shows here at once, and in
    // handedOver (what a killed program would leave) on flush, sync and close.
    std::map<std::string, std::string> files, handedOver;
    // When a file was last modified; 0 for a file not listed here.
    std::map<std::string, std::time_t> modified;
    std::optional<Status> createFailure, openFailure, readFailure, syncFailure, closeFailure,
        renameFailure;
    // A write that would take a file past this many bytes fails with ENOSPC.
    std::size_t writeLimit = std::numeric_limits<std::size_t>::max();
    int openStreams = 0;  // made and not yet closed
    int readersOpened = 0;
};

}  // namespace kestrin::test
