// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>
#include <map>
#include <string>

namespace kestrin {

// The devices the [ports] section names (com1=/dev/serial/by-id/... up to
// com6), by port number. A file that is missing or cannot be read names none.
std::map<int, std::string> ReadPortDevices(QSettings& settings);

// Kestrin.conf in the user's configuration folder
// (~/.config/Kestrin/Kestrin.conf, or under $XDG_CONFIG_HOME).
QString KestrinConfPath();

// Reads Kestrin.conf in the user's configuration folder
// (~/.config/Kestrin/Kestrin.conf, or under $XDG_CONFIG_HOME) and hands its
// devices to the port naming.
void LoadConfiguredPorts();

}  // namespace kestrin
