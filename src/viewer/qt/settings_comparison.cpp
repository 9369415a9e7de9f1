// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/qt/settings_comparison.h"

#include <QGridLayout>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "common/qt/close_keys.h"
#include "common/qt/shown_name.h"
#include "settings/settings_format.h"
#include "viewer/qt/labels.h"
#include "viewer/qt/zone_grid_view.h"
#include "viewer/zone_layout.h"

namespace kestrin {

namespace {

// Pale enough that a changed cell's value stays readable on it.
const QColor kChanged(0xff, 0xe8, 0x80);

// Marks the small zones whose texts differ, on both grids; gives how many.
int MarkChanges(ZoneGridView& left, ZoneGridView& right) {
    int changed = 0;
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        if (left.cell(p).text == right.cell(p).text) continue;
        ++changed;
        const std::string toolTip = "Zone " + std::to_string(SmallZoneSlot(p)) + ": \"" +
                                    left.cell(p).text + "\" captured, \"" + right.cell(p).text +
                                    "\" in the file";
        for (ZoneGridView* grid : {&left, &right}) {
            ZoneCell cell = grid->cell(p);
            cell.marked = true;
            cell.shade = kChanged;
            cell.toolTip = toolTip;
            grid->setCell(p, cell);
        }
    }
    return changed;
}

}  // namespace

SettingsComparison::SettingsComparison(const SettingsTable& captured, const std::string& path,
                                       const std::string& line)
    : QWidget(nullptr), file_(std::make_unique<SettingsTable>()) {
    setObjectName(QStringLiteral("frmCompareSettings"));
    const QString name = ShownName(path.substr(path.find_last_of('/') + 1));
    setWindowTitle(QStringLiteral("Compare Settings - ") + name);
    setAttribute(Qt::WA_DeleteOnClose);
    CloseWithEscapeOrCtrlW(this);
    MapSettingsLine(line, *file_);

    // Both sides filled as the settings viewer fills its plain view.
    grdCaptured_ = new ZoneGridView(FixedFont(15.75), QColor(), this);
    grdCaptured_->setObjectName(QStringLiteral("grdCaptured"));
    grdFile_ = new ZoneGridView(FixedFont(15.75), QColor(), this);
    grdFile_->setObjectName(QStringLiteral("grdFile"));
    ZoneView view;
    ShowZones(captured, view);
    ShowZoneView(*grdCaptured_, view);
    ShowZones(*file_, view);
    ShowZoneView(*grdFile_, view);
    changed_ = MarkChanges(*grdCaptured_, *grdFile_);

    // The values the grids do not show are counted too, so no change goes unseen.
    int otherChanges = 0;
    for (int slot = SettingsTable::kFirstLoaded; slot < SettingsTable::kSize; ++slot) {
        if (!SmallZoneOfSlot(slot) && captured.at(slot) != file_->at(slot)) ++otherChanges;
    }
    bool nothingLoaded = true;
    for (int slot = SettingsTable::kFirstLoaded; slot < SettingsTable::kSize; ++slot)
        nothingLoaded = nothingLoaded && captured.at(slot).empty();

    QString changed =
        QStringLiteral("Changed: %1 of %2 small zones").arg(changed_).arg(ZoneView::kSmallZones);
    changed += QStringLiteral("; %1 other values").arg(otherChanges);
    if (nothingLoaded)
        changed += QStringLiteral("\nNo settings are loaded: Load Settings reads Settings.txt");
    lblChanged_ = new QLabel(changed, this);
    lblChanged_->setObjectName(QStringLiteral("lblChanged"));

    auto* lblCaptured = new QLabel(QStringLiteral("Captured settings (as loaded)"), this);
    lblCaptured->setObjectName(QStringLiteral("lblCaptured"));
    auto* lblFile = new QLabel(name, this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setTextFormat(Qt::PlainText);
    auto* content = new QWidget;
    auto* layout = new QGridLayout(content);
    layout->addWidget(lblCaptured, 0, 0);
    layout->addWidget(lblFile, 0, 1);
    layout->addWidget(grdCaptured_, 1, 0);
    layout->addWidget(grdFile_, 1, 1);
    layout->addWidget(lblChanged_, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Two grids side by side are wider than a laptop's screen: the window
    // takes what the screen has and scrolls the rest.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrCompare"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    const QSize room = screen()->availableGeometry().size();
    QSize size = content->sizeHint();
    if (size.width() > room.width())
        size.rheight() += scroll->horizontalScrollBar()->sizeHint().height();
    if (size.height() > room.height())
        size.rwidth() += scroll->verticalScrollBar()->sizeHint().width();
    resize(size.boundedTo(room));
}

SettingsComparison::~SettingsComparison() = default;

}  // namespace kestrin
