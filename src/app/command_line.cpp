// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "analysis/corrections_command.h"
#include "analysis/zone_table_command.h"
#include "common/standard_output.h"
#include "common/version.h"

namespace kestrin {

namespace {

// One option of the command line, either a command or a switch. A command
// is answered without any window, so without a display; it comes first,
// reads the rest of the command line itself and gives the exit status. A
// switch sets a flag of the window program.
struct CommandLineOption {
    std::string_view name;
    std::string_view operands;  // as the usage shows them, e.g. "FILE"
    // The --help text; each line break continues in the description column.
    std::string_view help;
    int (*command)(int argc, char** argv) = nullptr;
    bool StartRequest::*flag = nullptr;
};

constexpr const char* kProgram = "kestrin";
// Where the descriptions of --help start.
constexpr std::size_t kHelpColumn = 21;

int ShowHelp(int argc, char** argv);
int ShowVersion(int /*argc*/, char** /*argv*/) {
    return PrintToStandardOutput(VersionText(kProgram), kProgram) ? 0 : 1;
}

constexpr CommandLineOption kOptions[] = {
    {"--desktop", "",
     "work in the Kestrin folder of the documents folder\n"
     "(created when missing), as the desktop menu's launch does",
     nullptr, &StartRequest::desktop},
    {kZoneTableOption, "FILE",
     "print the zone table of the log FILE as tab-separated\n"
     "text, and exit; FILE \"-\" is standard input",
     RunZoneTableCommand},
    {kCorrectionsOption, "[OPTIONS] LOG...",
     "print the fuel change each zone needs, from one or more\n"
     "logs, and exit; OPTIONS: --steady N, --delay N,\n"
     "--afr-range LO:HI, --where 'TITLE OP NUMBER', --target AFR,\n"
     "--targets FILE, --min-lines N, --max-change PCT, --step PCT;\n"
     "with --settings IN --write-settings OUT also write OUT,\n"
     "a new file: IN with each zone's NEW in place of its value",
     RunCorrectionsCommand},
    {kCompareOption, "[OPTIONS] BEFORE AFTER",
     "print each zone's mixture in the log BEFORE and the log\n"
     "AFTER a change of settings, how far each lies from its\n"
     "target, and in how many zones AFTER is closer, and exit;\n"
     "OPTIONS as for --corrections, without the settings files",
     RunCompareCommand},
    {"--help", "", "show this help and exit", ShowHelp},
    {"--version", "", "show the version and exit", ShowVersion},
};

std::string Usage() {
    std::string text = "Usage: " + std::string(kProgram);
    for (const CommandLineOption& option : kOptions)
        if (option.flag) text += " [" + std::string(option.name) + "]";
    text += " [--] [LOG]...\n";
    for (const CommandLineOption& option : kOptions) {
        if (!option.command) continue;
        text += "  or:  " + std::string(kProgram) + " " + std::string(option.name);
        if (!option.operands.empty()) text += " " + std::string(option.operands);
        text += "\n";
    }
    return text;
}

int ShowHelp(int /*argc*/, char** /*argv*/) {
    std::string text = Usage() +
                       "Watch and record the live values of an engine control unit on a serial\n"
                       "port. The main window opens, and each LOG in a log window of its own.\n"
                       "\n"
                       "Options:\n";
    for (const CommandLineOption& option : kOptions) {
        std::string first = "  " + std::string(option.name);
        if (!option.operands.empty()) first += " " + std::string(option.operands);
        first.resize(std::max(first.size() + 2, kHelpColumn), ' ');
        std::string_view help = option.help;
        text += first;
        for (std::size_t end; (end = help.find('\n')) != std::string_view::npos;) {
            text += std::string(help.substr(0, end)) + "\n" + std::string(kHelpColumn, ' ');
            help.remove_prefix(end + 1);
        }
        text += std::string(help) + "\n";
    }
    text +=
        "\n"
        "Environment:\n"
        "  KESTRIN_COMN       the device of port Com N (N from 1 to 6) for this\n"
        "                     launch, before the ports file and /dev/ttyUSB(N-1)\n"
        "  XDG_CONFIG_HOME    the folder of Kestrin/Kestrin.conf (default ~/.config)\n"
        "\n"
        "Files:\n"
        "  ~/.config/Kestrin/Kestrin.conf\n"
        "                     comN=DEVICE lines under [ports]; the log window's\n"
        "                     correction options under [corrections]\n"
        "  Log1.txt, Log2.txt, ...\n"
        "                     one log per run, in the working directory\n"
        "  Settings.txt       the captured settings, in the working directory\n";
    return PrintToStandardOutput(text, kProgram) ? 0 : 1;
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n%sTry '%s --help' for more information.\n", kProgram, why.c_str(),
                 Usage().c_str(), kProgram);
    return 2;
}

}  // namespace

std::optional<int> ReadCommandLine(int argc, char** argv, StartRequest& start) {
    start = StartRequest{};
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (optionsEnded || !argument.starts_with('-')) {
            start.logs.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const CommandLineOption* option = nullptr;
        for (const CommandLineOption& candidate : kOptions)
            if (candidate.name == argument) option = &candidate;
        if (!option) return Refuse("unknown option '" + std::string(argument) + "'");
        if (option->flag) {
            start.*(option->flag) = true;
        } else if (i == 1) {
            return option->command(argc, argv);
        } else {
            return Refuse(std::string(argument) + " must be the first argument");
        }
    }
    return std::nullopt;
}

}  // namespace kestrin
