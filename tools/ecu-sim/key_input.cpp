// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu-sim/key_input.h"

#include <fcntl.h>
#include <unistd.h>

namespace kestrin::ecusim {

KeyInput::KeyInput() {
    if (fcntl(0, F_GETFD) < 0) return;  // no standard input at all
    if (!isatty(0)) {
        watching_ = true;
        return;
    }
    if (tcgetpgrp(0) != getpgrp()) return;
    termios tio{};
    if (tcgetattr(0, &tio) != 0) return;
    saved_ = tio;
    // Single keys, no echo; Ctrl-C still raises SIGINT.
    tio.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(0, TCSANOW, &tio) != 0) {
        saved_.reset();
        return;
    }
    watching_ = true;
}

KeyInput::~KeyInput() { restore(); }

void KeyInput::restore() {
    if (saved_) tcsetattr(0, TCSANOW, &*saved_);
    saved_.reset();
}

}  // namespace kestrin::ecusim
