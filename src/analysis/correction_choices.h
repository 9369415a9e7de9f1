// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/corrections.h"

namespace kestrin {

// The corrections' options as a person types them, each in the command's
// own form ("1", "10.01:19.8", "CLT >= 70"), so that a window reads them by
// the same rules as the command line and keeps them between starts.
struct CorrectionChoices {
    std::string steady = "1";
    std::string delay = "0";
    std::string afrRange = "10.01:19.8";
    std::vector<std::string> where;
    std::string target = "14.7";
    std::string targetsFile;  // where the targets were last loaded from or saved to
    std::map<std::int64_t, std::int64_t> targets;  // zone to hundredths
    std::string minLines = "10";
    std::string maxChange = "10";
    std::string step;  // empty: none

    bool operator==(const CorrectionChoices&) const = default;
};

// The options the choices give; or what is wrong with the first malformed
// one, in the command's words.
std::optional<std::string> ApplyChoices(const CorrectionChoices& choices,
                                        CorrectionOptions& options);

// The choices as the entries of a configuration section, and back. A
// missing entry, or one the command would refuse, keeps its start value:
// a damaged file costs that option, not the rest.
std::map<std::string, std::string> ChoiceEntries(const CorrectionChoices& choices);
CorrectionChoices ChoicesFromEntries(const std::map<std::string, std::string>& entries);

}  // namespace kestrin
