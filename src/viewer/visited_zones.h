// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "intake/record.h"
#include "viewer/zone_layout.h"

namespace kestrin {

// Where the engine is on the settings grid while the unit streams: the small
// zone named by the newest complete data line, and how many such lines named
// each small zone since the last Clear. Zones outside the grid are not counted.
class VisitedZones : public RecordSubscriber {
  public:
    void onRecord(const Record& record) override;
    void Clear();

    // The small zone of the newest data line; nothing when that line named
    // no zone of the grid (or none came since the last Clear).
    std::optional<int> currentCell() const { return current_; }
    std::int64_t linesOf(int p) const { return lines_[static_cast<std::size_t>(p)]; }
    // The largest count of any small zone.
    std::int64_t mostLines() const { return most_; }
    // Grows with every change, so that a view can tell whether to repaint.
    std::uint64_t changes() const { return changes_; }

  private:
    std::array<std::int64_t, ZoneView::kSmallZones> lines_{};
    std::int64_t most_ = 0;
    std::optional<int> current_;
    std::uint64_t changes_ = 0;
};

}  // namespace kestrin
