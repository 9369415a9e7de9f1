// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <termios.h>

#include <optional>

namespace kestrin::ecusim {

// Commands typed on standard input. A terminal in the foreground is switched
// to single keys without echo and put back as it was on destruction; a
// terminal in the background is left alone (reading it would stop the
// process); a pipe or file is read as it comes.
class KeyInput {
  public:
    KeyInput();
    ~KeyInput();
    KeyInput(const KeyInput&) = delete;
    KeyInput& operator=(const KeyInput&) = delete;

    bool watching() const { return watching_; }
    // Single keys from a terminal, rather than bytes from a pipe or file.
    bool takesKeys() const { return saved_.has_value(); }
    int fd() const { return 0; }
    void stopWatching() { watching_ = false; }
    // Puts the terminal back now; safe to call more than once.
    void restore();

  private:
    bool watching_ = false;
    std::optional<termios> saved_;
};

}  // namespace kestrin::ecusim
