#pragma once

namespace kestrin {

// The option that prints how much more fuel each zone of some logs needs.
inline constexpr const char* kCorrectionsOption = "--corrections";

// Runs "kestrin --corrections [OPTIONS] LOG..." (argv as main has it): the
// table of CorrectionsText on standard output, one summary line on standard
// error, and 0. A log that cannot be read gets a line naming it and the
// reason, and 1; a malformed option or targets file a line saying what is
// wrong (then the usage for an option), and 2. Needs no display.
int RunCorrectionsCommand(int argc, char** argv);

}  // namespace kestrin
