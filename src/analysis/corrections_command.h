#pragma once

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

// The option that compares the zones of a log before and after a change of settings.
inline constexpr const char* kCompareOption = "--compare";

// Runs "kestrin --compare [OPTIONS] BEFORE AFTER": the options of
// --corrections but the settings files, each log on its own, and CompareText
// of the two on standard output; a summary line per log on standard error.
// Exit statuses as for --corrections.
int RunCompareCommand(int argc, char** argv);

}  // namespace kestrin
