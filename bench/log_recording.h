// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "ecu-sim/drive_recording.h"
#include "ecu-sim/settings_dump.h"
#include "ecu-sim/stream_lines.h"
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
    SettingsTable settings;
    const ecusim::DumpValues dump = ecusim::DefaultDumpValues();
    for (int p = 0; withSettings && p < ZoneView::kSmallZones; ++p)
        settings.slot(SmallZoneSlot(p)) = ecusim::SignedText(dump.smallZones[p]);
    ecusim::StreamSource source(seed, 64);
    return ecusim::RecordStream(path, source, dataLines, separator, settings, markerEvery);
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

// What a benchmark that sets the program beside an awk script takes:
// "BENCH KESTRIN AWK_SCRIPT [data lines]", and the log it records for them.
struct AwkBench {
    std::string kestrin, awk;
    long long lines = 0;
    std::string dir, log;
    double megabytes = 0;
};

// The arguments read and the log recorded in `folder`; nothing, after the
// usage on standard error, when the arguments are too few.
inline std::optional<AwkBench> StartAwkBench(int argc, char** argv, const std::string& folder) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s KESTRIN AWK_SCRIPT [data lines]\n", argv[0]);
        return std::nullopt;
    }
    AwkBench bench{argv[1], argv[2], argc > 3 ? std::atoll(argv[3]) : 1000000, "", "", 0};
    bench.dir = RecordBenchLog(folder, bench.lines);
    bench.log = bench.dir + "/Log1.txt";
    bench.megabytes = static_cast<double>(std::filesystem::file_size(bench.log)) / 1e6;
    return bench;
}

}  // namespace kestrin::bench
