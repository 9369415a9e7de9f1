// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "viewer/zone_layout.h"

class QLabel;

namespace kestrin {

class VisitedZones;

// What one small zone of the grid shows, as its owner sets it.
struct ZoneCell {
    // At the top left; a line feed starts another line (a few fit).
    std::string text;
    // At the bottom right, in grey.
    std::string corner;
    // Fills the cell when valid.
    QColor shade;
    // Fills the cell grey instead of its shade: too little lies behind its texts to go by.
    bool greyed = false;
    // A small triangle in the top right corner, for the owner to flag the cell by.
    bool marked = false;
    std::string toolTip;
};

// The small-zone grid: 144 cells of 9 rows by 16 columns, cut by heavy lines into the 24
// large-zone blocks with their numbers in large grey type behind the cells. Every window that
// shows zones shows them here, in these layers from the bottom:
//   the tint of the zones visited while the unit streams, darker the more lines named them;
//   each cell's shade (or grey), over the background given at making;
//   the block numbers, then the cells: a bordered label `lblZone_<p>` with the cell's text, and
//     the corner text and mark;
//   the block lines along the cell borders;
//   the selected cell's frame, when the owner lets cells be selected by a click;
//   the outline of the zone the engine is in now, over everything.
// The cell labels and the block numbers `lblLargeZone_<k>` are named controls; their texts are
// the grid's state, given and read back as bytes.
class ZoneGridView : public QWidget {
    Q_OBJECT

  public:
    // Room around the cells for the block lines and the outline.
    static constexpr int kMargin = 4;

    // `cellFont` writes the cell texts; `background` fills the cells without a shade (none when
    // invalid). The grid has its fixed size; the cells start kMargin pixels in from its corner.
    ZoneGridView(const QFont& cellFont, const QColor& background, QWidget* parent);

    const ZoneCell& cell(int p) const { return cells_[static_cast<std::size_t>(p)]; }
    void setCell(int p, const ZoneCell& cell);
    const std::string& blockNumber(int k) const {
        return blockNumbers_[static_cast<std::size_t>(k)];
    }
    void setBlockNumber(int k, const std::string& text);

    void showVisited(const VisitedZones& zones);
    // The opacity (0 to 255) of cell p's tint; 0 for a cell never visited.
    int tintAlpha(int p) const;
    std::optional<int> outlinedCell() const { return current_; }

    // A click on a cell then selects it.
    void setSelectable(bool selectable) { selectable_ = selectable; }
    void selectCell(int p);
    std::optional<int> selectedCell() const { return selected_; }

  signals:
    void cellSelected(int p);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    class Overlay;

    static QRect cellRect(int p);
    void paintOverCells(QPainter& painter) const;

    std::array<ZoneCell, ZoneView::kSmallZones> cells_{};
    std::array<std::string, ZoneView::kLargeZones> blockNumbers_{};
    std::array<QLabel*, ZoneView::kSmallZones> lblZone_{};
    std::array<QLabel*, ZoneView::kLargeZones> lblLargeZone_{};
    std::vector<QRect> blockLines_;
    QFont cellFont_;
    QColor background_;
    std::array<std::int64_t, ZoneView::kSmallZones> visitedLines_{};
    std::int64_t mostVisited_ = 0;
    std::optional<int> current_;
    bool selectable_ = false;
    std::optional<int> selected_;
};

// Fills the grid from the view as the settings viewer shows settings: each
// cell holds its small-zone text alone, each block its number.
void ShowZoneView(ZoneGridView& grid, const ZoneView& view);

}  // namespace kestrin
