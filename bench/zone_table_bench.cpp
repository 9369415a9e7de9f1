// SPDX-License-Identifier: GPL-3.0-or-later
// The zone table of a log of a million data lines: "kestrin --zone-table"
// beside an awk script computing the same table (bench/zone_table.awk). The
// log is recorded from the simulated unit through the program's own intake
// and log writer; the two tables must match byte for byte.
//
//   zone_table_bench KESTRIN AWK_SCRIPT [data lines]   (default 1000000)
//   zone_table_bench record FILE DATA_LINES tab|comma [seed] [marker every] [bare]
//     records a log; "bare" leaves the settings table empty
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "bench_util.h"
#include "log_recording.h"
#include "support/pty_pair.h"

namespace {

int Record(int argc, char** argv) {
    if (argc < 5) return 2;
    const kestrin::Status status = kestrin::bench::RecordLog(
        argv[2], std::atoll(argv[3]),
        std::string(argv[4]) == "comma" ? kestrin::Separator::Comma : kestrin::Separator::Tab,
        argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 1, argc > 6 ? std::atoll(argv[6]) : 0,
        !(argc > 7 && std::string(argv[7]) == "bare"));
    if (!status.ok()) std::fprintf(stderr, "%s: %s\n", argv[2], status.reason.c_str());
    return status.ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "record") return Record(argc, argv);
    const std::optional<kestrin::bench::AwkBench> bench =
        kestrin::bench::StartAwkBench(argc, argv, "kestrin-zone-table-bench");
    if (!bench) return 2;
    const auto& [kestrin, awk, lines, dir, log, megabytes] = *bench;
    const double ours = kestrin::bench::TimeCommand(
        "'" + kestrin + "' --zone-table '" + log + "' >'" + dir + "/ours.txt' 2>/dev/null", 3);
    const double theirs = kestrin::bench::TimeCommand(
        "LC_ALL=C awk -f '" + awk + "' '" + log + "' >'" + dir + "/awk.txt'", 3);
    const bool same = kestrin::test::ReadWholeFile(dir + "/ours.txt") ==
                      kestrin::test::ReadWholeFile(dir + "/awk.txt");
    std::printf("%-44s %10s %12s\n", "zone table", "seconds", "awk");
    std::printf("%-44s %10.3f %12.3f\n",
                ("--zone-table, " + std::to_string(lines) + " data lines").c_str(), ours, theirs);
    std::printf("(log %.1f MB, best of 3; tables %s)\n", megabytes, same ? "identical" : "DIFFER");
    std::filesystem::remove_all(dir);
    return same ? 0 : 1;
}
