// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/corrections.h"

namespace kestrin {

// The option that prints how much more fuel each zone of some logs needs.
inline constexpr const char* kCorrectionsOption = "--corrections";

// Runs "kestrin --corrections [OPTIONS] LOG..." (argv as main has it): the
// table of CorrectionsText on standard output, one summary line on standard
// error, and 0. A log that cannot be read gets a line naming it and the
// reason, and 1; a malformed option or targets file a line saying what is
// wrong (then the usage for an option), and 2. Needs no display.
// With "--settings IN --write-settings OUT" (and --step) it also writes OUT:
// IN with NEW in place of each zone's value, every other byte kept. IN that
// fails the full check and an existing OUT are refused with 1 before the
// logs are read; a zone whose value IN does not hold, or holds other than
// the logs' STNG, is left alone and told.
int RunCorrectionsCommand(int argc, char** argv);

// The corrected settings file of --write-settings: `in`, the line of the
// settings file `inPath` (passing the full check), with NEW in place of the
// value of each zone that has one and whose value there is the logs' STNG,
// every other byte kept, created as `out` and never replacing a file. The
// command and the log window both write it here.
struct SettingsWriteReport {
    bool written = false;
    std::size_t zonesSet = 0;
    // What to tell, in order, without the program's name: each zone left
    // alone and why, then "OUT: zones set: N"; or why nothing was written.
    std::vector<std::string> lines;
};
SettingsWriteReport WriteCorrectedSettings(const std::string& inPath, const std::string& in,
                                           const std::string& out, const CorrectionResult& result);
// The refusal of an existing file: "NAME exists: it is not replaced".
std::string NotReplacedText(const std::string& path);

// Sets the option `name` as the command names it ("--steady", "--where": one
// more condition) from its value's text; on a malformed value, what is wrong.
// Every option but --targets, which names a file for ReadTargetsFile.
std::optional<std::string> SetCorrectionOption(std::string_view name, std::string_view value,
                                               CorrectionOptions& options);

// One line of a targets file, "ZONE AFR" with an optional "#" comment:
// nothing, a target, or malformed.
enum class TargetLine { Empty, Target, Malformed };
TargetLine ParseTargetLine(std::string_view text, std::int64_t& zone, std::int64_t& target);

// Reads a targets file into `targets`: 0; or, with `problem` saying what went
// wrong, 1 when it cannot be read and 2 when a line is malformed or a zone
// has two targets.
int ReadTargetsFile(const std::string& path, std::map<std::int64_t, std::int64_t>& targets,
                    std::string& problem);
// Targets as a targets file holds them, one "ZONE AFR" line each.
std::string TargetsText(const std::map<std::int64_t, std::int64_t>& targets);

// The titles the conditions ask for, each once: those CorrectionData must read.
std::vector<std::string> ConditionTitles(const std::vector<WhereCondition>& conditions);

// The option that compares the zones of a log before and after a change of settings.
inline constexpr const char* kCompareOption = "--compare";

// Runs "kestrin --compare [OPTIONS] BEFORE AFTER": the options of
// --corrections but the settings files, each log on its own, and CompareText
// of the two on standard output; a summary line per log on standard error.
// Exit statuses as for --corrections.
int RunCompareCommand(int argc, char** argv);

}  // namespace kestrin
