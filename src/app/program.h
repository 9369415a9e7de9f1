// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/options.h"
#include "log/text_file.h"
#include "settings/settings_table.h"
#include "viewer/visited_zones.h"

namespace kestrin {

// The values that live for the whole program, whichever windows are open.
struct Program {
    OptionState options;
    PosixFileSystem fileSystem;
    SettingsTable settings;
    // The zones the engine visited since the run began.
    VisitedZones visitedZones;
};

}  // namespace kestrin
