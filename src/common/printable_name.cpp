// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/printable_name.h"

namespace kestrin {

std::string PrintableName(std::string_view name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xf];
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace kestrin
