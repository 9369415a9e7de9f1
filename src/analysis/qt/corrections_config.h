// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/correction_choices.h"

namespace kestrin {

// The corrections' options of the log window, kept in the [corrections]
// section of Kestrin.conf from one start to the next. A missing or damaged
// file gives the start values.
CorrectionChoices LoadCorrectionChoices();
void SaveCorrectionChoices(const CorrectionChoices& choices);

}  // namespace kestrin
