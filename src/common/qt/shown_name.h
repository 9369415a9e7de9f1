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
inline QString ShownName(std::string_view name) {
    return QFile::decodeName(QByteArray::fromStdString(PrintableName(name)));
}

}  // namespace kestrin
