#pragma once

#include <map>
#include <string>
#include <vector>

namespace kestrin::test {

// A complete settings dump as the unit sends it, with what it must become.
struct SettingsDump {
    // The bytes on the serial line: signed values, runs of spaces, a sign
    // straight after a digit, CR LF and bare LF line ends.
    std::string wire;
    // The 193 values in order.
    std::vector<std::string> values;
    // The exact content of Settings.txt after capturing `wire`.
    std::string file;
    // Every non-empty table slot after loading `file`.
    std::map<int, std::string> tableSlots;
};

// The first nine values are four characters long, so "BOT" and they fill
// exactly the 48 characters the loader skips; the other 184 fill rows 1 to 11
// and half of row 12, and the end marker's letters land in slot 1240.
SettingsDump MakeSettingsDump();

}  // namespace kestrin::test
