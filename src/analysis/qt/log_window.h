// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "analysis/log_channels.h"
#include "common/status.h"
#include "settings/settings_table.h"

class QLabel;
class QRadioButton;
class QSpinBox;

namespace kestrin {

class ChannelPicker;
class LogCorrections;
class LogPlot;
class ZoneGridView;

// A log opened after the drive: its values plotted against line number and
// its air-fuel ratio per zone on the settings viewer's grid. Each cell shows
// how many data lines name its zone and, from a minimum number of lines on,
// their mean air-fuel ratio, shaded from rich (blue) to lean (red), and the
// setting of its zone; clicking a cell marks its zone's lines on the plot.
// At the user's choice the grid shows instead the fuel change each zone
// needs, from this log and any added to it, by the options beside it; or,
// once another log was chosen to compare with, how far each zone lay from
// its target before (these logs) and after (that log). The corrected
// settings file of the changes can be saved from it.
// A top-level window of its own: several may be open, each stays open when
// the main window closes, and each deletes itself when closed.
class LogWindow : public QWidget {
    Q_OBJECT

  public:
    // Reads the log at `path` and shows it. A file that cannot be opened or
    // read gives nullptr and the failure. `settings` must outlive the window
    // (the program's table lives as long as the program).
    static LogWindow* open(const std::string& path, const SettingsTable& settings, Status& failure);
    // Shows a log read already (LogLoader reads one off the user-interface thread).
    static LogWindow* showLog(const std::string& path, std::unique_ptr<LogChannels> channels,
                              const SettingsTable& settings);
    // The file name of `path` as the file system encodes it, control bytes escaped.
    static QString displayName(const std::string& path);
    static constexpr int kDefaultMinimumLines = 10;

    LogPlot* plot() const { return plot_; }
    const LogChannels& channels() const { return *channels_; }
    ZoneGridView* grid() const { return grid_; }
    // The same text as "kestrin --zone-table".
    QString zoneTableText() const;
    void copyZoneTable() const;
    LogCorrections* corrections() const { return corrections_; }
    enum class GridMode { MeanAfr, FuelChange, Compare };
    GridMode gridMode() const { return mode_; }
    // Compare only once a log to compare with was read.
    void setGridMode(GridMode mode);
    // The grid shows the fuel changes instead of the mean ratios.
    void setChangeMode(bool change) {
        setGridMode(change ? GridMode::FuelChange : GridMode::MeanAfr);
    }
    void copyCorrections() const;
    // File, Add Log...: asks for a log to add to the corrections.
    void chooseLogToAdd();
    // File, Compare With...: asks for the log to compare with, then compareWith.
    void chooseLogToCompare();
    // Reads `path` as the after log and shows the comparison; a log that
    // cannot be read changes nothing and gives the reason.
    bool compareWith(const std::string& path, std::string& problem);
    // File, Save Corrected Settings...: asks for a new file, then
    // saveCorrectedSettings, and tells the outcome.
    void chooseCorrectedSettingsFile();
    // Writes to `path` what "kestrin --corrections --settings Settings.txt
    // --write-settings PATH" writes for these logs and options, from the
    // work folder's Settings.txt: never over an existing file, never to a
    // file named Settings.txt. Gives what to tell the user; `saved` says
    // whether the file was written.
    QString saveCorrectedSettings(const std::string& path, bool& saved);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    LogWindow(const std::string& path, std::unique_ptr<LogChannels> channels,
              const SettingsTable& settings);
    // Fills the grid's cells from the zone table and the settings.
    void showZones();

    std::unique_ptr<LogChannels> channels_;
    const SettingsTable& settings_;
    ChannelPicker* picker_;
    LogPlot* plot_;
    ZoneGridView* grid_;
    QLabel* lblNoData_;
    QLabel* lblOutside_;
    QSpinBox* spnMinLines_;
    QRadioButton* optMeanAfr_;
    QRadioButton* optFuelChange_;
    QRadioButton* optCompare_;
    GridMode mode_ = GridMode::MeanAfr;
    QWidget* fraMeans_;
    LogCorrections* corrections_;
};

}  // namespace kestrin
