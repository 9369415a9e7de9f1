#include "analysis/visited_zones.h"

#include <algorithm>

#include "analysis/log_line.h"

namespace kestrin {

void VisitedZones::onLine(LineKind kind, std::span<const std::string> fields) {
    if (kind != LineKind::Data) return;
    // A data line as the log's readers take it; a short or damaged line leaves the zone shown.
    fields_.assign(fields.begin(), fields.end());
    LogDataValues data;
    if (ClassifyLogLine(fields_, data) != LogLineKind::Data) return;
    const std::optional<int> cell = SmallZoneOfSlot(data.zone);
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
