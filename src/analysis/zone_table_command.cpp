// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/zone_table_command.h"

#include <cstdio>

#include "analysis/zone_table.h"
#include "common/printable_name.h"
#include "common/standard_output.h"
#include "log/line_reader.h"

namespace kestrin {

int RunZoneTableCommand(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestrin %s FILE\n", kZoneTableOption);
        return 2;
    }
    // Read as a shell tool reads its input: "-" and pipes as streams.
    const std::string path = argv[2];
    LineReader reader;
    ZoneTable table;
    Status status = reader.OpenStream(path);
    if (status.ok()) status = ReadZoneTable(reader, table);
    if (!status.ok()) {
        const std::string name = path == "-" ? "standard input" : PrintableName(path);
        std::fprintf(stderr, "kestrin: cannot read %s: %s\n", name.c_str(), status.reason.c_str());
        return 1;
    }
    if (!PrintToStandardOutput(ZoneTableText(table), "kestrin")) return 1;
    const std::string name = path == "-" ? "standard input" : PrintableName(path);
    std::fprintf(stderr, "%s: %s\n", name.c_str(), LogLineCountsText(table.lineCounts()).c_str());
    return 0;
}

}  // namespace kestrin
