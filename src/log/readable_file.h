#pragma once

#include <string>

#include "common/status.h"

namespace kestrin {

// Opens a regular file for reading with a plain blocking descriptor in `fd`.
// A folder, pipe, socket or device is refused without waiting for a writer:
// a folder with EISDIR, anything else with "not a regular file".
Status OpenReadableFile(const std::string& name, int& fd);

}  // namespace kestrin
