// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kestrin {

// The program's texts are single bytes as received; a widget shows each byte
// as the Latin-1 character of that code, and gives back the same bytes.
inline QString Latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string Bytes(const QString& text) { return text.toLatin1().toStdString(); }

}  // namespace kestrin
