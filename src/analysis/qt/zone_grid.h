#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/zone_table.h"
#include "settings/settings_table.h"
#include "viewer/zone_layout.h"

namespace kestrin {

// The zone table of a log on the small-zone grid of the settings viewer:
// each cell shows how many data lines name its zone and, from a minimum
// number of lines on, their mean air-fuel ratio, shaded from rich (blue) to
// lean (red), and the setting of its zone when settings are loaded. Clicking
// a cell selects its zone.
class ZoneGrid : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kDefaultMinimumLines = 10;

    // `settings` must outlive the grid.
    ZoneGrid(const SettingsTable& settings, QWidget* parent = nullptr);

    void setZoneTable(const ZoneTable& table);
    void setMinimumLines(int lines);
    int minimumLines() const { return minimumLines_; }

    // The zone number of small zone p, and the small zone of a zone number.
    static std::int64_t ZoneOfCell(int p);
    static std::optional<int> CellOfZone(std::int64_t zone);

    // What cell p shows: its line count, then its mean when it has enough lines.
    QString cellText(int p) const;
    QString cellToolTip(int p) const;
    // Data lines and zones of the log that lie outside the grid.
    std::int64_t outsideLines() const { return outsideLines_; }
    int outsideZones() const { return outsideZones_; }
    std::optional<int> selectedCell() const { return selected_; }
    void selectCell(int p);

    QSize sizeHint() const override;

  signals:
    void zoneSelected(std::int64_t zone);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    struct Cell {
        std::int64_t lines = 0;
        std::int64_t meanHundredths = 0;
        std::string logSetting;
    };
    QRect cellRect(int p) const;
    std::optional<int> cellAt(const QPoint& point) const;

    const SettingsTable& settings_;
    std::array<Cell, ZoneView::kSmallZones> cells_{};
    std::int64_t outsideLines_ = 0;
    int outsideZones_ = 0;
    int minimumLines_ = kDefaultMinimumLines;
    std::optional<int> selected_;
};

}  // namespace kestrin
