#include "intake/serial_port.h"

#include <cstdlib>

namespace kestrin {

std::string PortMissingMessage(int number) {
    return "Com " + std::to_string(number) +
           " does not exist.\r\n\r\nPlease correct the com port setting.";
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
