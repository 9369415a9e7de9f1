#include "analysis/zone_table_command.h"

#include <cstdio>

#include "analysis/zone_table.h"

namespace kestrin {

int RunZoneTableCommand(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestrin %s FILE\n", kZoneTableOption);
        return 2;
    }
    const std::string path = argv[2];
    ZoneTable table;
    if (const Status status = ReadZoneTable(path, table); !status.ok()) {
        std::fprintf(stderr, "kestrin: cannot read %s: %s\n", path.c_str(), status.reason.c_str());
        return 1;
    }
    const std::string text = ZoneTableText(table);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        std::perror("kestrin: standard output");
        return 1;
    }
    std::fprintf(stderr, "%s: %s\n", path.c_str(), LogLineCountsText(table.lineCounts()).c_str());
    return 0;
}

}  // namespace kestrin
