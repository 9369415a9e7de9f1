#pragma once

#include <QWidget>
#include <array>

#include "settings/settings_table.h"
#include "viewer/zone_layout.h"

class QCheckBox;
class QCloseEvent;
class QLabel;

namespace kestrin {

class VisitedZoneOverlay;
class VisitedZones;

// The "Current Settings" window: the settings table as a grid of 144 small zones in 24 large-zone
// blocks, a row of the 24 large-zone values, and a check box that switches the grid between the
// plain and the added view. It is a top-level window of its own, so it stays open and working
// when the main window goes away, and it deletes itself when closed.
class SettingsViewer : public QWidget {
    Q_OBJECT

  public:
    // Shows the one viewer. When none is open it is created and loaded from `table`; an open one
    // is only brought to the front, its texts left as they are. `table` must outlive the window
    // (the program's table lives as long as the program).
    static SettingsViewer* open(const SettingsTable& table);
    // The viewer that is open now, or nullptr.
    static SettingsViewer* current();

    ~SettingsViewer() override;

    // While the unit streams: outlines the zone the engine is in and tints the zones visited,
    // over and under the cells; their texts stay as they are.
    void showVisitedZones(const VisitedZones& zones);
    VisitedZoneOverlay* visitedOverlay() const { return shaVisitedZones_; }
    VisitedZoneOverlay* currentZoneOverlay() const { return shaCurrentZone_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    explicit SettingsViewer(const SettingsTable& table);

    void buildGrid();
    void buildLines();
    void buildLargeZoneRow();

    void Form_Load();
    void chkAddZones_Click();
    void ShowZones();
    void AddZones();

    // The labels are the view's only state: the added view is computed from what they show.
    ZoneView readView() const;
    void writeView(const ZoneView& view);

    const SettingsTable& table_;
    std::array<QLabel*, ZoneView::kSmallZones> lblZone_{};
    std::array<QLabel*, ZoneView::kLargeZones> lblLargeZone_{};
    std::array<QLabel*, ZoneView::kLargeZones> lblLargeZoneSetting_{};
    QCheckBox* chkAddZones_ = nullptr;
    VisitedZoneOverlay* shaVisitedZones_ = nullptr;
    VisitedZoneOverlay* shaCurrentZone_ = nullptr;
};

}  // namespace kestrin
