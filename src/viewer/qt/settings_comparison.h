// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "settings/settings_table.h"

class QLabel;

namespace kestrin {

class ZoneGridView;

// frmCompareSettings: the settings the program holds (those captured from the
// unit and loaded) beside those of another settings file, say a corrected one
// before it goes into the unit. Each side is the settings viewer's plain
// grid; the small zones whose texts differ are marked on both, and a label
// counts them. A top-level window of its own that deletes itself when closed.
class SettingsComparison : public QWidget {
    Q_OBJECT

  public:
    // `line`: the first line of the settings file `path`, passing the full
    // check. `captured` is read once, here.
    SettingsComparison(const SettingsTable& captured, const std::string& path,
                       const std::string& line);
    ~SettingsComparison() override;

    ZoneGridView* capturedGrid() const { return grdCaptured_; }
    ZoneGridView* fileGrid() const { return grdFile_; }
    int changedCells() const { return changed_; }

  private:
    std::unique_ptr<SettingsTable> file_;
    ZoneGridView* grdCaptured_;
    ZoneGridView* grdFile_;
    QLabel* lblChanged_;
    int changed_ = 0;
};

}  // namespace kestrin
