// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/full_path.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace kestrin {

std::string FullPath(const std::string& name) {
    if (name.starts_with('/')) return name;
    // getcwd with no buffer allocates one as long as the path needs.
    const std::unique_ptr<char, decltype(&::free)> cwd(::getcwd(nullptr, 0), &::free);
    if (!cwd) return name;
    std::string path = cwd.get();
    if (!path.ends_with('/')) path += '/';
    return path + name;
}

}  // namespace kestrin
