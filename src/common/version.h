// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kestrin {

// The version the build was made from (the project's version in CMake).
inline constexpr std::string_view kVersion = KESTRIN_VERSION;

// What --version prints for `program`: its name, the package and version,
// then the copyright and the licence.
inline std::string VersionText(std::string_view program) {
    return std::string(program) + " (Kestrin) " + std::string(kVersion) +
           "\n"
           "Copyright (C) 2026 Kestrin developers\n"
           "License GPL-3.0-or-later: GNU GPL version 3 or later "
           "<https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

}  // namespace kestrin
