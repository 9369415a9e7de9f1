// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kestrin {

// The program's one short rhythm while the unit sends: the port is read,
// the console catches up and the Rx circle flashes on the same 50 ms beat,
// so the timers fall due together and one wake-up serves them all.
inline constexpr int kRhythmMs = 50;

}  // namespace kestrin
