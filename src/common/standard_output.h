// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace kestrin {

// Writes `text` to standard output and flushes it. When that fails (a full
// disk, a closed pipe) it says so on standard error as "<program>: standard
// output: <reason>" and gives false, so that the caller exits with a failure
// rather than pretend the text arrived.
bool PrintToStandardOutput(std::string_view text, const char* program);

}  // namespace kestrin
