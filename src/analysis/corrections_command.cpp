// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/corrections_command.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/corrections.h"
#include "common/char_classes.h"
#include "common/decimal_text.h"
#include "common/printable_name.h"
#include "log/line_reader.h"
#include "log/text_file.h"
#include "settings/settings_format.h"
#include "settings/settings_loader.h"
#include "settings/settings_table.h"

namespace kestrin {

namespace {

constexpr const char* kUsage =
    "usage: kestrin --corrections [--steady N] [--delay N] [--afr-range LO:HI] "
    "[--where 'TITLE OP NUMBER']... [--targets FILE] [--target AFR] [--min-lines N] "
    "[--max-change PCT] [--step PCT] [--settings IN --write-settings OUT] LOG...";
constexpr const char* kCompareUsage =
    "usage: kestrin --compare [--steady N] [--delay N] [--afr-range LO:HI] "
    "[--where 'TITLE OP NUMBER']... [--targets FILE] [--target AFR] [--min-lines N] "
    "BEFORE AFTER";

constexpr std::int64_t kMostRatio = CorrectionOptions::kMostRatio;
constexpr std::int64_t kMostPercent = CorrectionOptions::kMostPercent;
constexpr std::int64_t kMostLines = 999999999;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A count: digits only, within [lo, hi].
std::optional<std::int64_t> Count(std::string_view text, std::int64_t lo, std::int64_t hi) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), IsDigit))
        return std::nullopt;
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < lo || value > hi) return std::nullopt;
    return value;
}

// A number as a whole number of hundredths: any further decimals must be
// zeros, so nothing is rounded. Within [lo, hi].
std::optional<std::int64_t> ExactHundredths(std::string_view text, std::int64_t lo,
                                            std::int64_t hi) {
    if (!ReadDecimal(text)) return std::nullopt;
    const std::size_t point = text.find('.');
    if (point != std::string_view::npos && text.size() > point + 3 &&
        text.find_first_not_of('0', point + 3) != std::string_view::npos)
        return std::nullopt;
    const std::optional<std::int64_t> value = HundredthsOf(text);
    if (!value || *value < lo || *value > hi) return std::nullopt;
    return value;
}

// "TITLE OP NUMBER", blanks allowed around OP.
std::optional<WhereCondition> ParseWhere(std::string_view text) {
    static constexpr std::pair<std::string_view, CompareOp> kOps[] = {
        {"<=", CompareOp::LessOrEqual}, {">=", CompareOp::GreaterOrEqual},
        {"==", CompareOp::Equal},       {"!=", CompareOp::NotEqual},
        {"<", CompareOp::Less},         {">", CompareOp::Greater}};
    const std::size_t at = text.find_first_of("<>=!");
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view title = Trimmed(text.substr(0, at));
    // A title is one field of a header line.
    if (title.empty() || title.find_first_of(" \t,") != std::string_view::npos) return std::nullopt;
    const std::string_view rest = text.substr(at);
    for (const auto& [symbol, op] : kOps) {
        if (!rest.starts_with(symbol)) continue;
        const std::optional<double> number = ReadDecimal(Trimmed(rest.substr(symbol.size())));
        if (!number) return std::nullopt;
        return WhereCondition{std::string(title), op, *number};
    }
    return std::nullopt;
}

struct CommandLine {
    CorrectionOptions options;
    std::optional<std::string> targetsFile;
    // The settings file the logs ran on, and the file for its corrected copy.
    std::optional<std::string> settingsIn, settingsOut;
    std::vector<std::string> logs;
};

// Reads the options and logs; on a malformed one, what is wrong. Only the
// corrections take settings files.
std::optional<std::string> ParseCommandLine(int argc, char** argv, bool corrections,
                                            CommandLine& line) {
    CorrectionOptions& options = line.options;
    bool optionsEnd = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnd || !arg.starts_with("--")) {
            line.logs.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        // "--name value" or "--name=value".
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return std::string(name) + " needs a value";
        }
        if (name == "--targets") {
            line.targetsFile = std::string(value);
        } else if (corrections && (name == "--settings" || name == "--write-settings")) {
            if (value.empty()) return std::string(name) + ": a file name is wanted";
            (name == "--settings" ? line.settingsIn : line.settingsOut) = std::string(value);
        } else if (std::optional<std::string> problem = SetCorrectionOption(name, value, options)) {
            return problem;
        }
    }
    if (line.logs.empty()) return std::string("no log given");
    if (line.settingsIn.has_value() != line.settingsOut.has_value())
        return std::string("--settings and --write-settings go together");
    if (line.settingsOut && !options.step)
        return std::string("--write-settings needs --step: without it there is no NEW");
    return std::nullopt;
}

}  // namespace

std::optional<std::string> SetCorrectionOption(std::string_view name, std::string_view value,
                                               CorrectionOptions& options) {
    const auto bad = [&](const char* wanted) {
        return std::string(name) + " " + std::string(value) + ": " + wanted;
    };
    constexpr int kMost = CorrectionOptions::kMaxLinesAround;
    if (name == "--steady" || name == "--delay") {
        const std::optional<std::int64_t> n = Count(value, 0, kMost);
        if (!n) return bad("a whole number from 0 to 50 is wanted");
        (name == "--steady" ? options.steady : options.delay) = static_cast<int>(*n);
    } else if (name == "--afr-range") {
        const std::size_t colon = value.find(':');
        std::optional<std::int64_t> low, high;
        if (colon != std::string_view::npos) {
            low = ExactHundredths(value.substr(0, colon), -kMostRatio, kMostRatio);
            high = ExactHundredths(value.substr(colon + 1), -kMostRatio, kMostRatio);
        }
        if (!low || !high || *low > *high)
            return bad("LO:HI is wanted, two ratios with at most two decimals, LO not above HI");
        options.afrLow = *low;
        options.afrHigh = *high;
    } else if (name == "--where") {
        std::optional<WhereCondition> condition = ParseWhere(value);
        if (!condition) return bad("TITLE OP NUMBER is wanted, OP one of < <= > >= == !=");
        options.where.push_back(std::move(*condition));
    } else if (name == "--target") {
        const std::optional<std::int64_t> target = ExactHundredths(value, 1, kMostRatio);
        if (!target) return bad("a ratio above 0 with at most two decimals is wanted");
        options.target = *target;
    } else if (name == "--min-lines") {
        const std::optional<std::int64_t> n = Count(value, 0, kMostLines);
        if (!n) return bad("a whole number from 0 is wanted");
        options.minLines = *n;
    } else if (name == "--max-change") {
        const std::optional<std::int64_t> pct = ExactHundredths(value, 0, kMostPercent);
        if (!pct) return bad("a percentage from 0 with at most two decimals is wanted");
        options.maxChange = *pct;
    } else if (name == "--step") {
        const std::optional<std::int64_t> pct = ExactHundredths(value, -kMostPercent, kMostPercent);
        if (!pct || *pct == 0)
            return bad("a percentage other than 0 with at most two decimals is wanted");
        options.step = *pct;
    } else {
        return "unknown option " + std::string(name);
    }
    return std::nullopt;
}

TargetLine ParseTargetLine(std::string_view text, std::int64_t& zone, std::int64_t& target) {
    text = Trimmed(text.substr(0, text.find('#')));
    if (text.empty()) return TargetLine::Empty;
    // ZONE, then blanks or one comma (blanks around it allowed), then AFR.
    const std::size_t end = text.find_first_of(" \t,");
    if (end == std::string_view::npos) return TargetLine::Malformed;
    std::string_view rest = Trimmed(text.substr(end));
    if (rest.starts_with(',')) rest = Trimmed(rest.substr(1));
    const std::optional<std::int64_t> number = WholeNumber(text.substr(0, end));
    const std::optional<std::int64_t> ratio = ExactHundredths(rest, 1, kMostRatio);
    if (!number || !ratio) return TargetLine::Malformed;
    zone = *number;
    target = *ratio;
    return TargetLine::Target;
}

int ReadTargetsFile(const std::string& path, std::map<std::int64_t, std::int64_t>& targets,
                    std::string& problem) {
    LineReader reader;
    Status status = reader.Open(path);
    std::string_view text;
    bool tooLong = false;
    for (std::int64_t number = 1; status.ok() && reader.Next(text, tooLong); ++number) {
        std::int64_t zone = 0, target = 0;
        const TargetLine line =
            tooLong ? TargetLine::Malformed : ParseTargetLine(text, zone, target);
        const std::string where = PrintableName(path) + ":" + std::to_string(number) + ": ";
        if (line == TargetLine::Malformed) {
            problem = where +
                      "ZONE AFR is wanted: a whole number, then a ratio above 0 with at most two "
                      "decimals";
            return 2;
        }
        if (line == TargetLine::Target && !targets.emplace(zone, target).second) {
            problem = where + "zone " + std::to_string(zone) + " has a target already";
            return 2;
        }
    }
    if (status.ok()) status = reader.failure();
    if (status.ok()) return 0;
    problem = "cannot read " + PrintableName(path) + ": " + status.reason;
    return 1;
}

std::string TargetsText(const std::map<std::int64_t, std::int64_t>& targets) {
    std::string text;
    for (const auto& [zone, target] : targets)
        text += std::to_string(zone) + " " + HundredthsAsText(target) + "\n";
    return text;
}

std::vector<std::string> ConditionTitles(const std::vector<WhereCondition>& conditions) {
    std::vector<std::string> titles;
    for (const WhereCondition& condition : conditions) {
        if (std::find(titles.begin(), titles.end(), condition.title) == titles.end())
            titles.push_back(condition.title);
    }
    return titles;
}

namespace {

// The options and targets of a command: 0, or the exit status once the
// reason is told.
int ReadOptions(int argc, char** argv, bool corrections, CommandLine& line) {
    if (const std::optional<std::string> problem =
            ParseCommandLine(argc, argv, corrections, line)) {
        std::fprintf(stderr, "kestrin: %s\n%s\n", problem->c_str(),
                     corrections ? kUsage : kCompareUsage);
        return 2;
    }
    if (!line.targetsFile) return 0;
    std::string problem;
    const int status = ReadTargetsFile(*line.targetsFile, line.options.targets, problem);
    if (status != 0) std::fprintf(stderr, "kestrin: %s\n", problem.c_str());
    return status;
}

// Reads `logs` into `data`, with the titles the conditions ask for: 0, or 1
// once each log that cannot be read is told.
int ReadLogs(const std::vector<std::string>& logs, const CorrectionOptions& options,
             CorrectionData& data) {
    data = CorrectionData(ConditionTitles(options.where));
    bool unreadable = false;
    for (const std::string& log : logs) {
        if (const Status status = data.ReadLog(log); !status.ok()) {
            std::fprintf(stderr, "kestrin: cannot read %s: %s\n", PrintableName(log).c_str(),
                         status.reason.c_str());
            unreadable = true;
        }
    }
    return unreadable ? 1 : 0;
}

bool PrintTable(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return true;
    std::perror("kestrin: standard output");
    return false;
}

// Named like the zone table's count: by the log, or by how many there are.
void PrintSummary(const std::vector<std::string>& logs, const CorrectionResult& result) {
    const std::string name =
        logs.size() == 1 ? PrintableName(logs.front()) : std::to_string(logs.size()) + " logs";
    std::fprintf(stderr, "%s: %s\n", name.c_str(), CorrectionsSummary(result).c_str());
}

// The first line of the settings file `path` if it passes the full check:
// 0, or 1 once the reason is told.
int ReadSettingsLine(const std::string& path, std::string& line) {
    PosixFileSystem files;
    if (const std::optional<std::string> problem = ReadCompleteSettings(files, path, line)) {
        std::fprintf(stderr, "kestrin: %s\n", problem->c_str());
        return 1;
    }
    return 0;
}

int RefuseExisting(const std::string& path) {
    std::fprintf(stderr, "kestrin: %s\n", NotReplacedText(path).c_str());
    return 1;
}

}  // namespace

std::string NotReplacedText(const std::string& path) {
    return PrintableName(path) + " exists: it is not replaced";
}

SettingsWriteReport WriteCorrectedSettings(const std::string& inPath, const std::string& in,
                                           const std::string& out, const CorrectionResult& result) {
    SettingsWriteReport report;
    std::map<long long, std::string> texts;
    for (const ZoneCorrection& zone : result.zones)
        if (zone.newSetting) texts.emplace(zone.zone, SettingText(*zone.newSetting));
    for (const long long zone : ReplaceMappedValues(in, texts).leftAlone) {
        report.lines.push_back("zone " + std::to_string(zone) + " left alone: no value of " +
                               PrintableName(inPath) + " is stored there");
        texts.erase(zone);
    }
    const auto table = std::make_unique<SettingsTable>();
    MapSettingsLine(in, *table);
    for (const ZoneCorrection& zone : result.zones) {
        const auto text = texts.find(zone.zone);
        if (text == texts.end()) continue;
        // NEW is a step from STNG: on another value it would mean nothing.
        const std::string& value = table->at(static_cast<int>(zone.zone));
        if (value == zone.setting) continue;
        report.lines.push_back("zone " + std::to_string(zone.zone) +
                               " left alone: " + PrintableName(inPath) + " holds \"" + value +
                               "\" there, the logs " + zone.setting);
        texts.erase(text);
    }
    const SettingsEdit edit = ReplaceMappedValues(in, texts);
    if (const Status status = CreateNewFile(out, edit.line); !status.ok()) {
        report.lines.push_back(status.systemError == EEXIST
                                   ? NotReplacedText(out)
                                   : "cannot write " + PrintableName(out) + ": " + status.reason);
        return report;
    }
    report.written = true;
    report.zonesSet = texts.size();
    report.lines.push_back(PrintableName(out) + ": zones set: " + std::to_string(texts.size()));
    return report;
}

int RunCorrectionsCommand(int argc, char** argv) {
    CommandLine line;
    if (const int status = ReadOptions(argc, argv, true, line); status != 0) return status;
    // The settings are judged before the logs are read, so a refusal costs nothing.
    std::string settings;
    if (line.settingsIn) {
        if (const int status = ReadSettingsLine(*line.settingsIn, settings); status != 0)
            return status;
        FileEntry entry;
        if (PosixFileSystem().inspect(*line.settingsOut, entry).ok() &&
            entry.kind != FileEntry::Kind::Missing)
            return RefuseExisting(*line.settingsOut);
    }
    CorrectionData data;
    if (const int status = ReadLogs(line.logs, line.options, data); status != 0) return status;

    const CorrectionResult result = ComputeCorrections(data, line.options);
    if (!PrintTable(CorrectionsText(result))) return 1;
    PrintSummary(line.logs, result);
    if (!line.settingsOut) return 0;
    const SettingsWriteReport report =
        WriteCorrectedSettings(*line.settingsIn, settings, *line.settingsOut, result);
    for (const std::string& told : report.lines)
        std::fprintf(stderr, "kestrin: %s\n", told.c_str());
    return report.written ? 0 : 1;
}

int RunCompareCommand(int argc, char** argv) {
    CommandLine line;
    if (const int status = ReadOptions(argc, argv, false, line); status != 0) return status;
    if (line.logs.size() != 2) {
        std::fprintf(stderr, "kestrin: two logs are wanted, BEFORE and AFTER\n%s\n", kCompareUsage);
        return 2;
    }
    // Each log on its own, by the same rules.
    std::vector<CorrectionResult> results;
    for (const std::string& log : line.logs) {
        CorrectionData data;
        if (const int status = ReadLogs({log}, line.options, data); status != 0) return status;
        results.push_back(ComputeCorrections(data, line.options));
    }
    if (!PrintTable(CompareText(CompareZones(results[0], results[1], line.options.minLines))))
        return 1;
    for (std::size_t i = 0; i < results.size(); ++i) PrintSummary({line.logs[i]}, results[i]);
    return 0;
}

}  // namespace kestrin
