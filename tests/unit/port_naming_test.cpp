#include <gtest/gtest.h>
#include <stdlib.h>

#include "port/serial_port.h"

namespace kestrin {
namespace {

// KESTRIN_COM<N> overrides the configuration file for one launch; the file
// overrides /dev/ttyUSB<N-1>. nullptr: not set.
TEST(PortNaming, EnvironmentThenFileThenDefault) {
    const struct {
        const char *environment, *file, *device;
    } cases[] = {{nullptr, nullptr, "/dev/ttyUSB2"},
                 {nullptr, "/dev/serial/by-id/a", "/dev/serial/by-id/a"},
                 {"/dev/pts/7", "/dev/ttyACM0", "/dev/pts/7"},
                 {"", "/dev/ttyACM0", "/dev/ttyACM0"},
                 {nullptr, "", "/dev/ttyUSB2"}};
    for (const auto& c : cases) {
        c.environment ? setenv("KESTRIN_COM3", c.environment, 1) : unsetenv("KESTRIN_COM3");
        std::map<int, std::string> file{{2, "/dev/other"}};
        if (c.file) file[3] = c.file;
        SetConfiguredPortDevices(file);
        EXPECT_EQ(DevicePathForPort(3), c.device);
    }
    unsetenv("KESTRIN_COM3");
    SetConfiguredPortDevices({});
}

}  // namespace
}  // namespace kestrin
