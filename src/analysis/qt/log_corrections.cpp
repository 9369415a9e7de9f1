// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/log_corrections.h"

#include <algorithm>

#include "analysis/corrections_command.h"
#include "analysis/qt/correction_cells.h"
#include "analysis/qt/corrections_config.h"
#include "analysis/qt/corrections_panel.h"
#include "analysis/qt/log_plot.h"
#include "analysis/qt/log_window.h"
#include "common/printable_name.h"
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

namespace {

// Reads `paths` into `data` unless it holds them with every title of
// `wanted` already; on a failure, the reason, and `data` as it was.
bool ReadForTitles(std::unique_ptr<CorrectionData>& data, const std::vector<std::string>& paths,
                   const std::vector<std::string>& wanted, std::string& problem) {
    if (data && std::all_of(wanted.begin(), wanted.end(), [&data](const std::string& title) {
            const std::vector<std::string>& read = data->titles();
            return std::find(read.begin(), read.end(), title) != read.end();
        }))
        return true;
    auto fresh = std::make_unique<CorrectionData>(wanted);
    for (const std::string& path : paths) {
        if (const Status status = fresh->ReadLog(path); !status.ok()) {
            problem = "cannot read " + PrintableName(path) + ": " + status.reason;
            return false;
        }
    }
    data = std::move(fresh);
    return true;
}

}  // namespace

void LogCorrections::setView(View view) {
    // No comparison without its after log.
    if (view == View::Comparison && !afterData_) view = View::Changes;
    view_ = view;
    if (active()) recompute();
}

bool LogCorrections::readLogs() {
    const std::vector<std::string> wanted = ConditionTitles(panel_->options().where);
    std::string problem;
    if (!ReadForTitles(data_, paths_, wanted, problem) ||
        (afterData_ && !ReadForTitles(afterData_, {afterPath_}, wanted, problem))) {
        readProblem_ = Latin1(problem);
        return false;
    }
    readProblem_.clear();
    return true;
}

bool LogCorrections::compareWith(const std::string& path, std::string& problem) {
    if (!readLogs()) {
        problem = Bytes(readProblem_);
        return false;
    }
    std::unique_ptr<CorrectionData> after;
    if (!ReadForTitles(after, {path}, ConditionTitles(panel_->options().where), problem))
        return false;
    afterPath_ = path;
    afterData_ = std::move(after);
    setView(View::Comparison);
    return true;
}

bool LogCorrections::workOut(std::string& problem) {
    if (!readLogs()) {
        problem = Bytes(readProblem_);
        return false;
    }
    result_ = ComputeCorrections(*data_, panel_->options());
    return true;
}

bool LogCorrections::addLog(const std::string& path, std::string& problem) {
    if (!readLogs()) {
        problem = Bytes(readProblem_);
        return false;
    }
    if (const Status status = data_->ReadLog(path); !status.ok()) {
        problem = "cannot read " + PrintableName(path) + ": " + status.reason;
        return false;
    }
    paths_.push_back(path);
    emit logsChanged();
    recompute();
    return true;
}

void LogCorrections::recompute() {
    // Nothing is read before the changes are first wanted.
    if (!active() && !data_) return;
    if (!readLogs()) {
        panel_->setSummary(readProblem_);
        return;
    }
    const CorrectionOptions& options = panel_->options();
    result_ = ComputeCorrections(*data_, options);
    if (!active()) return;
    QString summary = Latin1(CorrectionsSummary(result_));
    if (paths_.size() > 1) summary = QStringLiteral("%1 logs: ").arg(paths_.size()) + summary;
    int outside = 0;
    if (view_ == View::Comparison) {
        const CorrectionResult after = ComputeCorrections(*afterData_, options);
        comparison_ = CompareZones(result_, after, options.minLines);
        outside = ShowComparison(*grid_, comparison_);
        summary = Latin1(CloserText(comparison_)) + QStringLiteral("\nBefore: ") + summary +
                  QStringLiteral("\nAfter, ") + LogWindow::displayName(afterPath_) +
                  QStringLiteral(": ") + Latin1(CorrectionsSummary(after));
    } else {
        outside = ShowCorrections(*grid_, result_, options);
    }
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
