#include "analysis/qt/live_plot_window.h"

#include <qcustomplot.h>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "analysis/qt/log_plot.h"
#include "common/qt/close_keys.h"
#include "common/qt/latin1.h"

namespace kestrin {

namespace {

LivePlotWindow* g_current = nullptr;

}  // namespace

LivePlotWindow* LivePlotWindow::open() {
    if (g_current) {
        if (g_current->isMinimized()) g_current->showNormal();
        g_current->raise();
        g_current->activateWindow();
        return g_current;
    }
    g_current = new LivePlotWindow;
    g_current->show();
    return g_current;
}

LivePlotWindow* LivePlotWindow::current() { return g_current; }

LivePlotWindow::LivePlotWindow() : QWidget(nullptr) {
    setObjectName(QStringLiteral("frmLivePlot"));
    setWindowTitle(QStringLiteral("Live Plot"));
    setAttribute(Qt::WA_DeleteOnClose);
    clock_.start();

    auto* channelBox = new QGroupBox(QStringLiteral("Channels"), this);
    channelBox->setObjectName(QStringLiteral("fraChannels"));
    channelList_ = new QVBoxLayout(channelBox);
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
    side->addWidget(channelBox, 1);
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

LivePlotWindow::~LivePlotWindow() {
    if (g_current == this) g_current = nullptr;
}

void LivePlotWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) refresh();
}

void LivePlotWindow::closeEvent(QCloseEvent* event) {
    if (g_current == this) g_current = nullptr;
    QWidget::closeEvent(event);
}

double LivePlotWindow::secondsSinceOpened() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

void LivePlotWindow::onLine(LineKind /*kind*/, std::span<const std::string> fields) {
    const std::size_t dataLines = channels_.dataLines().size();
    const int titleChanges = channels_.titleChanges();
    fields_.assign(fields.begin(), fields.end());
    channels_.AppendFields(fields_, secondsSinceOpened());
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
        rebuildChannelBoxes();
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
    fitValueAxes();
    // Painted now, so that the time taken is the whole cost of the repaint.
    const std::clock_t started = std::clock();
    plot_->customPlot()->replot(QCustomPlot::rpImmediateRefresh);
    const double milliseconds =
        1000.0 * static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
    repaintTimer_.setInterval(std::clamp(static_cast<int>(milliseconds / kRepaintBusyShare),
                                         kRepaintMilliseconds, kSlowestRepaintMilliseconds));
}

void LivePlotWindow::rebuildChannelBoxes() {
    titlesShown_ = channels_.titleChanges();
    for (QCheckBox* box : chkChannel_) delete box;
    chkChannel_.clear();
    const std::vector<std::string>& titles = channels_.titles();
    const std::vector<std::size_t> initial = InitialColumns(titles);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        auto* box = new QCheckBox(Latin1(titles[i]), channelList_->parentWidget());
        box->setObjectName(QStringLiteral("chkChannel_%1").arg(i));
        box->setChecked(std::find(initial.begin(), initial.end(), i) != initial.end());
        connect(box, &QCheckBox::toggled, this, [this] {
            showChosenChannels();
            if (following_) showNewest();
            fitValueAxes();
            plot_->customPlot()->replot();
        });
        channelList_->insertWidget(static_cast<int>(i), box);
        chkChannel_.push_back(box);
    }
}

void LivePlotWindow::showChosenChannels() {
    std::vector<std::size_t> columns;
    for (std::size_t i = 0; i < chkChannel_.size(); ++i) {
        if (chkChannel_[i]->isChecked()) columns.push_back(i);
    }
    const QCPRange keep = plot_->customPlot()->xAxis->range();
    movingView_ = true;
    plot_->setShownColumns(columns);
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

void LivePlotWindow::fitValueAxes() {
    QCustomPlot* plot = plot_->customPlot();
    for (int i = 0; i < plot->graphCount(); ++i) {
        QCPGraph* graph = plot->graph(i);
        // The overlay graphs (markers) keep their fixed axis.
        if (graph->valueAxis() == plot->yAxis2) continue;
        bool found = false;
        const QCPRange range = graph->getValueRange(found, QCP::sdBoth, plot->xAxis->range());
        if (!found) continue;
        const double pad = std::max(range.size() * 0.05, 0.5);
        graph->valueAxis()->setRange(range.lower - pad, range.upper + pad);
    }
}

void LivePlotWindow::onKeyRangeChanged() {
    if (movingView_) return;
    // The user zoomed or dragged: the view stays where it was taken.
    following_ = false;
    cmdFollow_->setEnabled(true);
    fitValueAxes();
}

void LivePlotWindow::cmdFollow_Click() {
    following_ = true;
    cmdFollow_->setEnabled(false);
    showNewest();
    fitValueAxes();
    plot_->customPlot()->replot();
}

}  // namespace kestrin
