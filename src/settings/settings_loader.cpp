// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_loader.h"

#include <memory>
#include <string>

#include "common/printable_name.h"
#include "settings/settings_format.h"

namespace kestrin {

namespace {

LoadOutcome ReadFirstLine(FileSystem& files, const std::string& path, std::string& line,
                          Status& failure) {
    std::unique_ptr<TextStream> reader;
    failure = files.OpenTextFile(path, reader);
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
    LoadOutcome outcome = ReadFirstLine(files, std::string(kSettingsFileName), line, failure);
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

std::optional<std::string> ReadCompleteSettings(FileSystem& files, const std::string& path,
                                                std::string& line) {
    Status failure;
    const LoadOutcome outcome = ReadFirstLine(files, path, line, failure);
    if (outcome == LoadOutcome::NotFound || outcome == LoadOutcome::OtherFailure)
        return "cannot read " + PrintableName(path) + ": " + failure.reason;
    if (outcome == LoadOutcome::Loaded && PassesFullCheck(line)) return std::nullopt;
    return PrintableName(path) + ": not a complete settings file: it must start with \"" +
           std::string(kSettingsBegin) + "\", end with \"" + std::string(kSettingsEnd) +
           "\" and hold " + std::to_string(kCompleteCommaCount) + " commas";
}

}  // namespace kestrin
