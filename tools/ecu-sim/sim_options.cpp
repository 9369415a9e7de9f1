// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu-sim/sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/version.h"

namespace kestrin::ecusim {

namespace {

std::optional<long long> WholeNumber(const std::string& text, long long min, long long max) {
    if (text.empty() || text.front() == ' ') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) return std::nullopt;
    return value;
}

std::optional<double> Decimal(const std::string& text, double max) {
    if (text.empty() || text.front() == ' ') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0 || value > max)
        return std::nullopt;
    return value;
}

// A year is plenty and keeps the deadline arithmetic far from overflow.
constexpr double kMaxSeconds = 3.2e7;
constexpr double kMaxFuelStepPercent = 20.0;
// Ten seconds of readings.
constexpr long long kMaxSensorLagLines = 50;

}  // namespace

ParsedOptions ParseSimOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    SimOptions& o = result.options;
    constexpr long long kMaxLong = std::numeric_limits<long>::max();
    constexpr long long kMaxInt = std::numeric_limits<int>::max();

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto flag = [&]() {
            if (inlineValue) result.error = name + " takes no value";
            return result.error.empty();
        };
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            result.error = name + " needs a value";
            return std::nullopt;
        };
        auto bad = [&](const std::string& text, const std::string& what) {
            result.error = name + ": \"" + text + "\" is not " + what;
        };

        if (name == "--help" || name == "-h") {
            if (flag()) o.help = true;
        } else if (name == "--version") {
            if (flag()) o.version = true;
        } else if (name == "--fast") {
            if (flag()) o.fast = true;
        } else if (name == "--dump") {
            if (flag()) o.dumpAtStart = true;
        } else if (name == "--paused") {
            if (flag()) o.startPaused = true;
        } else if (name == "--stop-on-stdin-eof") {
            if (flag()) o.stopOnStdinEof = true;
        } else if (name == "--device") {
            if (auto v = value()) {
                if (v->empty()) bad(*v, "a device path");
                o.device = *v;
            }
        } else if (name == "--baud") {
            if (auto v = value()) {
                if (auto n = WholeNumber(*v, 50, 4000000))
                    o.baud = static_cast<long>(*n);
                else
                    bad(*v, "a line speed from 50 to 4000000");
            }
        } else if (name == "--lines") {
            if (auto v = value()) {
                if (auto n = WholeNumber(*v, 0, std::numeric_limits<long long>::max()))
                    o.lines = *n;
                else
                    bad(*v, "a number of lines");
            }
        } else if (name == "--seconds") {
            if (auto v = value()) {
                if (auto s = Decimal(*v, kMaxSeconds))
                    o.seconds = *s;
                else
                    bad(*v, "a number of seconds");
            }
        } else if (name == "--seed") {
            if (auto v = value()) {
                if (auto n = WholeNumber(*v, 0, std::numeric_limits<long long>::max()))
                    o.seed = static_cast<std::uint64_t>(*n);
                else
                    bad(*v, "a seed (a whole number from 0)");
            }
        } else if (name == "--settings") {
            if (auto v = value()) {
                if (v->empty()) bad(*v, "a settings file");
                o.settingsFile = *v;
            }
        } else if (name == "--fuel-step") {
            if (auto v = value()) {
                if (auto s = Decimal(*v, kMaxFuelStepPercent))
                    o.fuelStepPercent = *s;
                else
                    bad(*v, "a percentage from 0 to 20");
            }
        } else if (name == "--sensor-lag-lines") {
            if (auto v = value()) {
                if (auto n = WholeNumber(*v, 0, kMaxSensorLagLines))
                    o.sensorLagLines = static_cast<int>(*n);
                else
                    bad(*v, "a number of lines from 0 to 50");
            }
        } else if (name == "--header-every") {
            if (auto v = value()) {
                if (auto n = WholeNumber(*v, 0, kMaxInt))
                    o.headerEvery = static_cast<int>(*n);
                else
                    bad(*v, "a number of lines");
            }
        } else if (name == "--parent-pid") {
            if (auto v = value()) {
                if (auto n = WholeNumber(*v, 1, kMaxLong))
                    o.parentPid = static_cast<long>(*n);
                else
                    bad(*v, "a process id");
            }
        } else {
            result.error = "unknown argument \"" + args[i] + "\"";
        }
        if (!result.error.empty()) return result;
    }
    return result;
}

std::string SimUsage(const std::string& program) {
    return "Usage: " + program + R"( [options]

Plays an engine control unit on a serial line: a header line ending in ZON,
then data lines of nine values (field 2 manifold pressure in kPa, field 5
air-fuel sensor count, field 8 zone byte), and a settings dump on request.

By default a pseudo-terminal is opened and the path of the port to give the
logger is printed as the first line on standard output.

The engine answers its settings. Each of the 144 small zones (load row 1 to 9
by rpm column 0 to 15, as the zone byte and the logger's settings viewer
number them) has an ideal setting drawn from the seed. A zone's setting is
its small-zone value plus its large zone's value, as the viewer's added view
sums them. With the setting d steps above the ideal, the engine gets
1 + d * PCT / 100 times the right fuel (held between 0.5 and 2 times), so the
air-fuel ratio reads the right one divided by that factor: more fuel reads
richer, less fuel leaner. A value that is not a whole number ("+3", "-2" and
"0" are) makes its zone run at its ideal. The built-in settings lie 1 to 4
steps off the ideal, either way, in about three zones of four. Sensor noise,
throttle transients, warm-up enrichment while the coolant is below 60 C and
fuel cut on overrun come on top, and the sensor is late: the count sent on a
line is the mixture of --sensor-lag-lines lines earlier.

Options:
  --device PATH        write to this device (a serial adapter) instead; it is
                       set raw, 8N1, no flow control, at the --baud speed
  --baud N             line speed: 10 bits per character (default 1200)
  --fast               no pacing: as fast as the reader takes the characters
  --lines N            stop after N data lines (0: no stream at all)
  --seconds S          stop after S seconds (decimals allowed)
  --seed N             drive cycle and ideal settings of the simulated engine
                       (default 1)
  --settings FILE      run on the settings of a settings file (Settings.txt as
                       the logger writes it) and send them as the dump; without
                       it the unit runs on, and sends, its built-in settings.
                       A file that fails the logger's full check ("BOT" first,
                       "EOT," last, 194 commas) or holds a value the unit cannot
                       send intact is refused with exit status 2
  --fuel-step PCT      percent of fuel per setting step, 0 to 20, decimals
                       allowed (default 1)
  --sensor-lag-lines N
                       the air-fuel count sent on a line is the mixture of N
                       lines earlier, 0 to 50 (default 1)
  --header-every N     send the header again after every N data lines, as a
                       unit does after a reset (default 64; 0: only at start)
  --dump               send the settings dump before the stream
  --paused             start with the stream paused (ignition on, engine off)
  --parent-pid PID     stop when process PID has ended
  --stop-on-stdin-eof  stop when standard input reaches its end
  -h, --help           show this text and exit
  --version            show the version and exit

Keys on standard input (a terminal takes single keys, a pipe whole bytes):
  d   send the settings dump after the current line
  p   pause or resume the stream (at the end of the current line)
  q   quit
Signals: SIGUSR1 sends the dump, SIGUSR2 pauses or resumes, SIGINT, SIGTERM
and SIGHUP stop.

Capturing settings: press p to pause the stream, start the capture in the
logger, press d, wait for the dump to end, end the capture, press p.
With --device the simulator also stops when the port goes away.

Exit status: 0 when it stops as asked, 1 when the port or the system fails,
2 for a wrong command line or a refused settings file.
)";
}

std::string SimVersion() { return VersionText("ecu-sim"); }

}  // namespace kestrin::ecusim
