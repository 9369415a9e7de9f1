// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kestrin {

// The classes of bytes in the unit's stream, shared by every reader of it.

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsSign(char c) { return c == '+' || c == '-'; }

// A byte that belongs to a field: "+", ",", "-", ".", "/", a digit or a
// capital letter. Everything else the stream carries separates fields or is
// dropped.
constexpr bool IsFieldChar(char c) {
    return IsSign(c) || c == ',' || c == '.' || c == '/' || IsDigit(c) || (c >= 'A' && c <= 'Z');
}

// A sign right after a digit starts a new field: "12-3" is 12 and -3.
constexpr bool SignAfterDigit(char previous, char c) { return IsDigit(previous) && IsSign(c); }

}  // namespace kestrin
