// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>

#include "intake/record.h"
#include "settings/settings_table.h"
#include "viewer/zone_layout.h"

class QCheckBox;
class QLabel;

namespace kestrin {

class VisitedZones;
class ZoneGridView;

// The "Current Settings" window: the settings table as a grid of 144 small zones in 24 large-zone
// blocks, a row of the 24 large-zone values, and a check box that switches the grid between the
// plain and the added view. It is a top-level window of its own, so it stays open and working
// when the main window goes away, and it deletes itself when closed.
//
// While the unit streams it outlines the zone the engine is in and tints the zones visited, over
// and under the cells, their texts left as they are: it takes the records of `source` and shows
// `visited` (counted by whoever owns it) a few times a second at most.
class SettingsViewer : public QWidget, private RecordSubscriber {
    Q_OBJECT

  public:
    // New visited zones are shown together, at most this often.
    static constexpr int kVisitedRepaintMs = 250;

    // Made and loaded from `table`, then shown. `table` and `visited` must outlive the window
    // (they live as long as the program); `source` may go first.
    SettingsViewer(const SettingsTable& table, RecordSource& source, const VisitedZones& visited);

    // Shows the visited zones as they are now: after they were cleared, or to test.
    void showVisitedZones();
    ZoneGridView* grid() const { return grid_; }

  private:
    void onRecord(const Record& record) override;

    void buildLargeZoneRow();

    void Form_Load();
    void chkAddZones_Click();
    void ShowZones();
    void AddZones();

    // The texts shown are the view's only state: the added view is computed from them.
    ZoneView readView() const;
    void writeView(const ZoneView& view);

    const SettingsTable& table_;
    ZoneGridView* grid_ = nullptr;
    std::array<QLabel*, ZoneView::kLargeZones> lblLargeZoneSetting_{};
    QCheckBox* chkAddZones_ = nullptr;
    const VisitedZones& visited_;
    QTimer visitedTimer_;
    RecordSubscription subscription_;
};

}  // namespace kestrin
