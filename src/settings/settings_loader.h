// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/message_prompt.h"
#include "log/text_file.h"
#include "settings/settings_table.h"

namespace kestrin {

inline constexpr std::string_view kSettingsNotFoundPrompt =
    "Settings file not found!\r\n\r\nCapture settings now?";
inline constexpr std::string_view kSettingsEmptyOrCorruptPrompt =
    "Settings file empty or corrupt!\r\n\r\nCapture settings now?";
inline constexpr std::string_view kUnknownErrorPrefix = "Unknown Error";

enum class LoadOutcome { Loaded, NotFound, EmptyOrCorrupt, OtherFailure };

// What the loader asks of the main window.
struct SettingsLoaderHooks {
    // Shows the comma count of the line read (the caption of lblDebug).
    std::function<void(std::string_view)> showCommaCount;
    // Shows the capture dialog and returns once it is closed.
    std::function<void()> openCaptureDialog;
};

// Empties the table from slot 100 up, then fills it from the first line of
// Settings.txt in the current folder if that line passes the full check.
// A missing, empty or malformed file offers a capture; any other failure is
// shown as "Unknown Error" with its code. The outcome is for tests: the
// window acts the same whatever it is.
LoadOutcome LoadSettingsFile(SettingsTable& table, FileSystem& files, MessagePrompt& prompt,
                             const SettingsLoaderHooks& hooks);

// Reads the first line of the settings file `path` by the loader's rules into
// `line`: nothing when it passes the full check, else what is wrong, for the
// user ("cannot read NAME: reason", or NAME is not a complete settings file).
std::optional<std::string> ReadCompleteSettings(FileSystem& files, const std::string& path,
                                                std::string& line);

}  // namespace kestrin
