// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/live_plot_window.h"

#include <qcustomplot.h>
#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "analysis/qt/channel_picker.h"
#include "analysis/qt/log_plot.h"
#include "common/qt/close_keys.h"

namespace kestrin {

LivePlotWindow::LivePlotWindow(RecordSource& source)
    : QWidget(nullptr), subscription_(source, *this) {
    setObjectName(QStringLiteral("frmLivePlot"));
    setWindowTitle(QStringLiteral("Live Plot"));
    setAttribute(Qt::WA_DeleteOnClose);
    clock_.start();

    picker_ = new ChannelPicker(this);
    connect(picker_, &ChannelPicker::chosenChanged, this, [this] {
        showChosenChannels();
        if (following_) showNewest();
        plot_->fitValueAxes();
        plot_->customPlot()->replot();
    });
    plot_ = new LogPlot(this);
    plot_->setKeyName(QStringLiteral("Seconds"), 1);
    // A stream at 115200 baud puts hundreds of lines on every pixel column,
    // where smoothing the lines' edges costs much and shows nothing.
    plot_->customPlot()->setNotAntialiasedElements(QCP::aePlottables);
    cmdFollow_ = new QPushButton(QStringLiteral("Follow"), this);
    cmdFollow_->setObjectName(QStringLiteral("cmdFollow"));
    cmdFollow_->setToolTip(QStringLiteral("Show the newest lines again (End)"));
    cmdFollow_->setEnabled(false);
    connect(cmdFollow_, &QPushButton::clicked, this, &LivePlotWindow::cmdFollow_Click);
    auto* mnuFollow = new QAction(QStringLiteral("Follow"), this);
    mnuFollow->setObjectName(QStringLiteral("mnuFollow"));
    mnuFollow->setShortcut(Qt::Key_End);
    connect(mnuFollow, &QAction::triggered, this, &LivePlotWindow::cmdFollow_Click);
    addAction(mnuFollow);
    CloseWithEscapeOrCtrlW(this);

    auto* side = new QVBoxLayout;
    side->addWidget(picker_, 1);
    side->addWidget(cmdFollow_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(side);
    layout->addWidget(plot_, 1);

    plot_->setChannels(&channels_);
    connect(plot_->customPlot()->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &LivePlotWindow::onKeyRangeChanged);
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setInterval(kRepaintMilliseconds);
    connect(&repaintTimer_, &QTimer::timeout, this, &LivePlotWindow::refresh);
    refresh();
    resize(1000, 600);
}

void LivePlotWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) refresh();
}

double LivePlotWindow::secondsSinceOpened() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

void LivePlotWindow::onRecord(const Record& record) {
    const std::size_t dataLines = channels_.dataLines().size();
    const int titleChanges = channels_.titleChanges();
    channels_.AppendRecord(record, secondsSinceOpened());
    // Lines that are no data leave the plot as it was.
    const bool changed =
        channels_.dataLines().size() != dataLines || channels_.titleChanges() != titleChanges;
    if (changed && !repaintTimer_.isActive()) repaintTimer_.start();
}

void LivePlotWindow::onMarker() {
    channels_.AppendMarker(secondsSinceOpened());
    if (!repaintTimer_.isActive()) repaintTimer_.start();
}

void LivePlotWindow::refresh() {
    repaintTimer_.stop();
    const std::size_t dropped = channels_.droppedDataLines() + channels_.droppedMarkers();
    channels_.KeepRecent(kKeptSeconds, kMaxDataLines);
    const bool retitled = titlesShown_ != channels_.titleChanges();
    if (retitled) {
        titlesShown_ = channels_.titleChanges();
        picker_->setTitles(channels_.titles());
        showChosenChannels();
    } else {
        plot_->refreshAppended();
    }
    // What arrived after a view the user holds lies beyond it: nothing on screen changes.
    const bool beyondView = !following_ && !retitled && !repaintOwed_ &&
                            dropped == channels_.droppedDataLines() + channels_.droppedMarkers() &&
                            drawnUpTo_ >= plot_->customPlot()->xAxis->range().upper;
    drawnUpTo_ = channels_.lastKey();
    if (beyondView) return;
    // A minimized window is drawn when it is shown again.
    repaintOwed_ = isMinimized();
    if (repaintOwed_) return;
    if (following_) showNewest();
    plot_->fitValueAxes();
    // Painted now, so that the time taken is the whole cost of the repaint.
    const std::clock_t started = std::clock();
    plot_->customPlot()->replot(QCustomPlot::rpImmediateRefresh);
    const double milliseconds =
        1000.0 * static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
    repaintTimer_.setInterval(std::clamp(static_cast<int>(milliseconds / kRepaintBusyShare),
                                         kRepaintMilliseconds, kSlowestRepaintMilliseconds));
}

void LivePlotWindow::showChosenChannels() {
    const QCPRange keep = plot_->customPlot()->xAxis->range();
    movingView_ = true;
    plot_->setShownColumns(picker_->chosenColumns());
    // The plot fits the whole stream; a view the user chose stays.
    if (!following_) plot_->customPlot()->xAxis->setRange(keep);
    movingView_ = false;
}

void LivePlotWindow::showNewest() {
    const double newest = std::max(channels_.lastKey(), kShownSeconds);
    movingView_ = true;
    plot_->customPlot()->xAxis->setRange(newest - kShownSeconds, newest);
    movingView_ = false;
}

void LivePlotWindow::onKeyRangeChanged() {
    if (movingView_) return;
    // The user zoomed or dragged: the view stays where it was taken.
    following_ = false;
    cmdFollow_->setEnabled(true);
    plot_->fitValueAxes();
}

void LivePlotWindow::cmdFollow_Click() {
    following_ = true;
    cmdFollow_->setEnabled(false);
    showNewest();
    plot_->fitValueAxes();
    plot_->customPlot()->replot();
}

}  // namespace kestrin
