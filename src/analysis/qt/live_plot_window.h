// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/log_channels.h"
#include "intake/record.h"

class QPushButton;

namespace kestrin {

class ChannelPicker;
class LogPlot;

// The stream as it arrives, plotted against the seconds since the window
// opened: the chosen columns of every data line (RPM, AFR and PSI at first)
// and the markers. It follows the newest line, showing the last five
// minutes; zooming or dragging the plot stops following, the Follow button
// or the End key resumes it. The last hour is kept. It takes the records of
// `source` from its making until it goes; not modal; it deletes itself when
// closed.
class LivePlotWindow : public QWidget, public RecordSubscriber {
    Q_OBJECT

  public:
    static constexpr double kShownSeconds = 5 * 60;
    static constexpr double kKeptSeconds = 60 * 60;
    // More than an hour of a unit at 115200 baud (about 350 lines a second);
    // beyond it the oldest lines go first, whatever their age.
    static constexpr std::size_t kMaxDataLines = 1'500'000;
    // New lines are drawn together, at most this often.
    static constexpr int kRepaintMilliseconds = 250;
    // A repaint may take at most this share of the time until the next one:
    // a plot full of lines repaints less often rather than costing more,
    // though never less often than kSlowestRepaintMilliseconds.
    static constexpr double kRepaintBusyShare = 0.005;
    static constexpr int kSlowestRepaintMilliseconds = 2000;

    explicit LivePlotWindow(RecordSource& source);

    void onRecord(const Record& record) override;
    void onMarker() override;

    const LogChannels& channels() const { return channels_; }
    LogPlot* plot() const { return plot_; }
    bool following() const { return following_; }
    // Draws what arrived since the last repaint now rather than on the timer.
    void refresh();
    // How long new lines wait for the next repaint, from what the last one cost.
    int repaintInterval() const { return repaintTimer_.interval(); }
    void cmdFollow_Click();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    double secondsSinceOpened() const;
    void showChosenChannels();
    void showNewest();
    void onKeyRangeChanged();

    LogChannels channels_{ChannelSource::Stream};
    RecordSubscription subscription_;
    QElapsedTimer clock_;
    QTimer repaintTimer_;
    LogPlot* plot_;
    ChannelPicker* picker_;
    QPushButton* cmdFollow_;
    bool following_ = true;
    // Set while the window itself moves the view, which is no reason to stop following.
    bool movingView_ = false;
    int titlesShown_ = -1;
    // The key of the newest line at the last refresh, and whether that
    // refresh left the plot undrawn (the window was minimized).
    double drawnUpTo_ = 0;
    bool repaintOwed_ = false;
};

}  // namespace kestrin
