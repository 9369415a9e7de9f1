// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/qt/settings_viewer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <algorithm>

#include "common/qt/latin1.h"
#include "common/qt/twips.h"
#include "viewer/qt/labels.h"
#include "viewer/qt/zone_grid_view.h"

namespace kestrin {

SettingsViewer::SettingsViewer(const SettingsTable& table, RecordSource& source,
                               const VisitedZones& visited)
    : QWidget(nullptr), table_(table), visited_(visited), subscription_(source, *this) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Current Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Nothing changes the layout after creation, so the window keeps its designed size.
    setFixedSize(Px(14865), Px(9930));

    grid_ = new ZoneGridView(FixedFont(15.75), QColor(), this);
    // The first cell's top left corner at 720, 120.
    grid_->move(Px(720) - ZoneGridView::kMargin, Px(120) - ZoneGridView::kMargin);
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
    grid_->showVisited(visited_);
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
    for (int p = 0; p < ZoneView::kSmallZones; ++p) view.smallZones[p] = grid_->cell(p).text;
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        view.largeZoneValues[k] = Bytes(lblLargeZoneSetting_[k]->text());
        view.largeZoneNumbers[k] = grid_->blockNumber(k);
    }
    return view;
}

void SettingsViewer::writeView(const ZoneView& view) {
    ShowZoneView(*grid_, view);
    for (int k = 0; k < ZoneView::kLargeZones; ++k)
        lblLargeZoneSetting_[k]->setText(Latin1(view.largeZoneValues[k]));
}

}  // namespace kestrin
