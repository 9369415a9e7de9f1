// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace kestrin {

// What follows a field in the log: a tab, or a comma.
enum class Separator { Tab, Comma };
// How the Save Options dialog was last told to name log files.
enum class Naming { Unset, Sequential, Append, UserDefined };

// The program-wide options. They start from the same values at every start
// and are never saved.
struct OptionState {
    std::int16_t ComPort = 1;
    std::int16_t SequenceNumber = 0;
    std::string SavePath;
    std::string BaseName = "Log";
    std::string LogFileName;
    Separator SeparatorMode = Separator::Tab;
    Naming NamingMode = Naming::Unset;  // read by nothing
};

}  // namespace kestrin
