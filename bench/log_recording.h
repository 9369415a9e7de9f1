#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ecu-sim/settings_dump.h"
#include "ecu-sim/stream_lines.h"
#include "intake/line_tokenizer.h"
#include "log/text_file.h"
#include "support/scripted_prompt.h"
#include "viewer/zone_layout.h"

namespace kestrin::bench {

// Records a log as the program does during a run: the simulated unit's
// stream goes through the tokenizer, the record decoder and the log writer
// into `path`, with the simulated unit's zone trims in the settings table,
// in the given separator mode ("tab" or "comma"). A marker every
// `markerEvery` data lines (0: none); without `withSettings` the table is
// empty, as before any settings are loaded. Returns the failure of the log file.
inline Status RecordLog(const std::string& path, long long dataLines, Separator separator,
                        std::uint64_t seed = 1, long long markerEvery = 0,
                        bool withSettings = true) {
    struct DroppedConsole : ConsoleSink {
        void AppendConsole(std::string_view) override {}
    } console;
    test::ScriptedPrompt prompt;
    OptionState options;
    options.SeparatorMode = separator;
    SettingsTable settings;
    const ecusim::DumpValues dump = ecusim::DefaultDumpValues();
    for (int p = 0; withSettings && p < ZoneView::kSmallZones; ++p)
        settings.slot(SmallZoneSlot(p)) = ecusim::SignedText(dump.smallZones[p]);

    PosixFileSystem files;
    std::unique_ptr<TextStream> stream;
    if (Status created = files.CreateTextFile(path, stream); !created.ok()) return created;
    LogWriter log(options);
    log.setStream(stream.get());
    log.setLoggingActive(true);
    LineTokenizer tokenizer(console, log, settings, prompt);
    ecusim::StreamSource source(seed, 64);
    for (long long written = 0; written < dataLines;) {
        const ecusim::StreamSource::Line line = source.next();
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

// A log of `dataLines` data lines with a marker every 5000, as Log1.txt in
// a fresh folder `folder` under the temporary directory; ends the benchmark
// with a message when it cannot be written. Returns the folder.
inline std::string RecordBenchLog(const std::string& folder, long long dataLines) {
    const std::string dir = std::filesystem::temp_directory_path() / folder;
    std::filesystem::create_directories(dir);
    const std::string log = dir + "/Log1.txt";
    if (const Status status = RecordLog(log, dataLines, Separator::Tab, 7, 5000); !status.ok()) {
        std::fprintf(stderr, "%s: %s\n", log.c_str(), status.reason.c_str());
        std::exit(1);
    }
    return dir;
}

}  // namespace kestrin::bench
