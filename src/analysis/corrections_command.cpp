#include "analysis/corrections_command.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <map>
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

namespace kestrin {

namespace {

constexpr const char* kUsage =
    "usage: kestrin --corrections [--steady N] [--delay N] [--afr-range LO:HI] "
    "[--where 'TITLE OP NUMBER']... [--targets FILE] [--target AFR] [--min-lines N] "
    "[--max-change PCT] [--step PCT] LOG...";

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
    std::vector<std::string> logs;
};

// Reads the options and logs; on a malformed one, what is wrong.
std::optional<std::string> ParseCommandLine(int argc, char** argv, CommandLine& line) {
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
                return bad(
                    "LO:HI is wanted, two ratios with at most two decimals, LO not above HI");
            options.afrLow = *low;
            options.afrHigh = *high;
        } else if (name == "--where") {
            std::optional<WhereCondition> condition = ParseWhere(value);
            if (!condition) return bad("TITLE OP NUMBER is wanted, OP one of < <= > >= == !=");
            options.where.push_back(std::move(*condition));
        } else if (name == "--targets") {
            line.targetsFile = std::string(value);
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
            const std::optional<std::int64_t> pct =
                ExactHundredths(value, -kMostPercent, kMostPercent);
            if (!pct || *pct == 0)
                return bad("a percentage other than 0 with at most two decimals is wanted");
            options.step = *pct;
        } else {
            return "unknown option " + std::string(name);
        }
    }
    if (line.logs.empty()) return std::string("no log given");
    return std::nullopt;
}

// One line of a targets file: nothing, a target, or malformed.
enum class TargetLine { Empty, Target, Malformed };

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

// Reads the targets file into `targets`: 0, or the exit status once the
// reason is told.
int ReadTargets(const std::string& path, std::map<std::int64_t, std::int64_t>& targets) {
    LineReader reader;
    Status status = reader.Open(path);
    std::string_view text;
    bool tooLong = false;
    for (std::int64_t number = 1; status.ok() && reader.Next(text, tooLong); ++number) {
        std::int64_t zone = 0, target = 0;
        const TargetLine line =
            tooLong ? TargetLine::Malformed : ParseTargetLine(text, zone, target);
        if (line == TargetLine::Malformed) {
            std::fprintf(stderr,
                         "kestrin: %s:%lld: ZONE AFR is wanted: a whole number, then a "
                         "ratio above 0 with at most two decimals\n",
                         PrintableName(path).c_str(), static_cast<long long>(number));
            return 2;
        }
        if (line == TargetLine::Target && !targets.emplace(zone, target).second) {
            std::fprintf(stderr, "kestrin: %s:%lld: zone %lld has a target already\n",
                         PrintableName(path).c_str(), static_cast<long long>(number),
                         static_cast<long long>(zone));
            return 2;
        }
    }
    if (status.ok()) status = reader.failure();
    if (status.ok()) return 0;
    std::fprintf(stderr, "kestrin: cannot read %s: %s\n", PrintableName(path).c_str(),
                 status.reason.c_str());
    return 1;
}

}  // namespace

int RunCorrectionsCommand(int argc, char** argv) {
    CommandLine line;
    if (const std::optional<std::string> problem = ParseCommandLine(argc, argv, line)) {
        std::fprintf(stderr, "kestrin: %s\n%s\n", problem->c_str(), kUsage);
        return 2;
    }
    if (line.targetsFile) {
        if (const int status = ReadTargets(*line.targetsFile, line.options.targets); status != 0)
            return status;
    }
    std::vector<std::string> titles;
    for (const WhereCondition& condition : line.options.where) {
        if (std::find(titles.begin(), titles.end(), condition.title) == titles.end())
            titles.push_back(condition.title);
    }
    CorrectionData data(std::move(titles));
    bool unreadable = false;
    for (const std::string& log : line.logs) {
        if (const Status status = data.ReadLog(log); !status.ok()) {
            std::fprintf(stderr, "kestrin: cannot read %s: %s\n", PrintableName(log).c_str(),
                         status.reason.c_str());
            unreadable = true;
        }
    }
    if (unreadable) return 1;

    const CorrectionResult result = ComputeCorrections(data, line.options);
    const std::string text = CorrectionsText(result);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        std::perror("kestrin: standard output");
        return 1;
    }
    // Named like the zone table's count: by the log, or by how many there are.
    const std::string logs = line.logs.size() == 1 ? PrintableName(line.logs.front())
                                                   : std::to_string(line.logs.size()) + " logs";
    std::fprintf(stderr, "%s: %s\n", logs.c_str(), CorrectionsSummary(result).c_str());
    return 0;
}

}  // namespace kestrin
