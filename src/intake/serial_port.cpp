#include "intake/serial_port.h"

#include <cstdlib>

namespace kestrin {

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

std::string DevicePathForPort(int number) {
    const std::string variable = "KESTRIN_COM" + std::to_string(number);
    if (const char* path = std::getenv(variable.c_str()); path && *path) return path;
#ifdef _WIN32
    return "COM" + std::to_string(number);
#else
    return "/dev/ttyUSB" + std::to_string(number - 1);
#endif
}

}  // namespace kestrin
