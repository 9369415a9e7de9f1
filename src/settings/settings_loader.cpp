// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_loader.h"

#include <memory>
#include <string>

#include "settings/settings_format.h"

namespace kestrin {

namespace {

LoadOutcome ReadFirstLine(FileSystem& files, std::string& line, Status& failure) {
    std::unique_ptr<TextStream> reader;
    failure = files.OpenTextFile(std::string(kSettingsFileName), reader);
    if (failure.kind == ErrorKind::FileNotFound) return LoadOutcome::NotFound;
    if (!failure.ok()) return LoadOutcome::OtherFailure;

    // The read is bounded: a huge or binary file is simply not a settings line.
    failure = reader->readline(line);
    // Closed at once, so a capture can replace the file; a reader's closing
    // loses nothing.
    (void)reader->Close();
    if (failure.kind == ErrorKind::ReadPastEnd || failure.kind == ErrorKind::LineTooLong)
        return LoadOutcome::EmptyOrCorrupt;
    if (!failure.ok()) return LoadOutcome::OtherFailure;
    return LoadOutcome::Loaded;
}

void OfferCapture(std::string_view text, MessagePrompt& prompt, const SettingsLoaderHooks& hooks) {
    if (prompt.show(text, "Error", PromptButtons::YesNo) == PromptAnswer::Yes &&
        hooks.openCaptureDialog)
        hooks.openCaptureDialog();
}

}  // namespace

LoadOutcome LoadSettingsFile(SettingsTable& table, FileSystem& files, MessagePrompt& prompt,
                             const SettingsLoaderHooks& hooks) {
    table.clearFrom(SettingsTable::kFirstLoaded);

    std::string line;
    Status failure;
    LoadOutcome outcome = ReadFirstLine(files, line, failure);
    if (outcome == LoadOutcome::Loaded) {
        if (hooks.showCommaCount) hooks.showCommaCount(std::to_string(CommaCount(line)));
        if (PassesFullCheck(line)) {
            MapSettingsLine(line, table);
        } else {
            outcome = LoadOutcome::EmptyOrCorrupt;
        }
    }

    switch (outcome) {
        case LoadOutcome::Loaded:
            break;
        case LoadOutcome::NotFound:
            OfferCapture(kSettingsNotFoundPrompt, prompt, hooks);
            break;
        case LoadOutcome::EmptyOrCorrupt:
            OfferCapture(kSettingsEmptyOrCorruptPrompt, prompt, hooks);
            break;
        case LoadOutcome::OtherFailure: {
            std::string text = std::string(kUnknownErrorPrefix) + std::to_string(failure.number());
            if (!failure.reason.empty()) text += "\r\n\r\n" + failure.reason;
            prompt.show(text, kAppTitle, PromptButtons::Ok);
            break;
        }
    }
    return outcome;
}

}  // namespace kestrin
