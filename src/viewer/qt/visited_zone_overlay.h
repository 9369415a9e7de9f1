#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "viewer/zone_layout.h"

namespace kestrin {

class VisitedZones;

// Drawn over the viewer's small-zone grid while the unit streams, without
// touching the cells: either the tint of the zones visited, darker the more
// lines named them, or the outline of the zone the engine is in now. Placed
// under the cells (tint) or over them (outline); lets the mouse through and
// draws nothing while no zone was visited.
class VisitedZoneOverlay : public QWidget {
  public:
    enum class Layer { Tint, Outline };

    VisitedZoneOverlay(Layer layer, QWidget* parent);

    void showZones(const VisitedZones& zones);
    std::optional<int> outlinedCell() const { return current_; }
    // The opacity (0 to 255) of cell p's tint; 0 for a cell never visited.
    int tintAlpha(int p) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect cellRect(int p) const;

    Layer layer_;
    std::array<std::int64_t, ZoneView::kSmallZones> lines_{};
    std::int64_t most_ = 0;
    std::optional<int> current_;
};

}  // namespace kestrin
