#include "support/settings_dump.h"

#include <string_view>

namespace kestrin::test {

namespace {

// Values of 1 to 6 characters from the dump alphabet, some signed, some with
// letters, a few with a full stop or slash.
std::string ValueFor(int i) {
    static constexpr std::string_view kHead[] = {"-123", "+456", "1234", "A5B6", "-9.5",
                                                 "12/3", "0000", "+7.0", "ZX99"};
    if (i < 9) return std::string(kHead[i]);
    std::string v = std::to_string((i * 37) % 1000);
    switch (i % 6) {
        case 0:
            return "-" + v;
        case 1:
            return "+" + v;
        case 2:
            return "F" + v;
        case 3:
            return v + ".5";
        default:
            return v;
    }
}

}  // namespace

SettingsDump MakeSettingsDump() {
    SettingsDump dump;
    constexpr int kValues = 193;
    for (int i = 0; i < kValues; ++i) dump.values.push_back(ValueFor(i));

    for (int i = 0; i < kValues; ++i) {
        const std::string& v = dump.values[i];
        const bool last = i + 1 == kValues;
        dump.wire += v;
        if (last || i % 12 == 11) {
            // A line end. A value before CR LF needs a space to be closed; a
            // bare LF closes it only once the next character arrives, so the
            // dump ends with CR LF.
            dump.wire += (last || i % 24 == 11) ? " \r\n" : "\n";
            continue;
        }
        const std::string& next = dump.values[i + 1];
        const bool digitBeforeSign =
            v.back() >= '0' && v.back() <= '9' && (next.front() == '-' || next.front() == '+');
        // A sign right after a digit starts a value by itself; otherwise a
        // run of one to three spaces separates.
        if (!(digitBeforeSign && i % 2 == 0)) dump.wire += std::string(1 + i % 3, ' ');
    }

    dump.file = "BOT";
    for (const std::string& v : dump.values) dump.file += v + ",";
    dump.file += "EOT,";

    // Values 9 on fill 16 columns a row from row 1 on.
    for (int k = 0; k + 9 < kValues; ++k)
        dump.tableSlots[100 * (1 + k / 16) + 5 * (k % 16)] = dump.values[k + 9];
    const int afterLast = kValues - 9;
    dump.tableSlots[100 * (1 + afterLast / 16) + 5 * (afterLast % 16)] = "EOT";
    return dump;
}

}  // namespace kestrin::test
