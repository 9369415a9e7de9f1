#include "analysis/zone_table_command.h"

#include <cstdio>

#include "analysis/log_file_reader.h"
#include "analysis/zone_table.h"
#include "common/standard_output.h"

namespace kestrin {

int RunZoneTableCommand(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestrin %s FILE\n", kZoneTableOption);
        return 2;
    }
    // Read as a shell tool reads its input: "-" and pipes as streams.
    const std::string path = argv[2];
    LogFileReader reader;
    ZoneTable table;
    Status status = reader.OpenStream(path);
    if (status.ok()) status = ReadZoneTable(reader, table);
    if (!status.ok()) {
        const std::string name = path == "-" ? "standard input" : path;
        std::fprintf(stderr, "kestrin: cannot read %s: %s\n", name.c_str(), status.reason.c_str());
        return 1;
    }
    return PrintToStandardOutput(ZoneTableText(table), "kestrin") ? 0 : 1;
}

}  // namespace kestrin
