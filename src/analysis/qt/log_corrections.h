// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/corrections.h"

class QWidget;

namespace kestrin {

class CorrectionsPanel;
class LogPlot;
class ZoneGridView;

// The fuel changes of a log window's logs, as "kestrin --corrections" works
// them out with the panel's options: shown on the window's grid while
// active, recomputed at every change of an option. The logs are read for it
// when it first becomes active, or when a condition asks for a column not
// read yet. Clicking a zone marks on the plot the lines that zone used.
// Instead of the changes the grid may show how each zone of the logs (before)
// compares with another log (after), as "kestrin --compare" compares them.
class LogCorrections : public QObject {
    Q_OBJECT

  public:
    // `path` is the log the plot shows; grid and plot are the window's.
    LogCorrections(const std::string& path, ZoneGridView* grid, LogPlot* plot, QWidget* window);
    ~LogCorrections() override;

    // What the grid shows of the corrections, if anything.
    enum class View { None, Changes, Comparison };

    CorrectionsPanel* panel() const { return panel_; }
    bool active() const { return view_ != View::None; }
    View view() const { return view_; }
    // Changes when active; the comparison needs its after log first.
    void setActive(bool active) { setView(active ? View::Changes : View::None); }
    void setView(View view);

    // Adds a log to those summed, as one more LOG of the command; a log that
    // cannot be read changes nothing and gives the reason.
    bool addLog(const std::string& path, std::string& problem);
    const std::vector<std::string>& logs() const { return paths_; }
    // What a click on small zone `p` does: marks its used lines in the plot
    // (those of the plotted log) and offers its target for typing.
    void selectZone(int p);

    // Reads `path` as the after log of the comparison and shows it; a log
    // that cannot be read changes nothing and gives the reason.
    bool compareWith(const std::string& path, std::string& problem);
    const std::string& afterLog() const { return afterPath_; }
    const std::vector<ZoneComparison>& comparison() const { return comparison_; }

    // Works the corrections out now if that was not done yet: false, with the
    // reason, when the logs cannot be read.
    bool workOut(std::string& problem);
    const CorrectionResult& result() const { return result_; }
    // The same text as the command with the same options and logs; reads
    // the logs when nothing was worked out yet.
    QString text();

  signals:
    void logsChanged();

  private:
    // Reads the logs when the conditions ask for a column not read yet; a
    // failure is shown and the old data kept.
    bool readLogs();
    void recompute();
    void markSelected();

    std::vector<std::string> paths_;
    ZoneGridView* grid_;
    LogPlot* plot_;
    CorrectionsPanel* panel_;
    std::unique_ptr<CorrectionData> data_;
    CorrectionResult result_;
    std::string afterPath_;
    std::unique_ptr<CorrectionData> afterData_;
    std::vector<ZoneComparison> comparison_;
    View view_ = View::None;
    std::optional<int> selected_;
    QString readProblem_;
};

}  // namespace kestrin
