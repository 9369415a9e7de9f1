// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string_view>

#include "common/printable_name.h"

namespace kestrin {

// A file name (the bytes the file system holds) as a widget shows it: decoded
// as the system decodes names, so that a UTF-8 name shows its characters,
// with control bytes escaped (PrintableName). Unlike the program's own
// texts, a name is no Latin-1.
// A message that names files, their control bytes escaped already: decoded
// as the system decodes names.
inline QString ShownText(std::string_view text) {
    return QFile::decodeName(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

inline QString ShownName(std::string_view name) { return ShownText(PrintableName(name)); }

}  // namespace kestrin
