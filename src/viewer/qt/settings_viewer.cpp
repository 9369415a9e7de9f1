#include "viewer/qt/settings_viewer.h"

#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <algorithm>

#include "common/qt/latin1.h"
#include "common/qt/twips.h"
#include "viewer/qt/visited_zone_overlay.h"
#include "viewer/zone_grid_geometry.h"

namespace kestrin {

namespace {

constexpr int kGridLeft = ZoneGridGeometry::kGridLeft;
constexpr int kGridTop = ZoneGridGeometry::kGridTop;
constexpr int kCellPitch = ZoneGridGeometry::kCellPitch;
constexpr int kCellSize = ZoneGridGeometry::kCellSize;

// Block boundaries are drawn a little heavier than the cell borders so the blocks stand out.
constexpr int kLineThickness = 3;
const QColor kLineColour(0x20, 0x20, 0x20);
// Light enough that the cell values stay readable on top of the block numbers.
const QColor kBlockNumberColour(0xC8, 0xC8, 0xC8);

// The fonts are Windows faces; where they are missing the style hint picks a look-alike.
QFont FixedFont(qreal points) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QFont SansFont(qreal points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

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

// Widgets of a control array are named "<name>_<index>" and carry the index as a property.
void NameElement(QWidget* widget, const char* name, int index) {
    widget->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index));
    widget->setProperty("index", index);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    // Texts come from a file: never let one be taken for markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    label->setGeometry(geometry);
    return label;
}

void MakeBordered(QLabel* label) {
    label->setFrameShape(QFrame::Box);
    label->setFrameShadow(QFrame::Plain);
    label->setLineWidth(1);
}

}  // namespace

SettingsViewer::SettingsViewer(const SettingsTable& table, RecordSource& source,
                               const VisitedZones& visited)
    : QWidget(nullptr), table_(table), visited_(visited), subscription_(source, *this) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Current Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Nothing changes the layout after creation, so the window keeps its designed size.
    setFixedSize(Px(14865), Px(9930));

    // Creation order is stacking order: the tint of visited zones and the block numbers at the
    // bottom, the transparent cells over them, the block lines on top along the cell borders,
    // and the outline of the current zone over everything.
    shaVisitedZones_ = new VisitedZoneOverlay(VisitedZoneOverlay::Layer::Tint, this);
    buildGrid();
    buildLines();
    shaCurrentZone_ = new VisitedZoneOverlay(VisitedZoneOverlay::Layer::Outline, this);
    buildLargeZoneRow();

    chkAddZones_ = new QCheckBox(QStringLiteral("Add Large Zones To Small Zones"), this);
    chkAddZones_->setObjectName(QStringLiteral("chkAddZones"));
    QRect box = TwipRect(6000, 9360, 2775, 375);
    // Keep the whole caption visible where the default font is wider than the designed one.
    box.setWidth(std::max(box.width(), chkAddZones_->sizeHint().width()));
    chkAddZones_->setGeometry(box);
    chkAddZones_->setChecked(false);
    connect(chkAddZones_, &QCheckBox::toggled, this, [this] { chkAddZones_Click(); });

    visitedTimer_.setSingleShot(true);
    visitedTimer_.setInterval(kVisitedRepaintMs);
    connect(&visitedTimer_, &QTimer::timeout, this, &SettingsViewer::showVisitedZones);
    showVisitedZones();
    Form_Load();
}

void SettingsViewer::buildGrid() {
    // Bounding cells of each block, in grid rows and columns.
    std::array<QRect, ZoneView::kLargeZones> blocks{};
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const QRect cell(p % ZoneView::kColumns, p / ZoneView::kColumns, 1, 1);
        QRect& block = blocks[LargeZoneOf(p)];
        block = block.isNull() ? cell : block.united(cell);
    }

    // Leaves a few pixels between a number and the block lines on either side.
    const int narrowestBlock = Px(kCellPitch * 2) - 2 * kLineThickness - 6;
    const QFont numberFont = BlockNumberFont(narrowestBlock);
    const QFontMetrics numberMetrics(numberFont);
    QPalette numberPalette = palette();
    numberPalette.setColor(QPalette::Disabled, QPalette::WindowText, kBlockNumberColour);
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        const QRect& block = blocks[k];
        const int left = Px(kGridLeft + kCellPitch * block.left());
        const int right = Px(kGridLeft + kCellPitch * (block.right() + 1));
        const int top = Px(kGridTop + kCellPitch * block.top()) + Px(block.top() >= 6 ? 480 : 120);
        // Centred on the block, and never narrower than its number.
        const int width =
            std::max(right - left, numberMetrics.horizontalAdvance(QString::number(k)) + 4);
        const int centre = (left + right) / 2;
        auto* number = MakeLabel(this, "lblLargeZone", QStringLiteral("0"), numberFont,
                                 QRect(centre - width / 2, top, width, numberMetrics.height()));
        NameElement(number, "lblLargeZone", k);
        number->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        number->setPalette(numberPalette);
        number->setEnabled(false);
        lblLargeZone_[k] = number;
    }

    const QFont cellFont = FixedFont(15.75);
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const int row = p / ZoneView::kColumns;
        const int column = p % ZoneView::kColumns;
        auto* cell = MakeLabel(this, "lblZone", QStringLiteral("-127"), cellFont,
                               TwipRect(kGridLeft + kCellPitch * column,
                                        kGridTop + kCellPitch * row, kCellSize, kCellSize));
        NameElement(cell, "lblZone", p);
        MakeBordered(cell);
        // Keeps the first glyph clear of the heavier block lines.
        cell->setContentsMargins(1, 1, 0, 0);
        lblZone_[p] = cell;
    }
}

void SettingsViewer::buildLines() {
    const auto line = [this](const char* name, int index, const QRect& geometry) {
        auto* frame = new QFrame(this);
        NameElement(frame, name, index);
        frame->setFrameShape(QFrame::NoFrame);
        QPalette colours = frame->palette();
        colours.setColor(QPalette::Window, kLineColour);
        frame->setPalette(colours);
        frame->setAutoFillBackground(true);
        frame->setGeometry(geometry);
    };
    const int half = kLineThickness / 2;
    const auto& xs = ZoneGridGeometry::kBlockLineXs;
    const auto& ys = ZoneGridGeometry::kBlockLineYs;
    for (int i = 0; i < static_cast<int>(xs.size()); ++i) {
        line("Line2", i,
             QRect(Px(xs[i]) - half, Px(ys.front()) - half, kLineThickness,
                   Px(ys.back()) - Px(ys.front()) + kLineThickness));
    }
    for (int i = 0; i < static_cast<int>(ys.size()); ++i) {
        line("Line1", i,
             QRect(Px(xs.front()) - half, Px(ys[i]) - half,
                   Px(xs.back()) - Px(xs.front()) + kLineThickness, kLineThickness));
    }
}

void SettingsViewer::buildLargeZoneRow() {
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(TwipRect(120, 7800, 14655, 1335));

    auto* title = MakeLabel(frame, "Label4", QStringLiteral("Large Zone Settings:"),
                            SansFont(12, true), TwipRect(120, 120, 2655, 375));
    // A stand-in for Arial may be wider; the space to the right of the title is free.
    title->resize(std::max(title->width(), title->sizeHint().width()), title->height());
    MakeLabel(frame, "Label2", QStringLiteral(" 0   1   2   3   4   5   6   7   8   9"),
              FixedFont(12), TwipRect(240, 480, 5775, 255));
    MakeLabel(frame, "Label3",
              QStringLiteral("10  11  12  13  14  15  16  17  18  19  20  21  22  23"),
              FixedFont(12), TwipRect(6240, 465, 8175, 255));

    const QFont valueFont = FixedFont(11.25);
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        auto* value = MakeLabel(frame, "lblLargeZoneSetting", QStringLiteral("+129"), valueFont,
                                TwipRect(120 + 600 * k, 720, 615, 375));
        NameElement(value, "lblLargeZoneSetting", k);
        MakeBordered(value);
        lblLargeZoneSetting_[k] = value;
    }
}

void SettingsViewer::showVisitedZones() {
    visitedTimer_.stop();
    shaVisitedZones_->showZones(visited_);
    shaCurrentZone_->showZones(visited_);
}

void SettingsViewer::onRecord(const Record& record) {
    if (record.complete() && !visitedTimer_.isActive()) visitedTimer_.start();
}

void SettingsViewer::Form_Load() {
    show();
    ShowZones();
}

void SettingsViewer::chkAddZones_Click() {
    if (chkAddZones_->isChecked()) {
        AddZones();
    } else {
        ShowZones();
    }
}

void SettingsViewer::ShowZones() {
    ZoneView view;
    kestrin::ShowZones(table_, view);
    writeView(view);
}

void SettingsViewer::AddZones() {
    ZoneView view = readView();
    kestrin::AddZones(view);
    writeView(view);
}

ZoneView SettingsViewer::readView() const {
    ZoneView view;
    for (int p = 0; p < ZoneView::kSmallZones; ++p) view.smallZones[p] = Bytes(lblZone_[p]->text());
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        view.largeZoneValues[k] = Bytes(lblLargeZoneSetting_[k]->text());
        view.largeZoneNumbers[k] = Bytes(lblLargeZone_[k]->text());
    }
    return view;
}

void SettingsViewer::writeView(const ZoneView& view) {
    for (int p = 0; p < ZoneView::kSmallZones; ++p)
        lblZone_[p]->setText(Latin1(view.smallZones[p]));
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        lblLargeZoneSetting_[k]->setText(Latin1(view.largeZoneValues[k]));
        lblLargeZone_[k]->setText(Latin1(view.largeZoneNumbers[k]));
    }
}

}  // namespace kestrin
