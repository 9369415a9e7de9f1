// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/qt/zone_grid_view.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <set>

#include "common/qt/latin1.h"
#include "common/qt/twips.h"
#include "viewer/qt/labels.h"
#include "viewer/visited_zones.h"

namespace kestrin {

namespace {

// The cell of row r, column c lies kCellPitch * c, kCellPitch * r twips from the grid's
// corner and is kCellSize square, so that neighbouring cells overlap by one pixel and their
// borders coincide.
constexpr int kCellPitch = 840;
constexpr int kCellSize = 855;

// Block lines are a little heavier than the cell borders so the blocks stand out.
constexpr int kLineThickness = 3;
const QColor kLineColour(0x20, 0x20, 0x20);
// Light enough that the cell texts stay readable on top of the block numbers.
const QColor kBlockNumberColour(0xC8, 0xC8, 0xC8);
const QColor kGreyed(0xee, 0xee, 0xee);
const QColor kCornerText(Qt::darkGray);
const QColor kMarkColour(0x20, 0x20, 0x20);
constexpr int kMarkSize = 8;
const QColor kSelected(0xff, 0x8c, 0x00);
constexpr int kSelectedWidth = 3;
const QColor kTintColour(0x2c, 0xa0, 0x2c);
const QColor kOutlineColour(0xe0, 0x30, 0x00);
constexpr int kOutlineWidth = 4;
static_assert(kOutlineWidth <= ZoneGridView::kMargin);
// A zone named once is faint but visible; the busiest is strong yet keeps its text readable.
constexpr int kFaintestTint = 40;
constexpr int kStrongestTint = 170;

// Arial's digits fit a two-column block at 72 points. A wider stand-in is scaled down until the
// widest block number fits the narrowest block, so neighbouring numbers never run together.
QFont BlockNumberFont(int narrowestBlock) {
    QFont font = SansFont(72, false);
    int widest = 0;
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        widest = std::max(widest, QFontMetrics(font).horizontalAdvance(QString::number(k)));
    }
    if (widest > narrowestBlock) font.setPointSizeF(72.0 * narrowestBlock / widest);
    return font;
}

}  // namespace

// Paints what lies over the cell labels; lets the mouse through to them.
class ZoneGridView::Overlay : public QWidget {
  public:
    explicit Overlay(ZoneGridView* grid) : QWidget(grid), grid_(grid) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(grid->rect());
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        grid_->paintOverCells(painter);
    }

  private:
    const ZoneGridView* grid_;
};

ZoneGridView::ZoneGridView(const QFont& cellFont, const QColor& background, QWidget* parent)
    : QWidget(parent), cellFont_(cellFont), background_(background) {
    setObjectName(QStringLiteral("grdZones"));
    const QRect last = cellRect(ZoneView::kSmallZones - 1);
    setFixedSize(last.right() + 1 + kMargin, last.bottom() + 1 + kMargin);

    // Each block's cells, and the grid rows and columns along which blocks meet.
    std::array<QRect, ZoneView::kLargeZones> blocks{};
    std::set<int> columnEdges;
    std::set<int> rowEdges;
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const QRect cell(p % ZoneView::kColumns, p / ZoneView::kColumns, 1, 1);
        QRect& block = blocks[LargeZoneOf(p)];
        block = block.isNull() ? cell : block.united(cell);
    }
    for (const QRect& block : blocks) {
        columnEdges.insert({block.left(), block.right() + 1});
        rowEdges.insert({block.top(), block.bottom() + 1});
    }

    // Creation order is stacking order: block numbers, cells, then what lies over them.
    // A number leaves a few pixels between itself and the block lines on either side.
    const QFont numberFont = BlockNumberFont(Px(kCellPitch * 2) - 2 * kLineThickness - 6);
    const QFontMetrics numberMetrics(numberFont);
    QPalette numberPalette = palette();
    numberPalette.setColor(QPalette::Disabled, QPalette::WindowText, kBlockNumberColour);
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        const QRect& block = blocks[k];
        const int left = kMargin + Px(kCellPitch * block.left());
        const int right = kMargin + Px(kCellPitch * (block.right() + 1));
        // The bottom band is taller: its numbers stand lower.
        const int top = kMargin + Px(kCellPitch * block.top()) + Px(block.top() >= 6 ? 480 : 120);
        // Centred on the block, and never narrower than its number.
        const int width =
            std::max(right - left, numberMetrics.horizontalAdvance(QString::number(k)) + 4);
        const int centre = (left + right) / 2;
        blockNumbers_[k] = std::to_string(k);
        auto* number = MakeLabel(this, "lblLargeZone", Latin1(blockNumbers_[k]), numberFont,
                                 QRect(centre - width / 2, top, width, numberMetrics.height()));
        NameElement(number, "lblLargeZone", k);
        number->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        number->setPalette(numberPalette);
        number->setEnabled(false);
        lblLargeZone_[k] = number;
    }
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        auto* label = MakeLabel(this, "lblZone", QString(), cellFont_, cellRect(p));
        NameElement(label, "lblZone", p);
        MakeBordered(label);
        // Keeps the first glyph clear of the heavier block lines.
        label->setContentsMargins(1, 1, 0, 0);
        lblZone_[p] = label;
    }

    const int half = kLineThickness / 2;
    const QPoint first = cellRect(0).topLeft();
    const int width = Px(kCellPitch * ZoneView::kColumns) + kLineThickness;
    const int height = Px(kCellPitch * ZoneView::kRows) + kLineThickness;
    for (int column : columnEdges)
        blockLines_.emplace_back(first.x() + Px(kCellPitch * column) - half, first.y() - half,
                                 kLineThickness, height);
    for (int row : rowEdges)
        blockLines_.emplace_back(first.x() - half, first.y() + Px(kCellPitch * row) - half, width,
                                 kLineThickness);
    new Overlay(this);
}

QRect ZoneGridView::cellRect(int p) {
    const int row = p / ZoneView::kColumns;
    const int column = p % ZoneView::kColumns;
    return TwipRect(kCellPitch * column, kCellPitch * row, kCellSize, kCellSize)
        .translated(kMargin, kMargin);
}

void ZoneGridView::setCell(int p, const ZoneCell& cell) {
    cells_[static_cast<std::size_t>(p)] = cell;
    QLabel* label = lblZone_[static_cast<std::size_t>(p)];
    label->setText(Latin1(cell.text));
    label->setToolTip(cell.toolTip.empty() ? QString()
                                           : Qt::convertFromPlainText(Latin1(cell.toolTip)));
    update();
}

void ZoneGridView::setBlockNumber(int k, const std::string& text) {
    blockNumbers_[static_cast<std::size_t>(k)] = text;
    lblLargeZone_[static_cast<std::size_t>(k)]->setText(Latin1(text));
}

void ZoneGridView::showVisited(const VisitedZones& zones) {
    for (int p = 0; p < ZoneView::kSmallZones; ++p) visitedLines_[p] = zones.linesOf(p);
    mostVisited_ = zones.mostLines();
    current_ = zones.currentCell();
    update();
}

int ZoneGridView::tintAlpha(int p) const {
    const std::int64_t lines = visitedLines_[static_cast<std::size_t>(p)];
    if (lines <= 0 || mostVisited_ <= 0) return 0;
    // On a log scale, so that a zone passed through still shows beside one the engine idled in.
    const double share =
        std::log1p(static_cast<double>(lines)) / std::log1p(static_cast<double>(mostVisited_));
    return kFaintestTint + static_cast<int>(std::lround(share * (kStrongestTint - kFaintestTint)));
}

void ZoneGridView::selectCell(int p) {
    selected_ = p;
    update();
    emit cellSelected(p);
}

void ZoneGridView::mousePressEvent(QMouseEvent* event) {
    if (!selectable_) return QWidget::mousePressEvent(event);
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        if (cellRect(p).contains(event->position().toPoint())) return selectCell(p);
    }
}

void ZoneGridView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const int alpha = tintAlpha(p);
        if (alpha == 0) continue;
        QColor colour = kTintColour;
        colour.setAlpha(alpha);
        painter.fillRect(cellRect(p), colour);
    }
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const ZoneCell& cell = cells_[p];
        const QColor& fill = cell.greyed            ? kGreyed
                             : cell.shade.isValid() ? cell.shade
                                                    : background_;
        if (fill.isValid()) painter.fillRect(cellRect(p), fill);
    }
}

void ZoneGridView::paintOverCells(QPainter& painter) const {
    painter.setFont(cellFont_);
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const ZoneCell& cell = cells_[p];
        const QRect box = cellRect(p);
        if (!cell.corner.empty()) {
            painter.setPen(kCornerText);
            painter.drawText(box.adjusted(3, 2, -3, -2), Qt::AlignRight | Qt::AlignBottom,
                             Latin1(cell.corner));
        }
        if (cell.marked) {
            const QPoint corner = box.topRight() + QPoint(-1, 1);
            const QPoint mark[] = {corner, corner - QPoint(kMarkSize, 0),
                                   corner + QPoint(0, kMarkSize)};
            painter.setPen(Qt::NoPen);
            painter.setBrush(kMarkColour);
            painter.drawPolygon(mark, 3);
            painter.setBrush(Qt::NoBrush);
        }
    }
    for (const QRect& line : blockLines_) painter.fillRect(line, kLineColour);
    if (selected_) {
        painter.setPen(QPen(kSelected, kSelectedWidth));
        painter.drawRect(cellRect(*selected_).adjusted(1, 1, -2, -2));
    }
    if (current_) {
        QPen pen(kOutlineColour, kOutlineWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        // Centred on the cell's border, so that it stands out over the block lines.
        painter.drawRect(cellRect(*current_).adjusted(0, 0, -1, -1));
    }
}

void ShowZoneView(ZoneGridView& grid, const ZoneView& view) {
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        ZoneCell cell;
        cell.text = view.smallZones[p];
        grid.setCell(p, cell);
    }
    for (int k = 0; k < ZoneView::kLargeZones; ++k)
        grid.setBlockNumber(k, view.largeZoneNumbers[k]);
}

}  // namespace kestrin
