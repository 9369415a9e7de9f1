// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/log_corrections.h"

#include <algorithm>

#include "analysis/corrections_command.h"
#include "analysis/qt/correction_cells.h"
#include "analysis/qt/corrections_config.h"
#include "analysis/qt/corrections_panel.h"
#include "analysis/qt/log_plot.h"
#include "common/qt/latin1.h"
#include "viewer/qt/zone_grid_view.h"
#include "viewer/zone_layout.h"

namespace kestrin {

LogCorrections::LogCorrections(const std::string& path, ZoneGridView* grid, LogPlot* plot,
                               QWidget* window)
    : QObject(window), paths_{path}, grid_(grid), plot_(plot) {
    panel_ = new CorrectionsPanel(window);
    panel_->setChoices(LoadCorrectionChoices());
    connect(panel_, &CorrectionsPanel::optionsChanged, this, [this] {
        SaveCorrectionChoices(panel_->choices());
        recompute();
    });
}

LogCorrections::~LogCorrections() = default;

void LogCorrections::setActive(bool active) {
    active_ = active;
    if (active_) recompute();
}

bool LogCorrections::readLogs() {
    const std::vector<std::string> wanted = ConditionTitles(panel_->options().where);
    if (data_ && std::all_of(wanted.begin(), wanted.end(), [this](const std::string& title) {
            const std::vector<std::string>& read = data_->titles();
            return std::find(read.begin(), read.end(), title) != read.end();
        }))
        return true;
    auto data = std::make_unique<CorrectionData>(wanted);
    for (const std::string& path : paths_) {
        if (const Status status = data->ReadLog(path); !status.ok()) {
            readProblem_ = Latin1("cannot read " + path + ": " + status.reason);
            return false;
        }
    }
    data_ = std::move(data);
    readProblem_.clear();
    return true;
}

bool LogCorrections::addLog(const std::string& path, std::string& problem) {
    if (!readLogs()) {
        problem = Bytes(readProblem_);
        return false;
    }
    if (const Status status = data_->ReadLog(path); !status.ok()) {
        problem = "cannot read " + path + ": " + status.reason;
        return false;
    }
    paths_.push_back(path);
    emit logsChanged();
    recompute();
    return true;
}

void LogCorrections::recompute() {
    // Nothing is read before the changes are first wanted.
    if (!active_ && !data_) return;
    if (!readLogs()) {
        panel_->setSummary(readProblem_);
        return;
    }
    const CorrectionOptions& options = panel_->options();
    result_ = ComputeCorrections(*data_, options);
    if (!active_) return;
    const int outside = ShowCorrections(*grid_, result_, options);
    QString summary = Latin1(CorrectionsSummary(result_));
    if (paths_.size() > 1) summary = QStringLiteral("%1 logs: ").arg(paths_.size()) + summary;
    if (outside > 0) summary += QStringLiteral("\nOutside the grid: %1 zones").arg(outside);
    panel_->setSummary(summary);
    markSelected();
}

void LogCorrections::selectZone(int p) {
    selected_ = p;
    panel_->editZoneTarget(SmallZoneSlot(p));
    markSelected();
}

void LogCorrections::markSelected() {
    if (!selected_ || !data_) return;
    // The plot shows the first log; lines of the others are not in it.
    std::vector<double> lines;
    for (const LineRef& line : UsedLines(*data_, result_, SmallZoneSlot(*selected_))) {
        if (line.log == 0) lines.push_back(static_cast<double>(line.line));
    }
    plot_->markLines(lines);
}

QString LogCorrections::text() {
    if (!data_ && readLogs()) result_ = ComputeCorrections(*data_, panel_->options());
    return Latin1(CorrectionsText(result_));
}

}  // namespace kestrin
