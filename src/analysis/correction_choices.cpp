// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/correction_choices.h"

#include "analysis/corrections_command.h"

namespace kestrin {

namespace {

// Each single-valued choice: its entry, the command's option and its member.
struct Single {
    const char* entry;
    const char* option;
    std::string CorrectionChoices::*member;
};
constexpr Single kSingles[] = {
    {"steady", "--steady", &CorrectionChoices::steady},
    {"delay", "--delay", &CorrectionChoices::delay},
    {"afr-range", "--afr-range", &CorrectionChoices::afrRange},
    {"target", "--target", &CorrectionChoices::target},
    {"min-lines", "--min-lines", &CorrectionChoices::minLines},
    {"max-change", "--max-change", &CorrectionChoices::maxChange},
    {"step", "--step", &CorrectionChoices::step},
};

// Entries hold one condition or one target a line.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::optional<std::string> ApplyChoices(const CorrectionChoices& choices,
                                        CorrectionOptions& options) {
    CorrectionOptions made;
    for (const Single& single : kSingles) {
        const std::string& value = choices.*single.member;
        if (single.member == &CorrectionChoices::step && value.empty()) continue;
        if (auto problem = SetCorrectionOption(single.option, value, made)) return problem;
    }
    for (const std::string& condition : choices.where) {
        if (auto problem = SetCorrectionOption("--where", condition, made)) return problem;
    }
    made.targets = choices.targets;
    options = std::move(made);
    return std::nullopt;
}

std::map<std::string, std::string> ChoiceEntries(const CorrectionChoices& choices) {
    std::map<std::string, std::string> entries;
    for (const Single& single : kSingles) entries[single.entry] = choices.*single.member;
    std::string where;
    for (const std::string& condition : choices.where) where += condition + "\n";
    entries["where"] = where;
    entries["targets"] = TargetsText(choices.targets);
    entries["targets-file"] = choices.targetsFile;
    return entries;
}

CorrectionChoices ChoicesFromEntries(const std::map<std::string, std::string>& entries) {
    CorrectionChoices choices;
    const auto entry = [&entries](const char* name) -> const std::string* {
        const auto found = entries.find(name);
        return found == entries.end() ? nullptr : &found->second;
    };
    CorrectionOptions scratch;
    for (const Single& single : kSingles) {
        const std::string* value = entry(single.entry);
        if (value == nullptr) continue;
        const bool none = single.member == &CorrectionChoices::step && value->empty();
        if (none || !SetCorrectionOption(single.option, *value, scratch))
            choices.*single.member = *value;
    }
    if (const std::string* where = entry("where")) {
        for (const std::string& condition : Lines(*where)) {
            if (!SetCorrectionOption("--where", condition, scratch))
                choices.where.push_back(condition);
        }
    }
    if (const std::string* targets = entry("targets")) {
        for (const std::string& line : Lines(*targets)) {
            std::int64_t zone = 0, target = 0;
            if (ParseTargetLine(line, zone, target) == TargetLine::Target)
                choices.targets.emplace(zone, target);
        }
    }
    if (const std::string* file = entry("targets-file")) choices.targetsFile = *file;
    return choices;
}

}  // namespace kestrin
