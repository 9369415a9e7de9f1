#include "analysis/qt/zone_grid.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "common/qt/latin1.h"
#include "common/qt/twips.h"
#include "viewer/zone_grid_geometry.h"

namespace kestrin {

namespace {

using Geometry = ZoneGridGeometry;

// Air-fuel ratios at which the shading is palest and deepest.
constexpr double kStoichiometric = 14.7;
constexpr double kFullShade = 3.0;
const QColor kRich(0x4a, 0x7d, 0xff);
const QColor kLean(0xff, 0x4a, 0x3a);
const QColor kFewLines(0xee, 0xee, 0xee);
const QColor kBlockNumber(0xdd, 0xdd, 0xdd);
const QColor kSelected(0xff, 0x8c, 0x00);
constexpr int kBlockLine = 3;

QColor Blend(const QColor& from, const QColor& to, double share) {
    const auto mix = [share](int a, int b) { return static_cast<int>(a + (b - a) * share); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}

QColor Shade(std::int64_t meanHundredths) {
    const double offset =
        (static_cast<double>(meanHundredths) / 100 - kStoichiometric) / kFullShade;
    const double share = std::clamp(std::abs(offset), 0.0, 1.0) * 0.8;
    return Blend(Qt::white, offset < 0 ? kRich : kLean, share);
}

}  // namespace

ZoneGrid::ZoneGrid(const SettingsTable& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName(QStringLiteral("grdZones"));
    setMouseTracking(false);
    QFont small = font();
    small.setPointSizeF(7.5);
    setFont(small);
}

std::int64_t ZoneGrid::ZoneOfCell(int p) { return SmallZoneSlot(p); }

std::optional<int> ZoneGrid::CellOfZone(std::int64_t zone) { return SmallZoneOfSlot(zone); }

void ZoneGrid::setZoneTable(const ZoneTable& table) {
    cells_ = {};
    outsideLines_ = 0;
    outsideZones_ = 0;
    for (const auto& [zone, summary] : table.zones()) {
        const std::optional<int> p = CellOfZone(zone);
        if (!p) {
            outsideLines_ += summary.lines;
            ++outsideZones_;
            continue;
        }
        cells_[*p] = {summary.lines, summary.meanHundredths(), summary.setting};
    }
    update();
}

void ZoneGrid::setMinimumLines(int lines) {
    minimumLines_ = std::max(1, lines);
    update();
}

QString ZoneGrid::cellText(int p) const {
    const Cell& cell = cells_[p];
    if (cell.lines == 0) return QString();
    QString text = QString::number(cell.lines);
    if (cell.lines >= minimumLines_)
        text += QLatin1Char('\n') + Latin1(HundredthsAsText(cell.meanHundredths));
    return text;
}

QString ZoneGrid::cellToolTip(int p) const {
    const Cell& cell = cells_[p];
    QString tip = QStringLiteral("Zone %1 (small zone %2, block %3)\n%4 lines")
                      .arg(ZoneOfCell(p))
                      .arg(p)
                      .arg(LargeZoneOf(p))
                      .arg(cell.lines);
    if (cell.lines > 0)
        tip += QStringLiteral(", mean AFR %1").arg(Latin1(HundredthsAsText(cell.meanHundredths)));
    if (!cell.logSetting.empty())
        tip += QStringLiteral("\nSTNG in the log: ") + Latin1(cell.logSetting);
    const std::string& setting = settings_.at(SmallZoneSlot(p));
    tip += setting.empty() ? QStringLiteral("\nNo setting loaded")
                           : QStringLiteral("\nSetting: ") + Latin1(setting);
    return tip;
}

void ZoneGrid::selectCell(int p) {
    selected_ = p;
    update();
    emit zoneSelected(ZoneOfCell(p));
}

QRect ZoneGrid::cellRect(int p) const {
    const int row = p / ZoneView::kColumns;
    const int column = p % ZoneView::kColumns;
    return TwipRect(Geometry::kCellPitch * column, Geometry::kCellPitch * row, Geometry::kCellSize,
                    Geometry::kCellSize)
        .translated(kBlockLine, kBlockLine);
}

std::optional<int> ZoneGrid::cellAt(const QPoint& point) const {
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        if (cellRect(p).contains(point)) return p;
    }
    return std::nullopt;
}

QSize ZoneGrid::sizeHint() const {
    const QRect last = cellRect(ZoneView::kSmallZones - 1);
    return {last.right() + 1 + kBlockLine, last.bottom() + 1 + kBlockLine};
}

void ZoneGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());

    // Blocks with their numbers behind the cells, as in the settings viewer.
    std::array<QRect, ZoneView::kLargeZones> blocks{};
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        QRect& block = blocks[LargeZoneOf(p)];
        block = block.isNull() ? cellRect(p) : block.united(cellRect(p));
    }
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const Cell& cell = cells_[p];
        const QRect box = cellRect(p);
        QColor fill = Qt::white;
        if (cell.lines > 0)
            fill = cell.lines >= minimumLines_ ? Shade(cell.meanHundredths) : kFewLines;
        painter.fillRect(box, fill);
    }
    QFont numberFont = font();
    numberFont.setPointSizeF(36);
    painter.setFont(numberFont);
    painter.setPen(kBlockNumber);
    for (int k = 0; k < ZoneView::kLargeZones; ++k)
        painter.drawText(blocks[k], Qt::AlignCenter, QString::number(k));

    painter.setFont(font());
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const QRect box = cellRect(p);
        painter.setPen(QPen(Qt::gray, 1));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.drawText(box.adjusted(3, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop, cellText(p));
        const std::string& setting = settings_.at(SmallZoneSlot(p));
        if (!setting.empty()) {
            painter.setPen(Qt::darkGray);
            painter.drawText(box.adjusted(3, 2, -3, -2), Qt::AlignRight | Qt::AlignBottom,
                             Latin1(setting));
        }
    }
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), kBlockLine));
    for (const QRect& block : blocks) painter.drawRect(block);
    if (selected_) {
        painter.setPen(QPen(kSelected, 3));
        painter.drawRect(cellRect(*selected_).adjusted(1, 1, -2, -2));
    }
}

void ZoneGrid::mousePressEvent(QMouseEvent* event) {
    if (const std::optional<int> p = cellAt(event->position().toPoint())) selectCell(*p);
}

bool ZoneGrid::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const std::optional<int> p = cellAt(help->pos())) {
            QToolTip::showText(help->globalPos(), cellToolTip(*p), this, cellRect(*p));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

}  // namespace kestrin
