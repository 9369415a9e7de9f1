// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "common/status.h"

namespace kestrin {

// Opens a regular file for reading with a plain blocking descriptor in `fd`.
// A folder, pipe, socket or device is refused without waiting for a writer:
// a folder with EISDIR, anything else with "not a regular file".
Status OpenReadableFile(const std::string& name, int& fd);

// Opens whatever can be read as a stream, as a shell tool does: a regular
// file, a pipe or FIFO (waiting for a writer), a terminal or a device, and
// "-" for standard input (a descriptor of its own, to close as any other).
// Only a folder is refused, with EISDIR.
Status OpenReadableStream(const std::string& name, int& fd);

}  // namespace kestrin
