// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kestrin {

// The option that prints a log's zone table instead of opening a window.
inline constexpr const char* kZoneTableOption = "--zone-table";

// Runs "kestrin --zone-table FILE" (argv as main has it): the table on
// standard output, how many lines were data and how many were left out on
// standard error, and 0; or one line naming the file and the reason on
// standard error and 1 (2 for a wrong command line). FILE may be "-" for
// standard input, a pipe or a FIFO. Needs no display.
int RunZoneTableCommand(int argc, char** argv);

}  // namespace kestrin
