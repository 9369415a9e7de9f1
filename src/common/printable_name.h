// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kestrin {

// A file name as a message shows it: every byte below 0x20 and 0x7f as
// \xNN, so that a name holding a line end or an escape sequence can neither
// break a message's line nor move the terminal's cursor. Other bytes stay.
std::string PrintableName(std::string_view name);

}  // namespace kestrin
