// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <termios.h>

#include <memory>
#include <optional>
#include <string>

namespace kestrin::ecusim {

// The line the simulated unit writes to: the master side of a pseudo-terminal
// whose slave side the logger opens, or a real serial device.
class SerialEndpoint {
  public:
    // A new pseudo-terminal in raw mode. The slave side stays open here too, so
    // the port keeps existing while the logger closes and reopens it.
    static std::unique_ptr<SerialEndpoint> OpenPseudoTerminal(long baud, std::string& error);
    // An existing device; a terminal device is set raw, 8N1, without flow
    // control, at `baud`. Anything else (a FIFO, a file) is written as it is.
    static std::unique_ptr<SerialEndpoint> OpenDevice(const std::string& path, long baud,
                                                      std::string& error);

    ~SerialEndpoint();
    SerialEndpoint(const SerialEndpoint&) = delete;
    SerialEndpoint& operator=(const SerialEndpoint&) = delete;

    // Non-blocking descriptor the unit writes to.
    int fd() const { return fd_; }
    // The path the logger should open.
    const std::string& path() const { return path_; }
    bool isPseudoTerminal() const { return slaveFd_ >= 0; }
    // Whatever the other end sends back can be read from fd() and thrown away.
    bool carriesReplies() const { return isTerminal_; }

    // Bytes written that the logger has not read yet (pseudo-terminal only; 0
    // when unknown).
    long unread() const;
    // Throws away what the logger has not read, as a line with no listener
    // loses its characters.
    void dropUnread();
    // Waits until a terminal device has sent everything written.
    void drain();

  private:
    SerialEndpoint() = default;

    int fd_ = -1;
    int slaveFd_ = -1;
    bool isTerminal_ = false;
    std::string path_;
    std::optional<termios> saved_;  // a device's settings, put back on close
};

}  // namespace kestrin::ecusim
