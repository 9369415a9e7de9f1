#pragma once

#include <cstdint>
#include <string>

namespace kestrin {

// The program-wide options. They start from the same values at every start
// and are never saved.
struct OptionState {
    std::int16_t ComPort = 1;
    std::int16_t SequenceNumber = 0;
    std::string SavePath;
    std::string BaseName = "Log";
    std::string LogFileName;
    std::string SeparatorMode = "tab";  // "tab" or "comma"
    std::string NamingMode;             // "seq", "app" or "user"; read by nothing
};

}  // namespace kestrin
