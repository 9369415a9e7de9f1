// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kestrin {

// The name as the user can find the file again: a relative name with the
// working directory before it. A name that is absolute already, or a working
// directory that cannot be told (it was removed), leaves the name as it is.
std::string FullPath(const std::string& name);

}  // namespace kestrin
