// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "common/message_prompt.h"
#include "ecu-sim/stream_lines.h"
#include "intake/line_tokenizer.h"
#include "log/log_writer.h"
#include "log/options.h"
#include "log/text_file.h"
#include "settings/settings_table.h"

namespace kestrin::ecusim {

// Records a log as the program does during a run: `dataLines` data lines of
// the simulated unit's stream (and the headers among them) go through the
// tokenizer, the record decoder and the log writer into `path`, with
// `settings` as the loaded table. A marker every `markerEvery` data lines (0:
// none). Returns the failure of the log file.
inline Status RecordStream(const std::string& path, StreamSource& source, long long dataLines,
                           Separator separator, const SettingsTable& settings,
                           long long markerEvery = 0) {
    struct DroppedConsole : ConsoleSink {
        void AppendConsole(std::string_view) override {}
    } console;
    struct NoBoxes : MessagePrompt {
        PromptAnswer show(std::string_view, std::string_view, PromptButtons) override {
            return PromptAnswer::Ok;
        }
    } prompt;
    OptionState options;
    options.SeparatorMode = separator;
    PosixFileSystem files;
    std::unique_ptr<TextStream> stream;
    if (Status created = files.CreateTextFile(path, stream); !created.ok()) return created;
    LogWriter log(options);
    log.setStream(stream.get());
    log.setLoggingActive(true);
    LineTokenizer tokenizer(console, log, settings, prompt);
    for (long long written = 0; written < dataLines;) {
        const StreamSource::Line line = source.next();
        if (line.isData) {
            ++written;
            if (markerEvery > 0 && written % markerEvery == 0) tokenizer.MarkerPending = true;
        }
        tokenizer.receive(line.text);
    }
    // The unit's stream is held one event behind: one more event ends the last line.
    tokenizer.receive("");
    if (log.failure()) return *log.failure();
    return stream->Close();
}

}  // namespace kestrin::ecusim
