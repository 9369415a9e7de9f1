// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kestrin {

// The folder a launch from the desktop menu works in, so that its logs and
// settings gather in one place rather than in the home folder: Kestrin in
// the user's documents folder, or in `home` where no documents folder is
// set. The documents folder is found as xdg-user-dir finds it: the last
// XDG_DOCUMENTS_DIR="$HOME/..." or "/..." line of `userDirs` (the text of
// user-dirs.dirs), else `variable` (the environment's XDG_DOCUMENTS_DIR, or
// null) when it is an absolute path.
std::string DesktopWorkFolder(const std::string& home, std::string_view userDirs,
                              const char* variable);

// Makes this user's DesktopWorkFolder the working directory, creating it and
// the folders above it when missing. Gives an empty text, or the message for
// the user when that failed; the working directory then stays as it was.
std::string EnterDesktopWorkFolder();

}  // namespace kestrin
