// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kestrin::test {

// A pseudo-terminal in raw mode: the program opens slavePath() as its serial
// device, the test plays the unit on the master side.
class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }
    bool write(std::string_view bytes);
    void closeMaster();  // as when a USB adapter is pulled out

  private:
    int master_ = -1;
    int slave_ = -1;  // kept open so the device stays usable between opens
    std::string slavePath_;
};

// A fresh temporary folder, removed with everything in it on destruction.
struct TempDir {
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }
    std::string path_;
};

// Runs the current process in `dir` while it lives.
struct ScopedCwd {
    explicit ScopedCwd(const std::string& dir);
    ~ScopedCwd();
    std::string previous;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace kestrin::test
