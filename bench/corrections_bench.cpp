// SPDX-License-Identifier: GPL-3.0-or-later
// "kestrin --corrections" on a log of a million data lines, beside an awk
// script computing the zone table of the same log (bench/zone_table.awk),
// and the corrections worked out again with other options once the log has
// been read, as a window does when an option changes. The log is recorded
// from the simulated unit through the program's own intake and log writer.
//
//   corrections_bench KESTRIN AWK_SCRIPT [data lines]   (default 1000000)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/corrections.h"
#include "bench_util.h"
#include "log_recording.h"

namespace {

using kestrin::CompareOp;
using kestrin::CorrectionOptions;

// Best of `rounds` seconds of `work`.
template <typename Work>
double Best(int rounds, Work&& work) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, kestrin::bench::Seconds(std::chrono::steady_clock::now() - start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<kestrin::bench::AwkBench> bench =
        kestrin::bench::StartAwkBench(argc, argv, "kestrin-corrections-bench");
    if (!bench) return 2;
    const auto& [kestrin, awk, lines, dir, log, megabytes] = *bench;

    const std::string options = "--steady 2 --delay 1 --where 'CLT>=70' --step 1";
    const double ours = kestrin::bench::TimeCommand(
        "'" + kestrin + "' --corrections " + options + " '" + log + "' >/dev/null 2>&1", 3);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double theirs =
        kestrin::bench::TimeCommand("LC_ALL=C awk -f '" + awk + "' '" + log + "' >/dev/null", 3);

    // Read once, then worked out again under options that change each time.
    kestrin::CorrectionData data;
    const double read = Best(3, [&] {
        data = kestrin::CorrectionData({"RPM", "CLT"});
        if (!data.ReadLog(log).ok()) std::exit(1);
    });
    std::vector<CorrectionOptions> variants(4);
    variants[1].steady = 3;
    variants[1].delay = 2;
    variants[2].where = {{"CLT", CompareOp::GreaterOrEqual, 70}, {"RPM", CompareOp::Less, 4000}};
    variants[3].afrLow = 1200;
    variants[3].afrHigh = 1600;
    variants[3].step = 100;
    variants[3].targets = {{230, 1320}, {235, 1300}, {240, 1280}};
    double again = 0;
    for (const CorrectionOptions& variant : variants) {
        kestrin::CorrectionResult result;
        again =
            std::max(again, Best(3, [&] { result = kestrin::ComputeCorrections(data, variant); }));
    }

    std::printf("%-44s %10s %12s\n", "corrections", "seconds", "awk");
    std::printf("%-44s %10.3f %12.3f\n",
                ("--corrections, " + std::to_string(lines) + " data lines").c_str(), ours, theirs);
    std::printf("%-44s %10.3f\n", "  of which reading the log once (in process)", read);
    std::printf("%-44s %10.3f\n", "  again with other options, data already read", again);
    std::printf(
        "(log %.1f MB, best of 3; awk computes the zone table; the command's memory %.0f "
        "MB; again: the slowest of %zu sets of options)\n",
        megabytes, static_cast<double>(usage.ru_maxrss) / 1024, variants.size());
    std::filesystem::remove_all(dir);
    return 0;
}
