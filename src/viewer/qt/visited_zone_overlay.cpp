#include "viewer/qt/visited_zone_overlay.h"

#include <QPainter>
#include <cmath>

#include "common/qt/twips.h"
#include "viewer/visited_zones.h"
#include "viewer/zone_grid_geometry.h"

namespace kestrin {

namespace {

using Geometry = ZoneGridGeometry;

const QColor kTintColour(0x2c, 0xa0, 0x2c);
const QColor kOutlineColour(0xe0, 0x30, 0x00);
constexpr int kOutlineWidth = 4;
// A zone named once is faint but visible; the busiest is strong yet keeps its text readable.
constexpr int kFaintestTint = 40;
constexpr int kStrongestTint = 170;

}  // namespace

VisitedZoneOverlay::VisitedZoneOverlay(Layer layer, QWidget* parent)
    : QWidget(parent), layer_(layer) {
    setObjectName(layer == Layer::Tint ? QStringLiteral("shaVisitedZones")
                                       : QStringLiteral("shaCurrentZone"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The whole grid, with room for the outline beyond the outer cells' borders.
    const QRect grid =
        TwipRect(Geometry::kGridLeft, Geometry::kGridTop,
                 Geometry::kCellPitch * (ZoneView::kColumns - 1) + Geometry::kCellSize,
                 Geometry::kCellPitch * (ZoneView::kRows - 1) + Geometry::kCellSize);
    setGeometry(grid.adjusted(-kOutlineWidth, -kOutlineWidth, kOutlineWidth, kOutlineWidth));
}

void VisitedZoneOverlay::showZones(const VisitedZones& zones) {
    for (int p = 0; p < ZoneView::kSmallZones; ++p) lines_[p] = zones.linesOf(p);
    most_ = zones.mostLines();
    current_ = zones.currentCell();
    update();
}

int VisitedZoneOverlay::tintAlpha(int p) const {
    const std::int64_t lines = lines_[static_cast<std::size_t>(p)];
    if (lines <= 0 || most_ <= 0) return 0;
    // On a log scale, so that a zone passed through still shows beside one the engine idled in.
    const double share =
        std::log1p(static_cast<double>(lines)) / std::log1p(static_cast<double>(most_));
    return kFaintestTint + static_cast<int>(std::lround(share * (kStrongestTint - kFaintestTint)));
}

QRect VisitedZoneOverlay::cellRect(int p) const {
    const int row = p / ZoneView::kColumns;
    const int column = p % ZoneView::kColumns;
    return TwipRect(Geometry::kGridLeft + Geometry::kCellPitch * column,
                    Geometry::kGridTop + Geometry::kCellPitch * row, Geometry::kCellSize,
                    Geometry::kCellSize)
        .translated(-pos());
}

void VisitedZoneOverlay::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (layer_ == Layer::Tint) {
        for (int p = 0; p < ZoneView::kSmallZones; ++p) {
            const int alpha = tintAlpha(p);
            if (alpha == 0) continue;
            QColor colour = kTintColour;
            colour.setAlpha(alpha);
            painter.fillRect(cellRect(p), colour);
        }
        return;
    }
    if (!current_) return;
    QPen pen(kOutlineColour, kOutlineWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Centred on the cell's border, so that it stands out over the block lines.
    painter.drawRect(cellRect(*current_).adjusted(0, 0, -1, -1));
}

}  // namespace kestrin
