// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/serial_port.h"

#include <cstdlib>
#include <utility>

namespace kestrin {

namespace {

std::map<int, std::string>& ConfiguredDevices() {
    static std::map<int, std::string> devices;
    return devices;
}

}  // namespace

Status OpenPort(SerialPort& port, int number, MessagePrompt& prompt) {
    Status status = port.setCommPort(number);
    if (status.ok()) status = port.open();
    if (status.kind == ErrorKind::PortNotFound)
        prompt.show("Com " + std::to_string(number) +
                        " does not exist.\r\n\r\nPlease correct the com port setting.",
                    kAppTitle, PromptButtons::Ok);
    return status;
}

std::string PortLostMessage(int number, const Status& why) {
    std::string text = "Com " + std::to_string(number) + " was lost";
    if (!why.reason.empty()) text += " (" + why.reason + ")";
    return text + ".";
}

void SetConfiguredPortDevices(std::map<int, std::string> devices) {
    ConfiguredDevices() = std::move(devices);
}

std::string DevicePathForPort(int number) {
    const std::string variable = "KESTRIN_COM" + std::to_string(number);
    if (const char* path = std::getenv(variable.c_str()); path && *path) return path;
    if (const auto it = ConfiguredDevices().find(number);
        it != ConfiguredDevices().end() && !it->second.empty())
        return it->second;
#ifdef _WIN32
    return "COM" + std::to_string(number);
#else
    return "/dev/ttyUSB" + std::to_string(number - 1);
#endif
}

}  // namespace kestrin
