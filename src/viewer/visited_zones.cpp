// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/visited_zones.h"

#include <algorithm>

namespace kestrin {

void VisitedZones::onRecord(const Record& record) {
    // A short or damaged line leaves the zone shown.
    if (!record.complete()) return;
    const std::optional<int> cell = SmallZoneOfSlot(*record.zone);
    if (cell) {
        const std::int64_t lines = ++lines_[static_cast<std::size_t>(*cell)];
        most_ = std::max(most_, lines);
    } else if (!current_) {
        return;  // nothing to show changed
    }
    current_ = cell;
    ++changes_;
}

void VisitedZones::Clear() {
    lines_ = {};
    most_ = 0;
    current_.reset();
    ++changes_;
}

}  // namespace kestrin
