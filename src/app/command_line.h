// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrin {

// How the window program was asked to start.
struct StartRequest {
    // Work in the Kestrin folder of the documents folder, as a launch from
    // the desktop menu does.
    bool desktop = false;
    // Logs to open beside the main window, each in a window of its own.
    std::vector<std::string> logs;
};

// Reads the command line as main has it. Runs a command, or refuses a wrong
// command line with the usage on standard error and status 2: then the exit
// status comes back and no window may open. Otherwise `start` tells how the
// window program starts. Arguments after "--" are logs whatever their names.
std::optional<int> ReadCommandLine(int argc, char** argv, StartRequest& start);

}  // namespace kestrin
