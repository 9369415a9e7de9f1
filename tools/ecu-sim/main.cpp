// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "ecu-sim/key_input.h"
#include "ecu-sim/serial_endpoint.h"
#include "ecu-sim/sim_options.h"
#include "ecu-sim/simulator.h"
#include "ecu-sim/unit_settings.h"

using namespace kestrin::ecusim;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedOptions parsed = ParseSimOptions(args);
    if (!parsed.error.empty()) {
        const std::string usage = SimUsage("ecu-sim");
        std::cerr << "ecu-sim: " << parsed.error << '\n'
                  << usage.substr(0, usage.find('\n') + 1)
                  << "Try 'ecu-sim --help' for more information.\n";
        return 2;
    }
    const SimOptions& options = parsed.options;
    if (options.help || options.version) {
        std::cout << (options.help ? SimUsage("ecu-sim") : SimVersion()) << std::flush;
        return std::cout ? 0 : 1;
    }
    const LoadedSettings settings = SettingsFor(options);
    if (!settings.error.empty()) {
        std::cerr << "ecu-sim: " << settings.error << '\n';
        return 2;
    }

    std::string error;
    std::unique_ptr<SerialEndpoint> line =
        options.device.empty() ? SerialEndpoint::OpenPseudoTerminal(options.baud, error)
                               : SerialEndpoint::OpenDevice(options.device, options.baud, error);
    if (!line) {
        std::cerr << "ecu-sim: " << error << '\n';
        return 1;
    }
    if (!InstallSignals()) {
        std::cerr << "ecu-sim: cannot set up signal handling\n";
        return 1;
    }
    // The first line on standard output is the port to give the logger.
    std::cout << line->path() << std::endl;

    KeyInput keys;
    if (line->isPseudoTerminal())
        std::cerr << "ecu-sim: the unit is on " << line->path() << ": point KESTRIN_COM1 at it\n";
    std::cerr << "ecu-sim: "
              << (options.fast ? std::string("sending as fast as the reader takes it")
                               : "sending at " + std::to_string(options.baud) + " baud")
              << (keys.takesKeys() ? "; keys: d settings dump, p pause/resume, q quit" : "")
              << '\n';

    Simulator simulator(options, settings.settings, *line, keys);
    return simulator.run();
}
