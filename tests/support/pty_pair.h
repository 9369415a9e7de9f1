#pragma once

#include <string>
#include <string_view>

namespace kestrin::test {

// A pseudo-terminal: the program opens slavePath() as its serial device, the
// test plays the unit on the master side.
class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    // Writes all of `bytes` to the master side; false on failure.
    bool write(std::string_view bytes);
    // Reads what the program sent, waiting up to timeoutMs for the first byte.
    std::string read(int timeoutMs);
    // Closes the master side, as when a USB adapter is pulled out.
    void closeMaster();

  private:
    int master_ = -1;
    int slave_ = -1;  // kept open so the device stays usable between opens
    std::string slavePath_;
};

// A fresh temporary folder, removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

  private:
    std::string path_;
};

// Runs the current process in `dir` while it lives.
class ScopedCwd {
  public:
    explicit ScopedCwd(const std::string& dir);
    ~ScopedCwd();
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

  private:
    std::string previous_;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace kestrin::test
