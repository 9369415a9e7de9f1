// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrin {

bool PrintToStandardOutput(std::string_view text, const char* program) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return true;
    std::fprintf(stderr, "%s: standard output: %s\n", program, std::strerror(errno));
    return false;
}

}  // namespace kestrin
