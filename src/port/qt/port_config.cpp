// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/qt/port_config.h"

#include <QStandardPaths>

#include "port/serial_port.h"

namespace kestrin {

std::map<int, std::string> ReadPortDevices(QSettings& settings) {
    std::map<int, std::string> devices;
    // A damaged file may have been read in part: none of it is trusted.
    if (settings.status() != QSettings::NoError) return devices;
    settings.beginGroup("ports");
    for (int number = 1; number <= 6; ++number) {
        const QString path = settings.value(QString("com%1").arg(number)).toString().trimmed();
        if (!path.isEmpty()) devices[number] = path.toLocal8Bit().toStdString();
    }
    settings.endGroup();
    return devices;
}

QString KestrinConfPath() {
    // Named in full: Qt's own name for a user's INI file ends in .ini.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Kestrin/Kestrin.conf";
}

void LoadConfiguredPorts() {
    QSettings settings(KestrinConfPath(), QSettings::IniFormat);
    SetConfiguredPortDevices(ReadPortDevices(settings));
}

}  // namespace kestrin
