// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <cstddef>
#include <map>
#include <vector>

#include "analysis/log_channels.h"

#include <qcustomplot.h>

class QLabel;
class QMouseEvent;

namespace kestrin {

// The values of a log against line number (or time): the chosen columns, each on a
// value axis of its own, the markers as vertical lines beneath the data, a
// cursor with a readout of every shown column, wheel zoom and drag along the
// lines. The channels can grow (a live stream): refreshAppended() plots what
// was added. Cursor and zone ticks lie on buffered layers of their own, so
// moving the cursor redraws no data. The graphs hold only what is in view, thinned to
// the pixel columns (ThinPoints), refilled before a replot when the lines in
// view, the plot's width or the channels changed.
class LogPlot : public QWidget {
    Q_OBJECT

  public:
    explicit LogPlot(QWidget* parent = nullptr);

    // `channels` must outlive the plot. Plots the columns set before.
    void setChannels(const LogChannels* channels);
    void setShownColumns(const std::vector<std::size_t>& columns);
    const std::vector<std::size_t>& shownColumns() const { return shown_; }
    // Adds the data lines and markers appended since the last call and takes
    // away those the channels dropped.
    void refreshAppended();
    // What the keys are, for the axis and the readout ("Line" by default),
    // and how many decimals the readout gives them.
    void setKeyName(const QString& name, int decimals);
    // Ticks along the bottom at these lines (ascending), or none.
    void markLines(const std::vector<double>& lines);
    // Puts the cursor at a line and fills the readout.
    void moveCursorTo(double line);
    // Fits each shown column's value axis to its values within the lines in view.
    void fitValueAxes();

    QString readout() const;
    int markedLineCount() const;
    QCustomPlot* customPlot() const { return plot_; }

  private:
    void rebuildGraphs();
    // Fills the graphs from the channels for the lines in view.
    void refillVisible();
    // Shows every line, each column's values fitted.
    void fitRanges();
    void onMouseMove(QMouseEvent* event);

    QCustomPlot* plot_;
    QLabel* lblReadout_;
    const LogChannels* channels_ = nullptr;
    std::vector<std::size_t> shown_;
    std::vector<QCPGraph*> graphs_;
    std::vector<QCPAxis*> extraAxes_;
    // Data lines of the channels plotted so far, dropped ones included, and
    // the data lines and markers the channels had dropped at the last refresh.
    std::size_t plottedLines_ = 0;
    std::size_t droppedLines_ = 0;
    std::size_t droppedMarkers_ = 0;
    // What the graphs were last filled for.
    QCPRange filledRange_;
    int filledWidth_ = -1;
    bool filled_ = false;
    // The thinned points of each column for that view, shared by its graph:
    // ticking one more column thins only that one.
    std::map<std::size_t, QSharedPointer<QCPGraphDataContainer>> thinned_;
    QString keyName_ = QStringLiteral("Line");
    int keyDecimals_ = 0;
    // An axis of 0 to 1, not drawn, for what spans the plot's height.
    QCPAxis* overlayAxis_;
    QCPGraph* markerGraph_;
    QCPGraph* zoneMarks_;
    QCPItemStraightLine* cursor_;
};

}  // namespace kestrin
