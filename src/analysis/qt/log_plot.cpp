// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/qt/log_plot.h"

#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "analysis/plot_thinning.h"

#include "common/qt/latin1.h"

namespace kestrin {

namespace {

const QColor kChannelColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                                  QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                                  QColor(0xff, 0x7f, 0x0e), QColor(0x8c, 0x56, 0x4b),
                                  QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f)};
const QColor kMarkerColour(0x40, 0x40, 0x40);
const QColor kZoneMarkColour(0xff, 0x8c, 0x00);
const QColor kCursorColour(0x00, 0x00, 0x00);
// Height of the zone ticks, as a share of the plot's height.
constexpr double kZoneMarkHeight = 0.05;

QCPGraph* OverlayGraph(QCustomPlot* plot, QCPAxis* valueAxis, const QColor& colour,
                       const QString& layer) {
    QCPGraph* graph = plot->addGraph(plot->xAxis, valueAxis);
    graph->setLineStyle(QCPGraph::lsImpulse);
    graph->setPen(QPen(colour, 1));
    graph->setLayer(layer);
    graph->removeFromLegend();
    return graph;
}

}  // namespace

LogPlot::LogPlot(QWidget* parent) : QWidget(parent), plot_(new QCustomPlot(this)) {
    plot_->setObjectName(QStringLiteral("pltLog"));
    lblReadout_ = new QLabel(this);
    lblReadout_->setObjectName(QStringLiteral("lblReadout"));
    lblReadout_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_, 1);
    layout->addWidget(lblReadout_);

    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->axisRect()->setRangeDrag(Qt::Horizontal);
    plot_->axisRect()->setRangeZoom(Qt::Horizontal);
    plot_->xAxis->setLabel(keyName_);
    plot_->setNoAntialiasingOnDrag(true);

    // Markers beneath the data: a long log may have one in every pixel
    // column, and the data must still show. Zone ticks above the data, the
    // cursor above them; each buffered on its own, so that a change there
    // repaints only that layer.
    plot_->addLayer(QStringLiteral("markers"), plot_->layer(QStringLiteral("main")),
                    QCustomPlot::limBelow);
    plot_->addLayer(QStringLiteral("marks"), plot_->layer(QStringLiteral("main")),
                    QCustomPlot::limAbove);
    plot_->addLayer(QStringLiteral("cursor"), plot_->layer(QStringLiteral("marks")),
                    QCustomPlot::limAbove);
    plot_->layer(QStringLiteral("marks"))->setMode(QCPLayer::lmBuffered);
    plot_->layer(QStringLiteral("cursor"))->setMode(QCPLayer::lmBuffered);

    overlayAxis_ = plot_->yAxis2;
    overlayAxis_->setRange(0, 1);
    overlayAxis_->setVisible(false);
    markerGraph_ = OverlayGraph(plot_, overlayAxis_, kMarkerColour, QStringLiteral("markers"));
    zoneMarks_ = OverlayGraph(plot_, overlayAxis_, kZoneMarkColour, QStringLiteral("marks"));

    cursor_ = new QCPItemStraightLine(plot_);
    cursor_->setLayer(QStringLiteral("cursor"));
    cursor_->setPen(QPen(kCursorColour, 1, Qt::DashLine));
    cursor_->point1->setAxes(plot_->xAxis, overlayAxis_);
    cursor_->point2->setAxes(plot_->xAxis, overlayAxis_);
    cursor_->setVisible(false);

    connect(plot_, &QCustomPlot::mouseMove, this, &LogPlot::onMouseMove);
    connect(plot_, &QCustomPlot::beforeReplot, this, [this] { refillVisible(); });
}

void LogPlot::setChannels(const LogChannels* channels) {
    channels_ = channels;
    thinned_.clear();
    rebuildGraphs();
    fitRanges();
    plot_->replot();
}

void LogPlot::setShownColumns(const std::vector<std::size_t>& columns) {
    shown_ = columns;
    rebuildGraphs();
    fitRanges();
    plot_->replot();
    if (cursor_->visible()) moveCursorTo(cursor_->point1->key());
}

void LogPlot::rebuildGraphs() {
    for (QCPGraph* graph : graphs_) plot_->removeGraph(graph);
    graphs_.clear();
    for (QCPAxis* axis : extraAxes_) plot_->axisRect()->removeAxis(axis);
    extraAxes_.clear();
    plottedLines_ = droppedLines_ = channels_ ? channels_->droppedDataLines() : 0;
    filled_ = false;
    plot_->yAxis->setLabel(QString());
    if (channels_ == nullptr) return;

    for (std::size_t i = 0; i < shown_.size(); ++i) {
        QCPAxis* axis = plot_->yAxis;
        if (i > 0) {
            axis = plot_->axisRect()->addAxis(QCPAxis::atLeft);
            extraAxes_.push_back(axis);
        }
        const QColor colour = kChannelColours[i % std::size(kChannelColours)];
        axis->setLabel(Latin1(channels_->titles()[shown_[i]]));
        axis->setLabelColor(colour);
        axis->setTickLabelColor(colour);
        QCPGraph* graph = plot_->addGraph(plot_->xAxis, axis);
        graph->setPen(QPen(colour, 1));
        graph->setAdaptiveSampling(false);
        graphs_.push_back(graph);
    }
    refreshAppended();
}

void LogPlot::refreshAppended() {
    if (channels_ == nullptr) return;
    const DataKeys& lines = channels_->dataLines();
    const std::size_t dropped = channels_->droppedDataLines();
    if (dropped > droppedLines_) {
        droppedLines_ = dropped;
        filled_ = false;
        thinned_.clear();
    }
    if (dropped + lines.size() > plottedLines_) {
        plottedLines_ = dropped + lines.size();
        filled_ = false;
        thinned_.clear();
    }
    const std::vector<double>& markers = channels_->markers();
    if (static_cast<std::size_t>(markerGraph_->dataCount()) != markers.size() ||
        channels_->droppedMarkers() != droppedMarkers_) {
        const QVector<double> keys(markers.begin(), markers.end());
        markerGraph_->setData(keys, QVector<double>(keys.size(), 1.0), true);
        droppedMarkers_ = channels_->droppedMarkers();
    }
}

void LogPlot::refillVisible() {
    const QCPRange range = plot_->xAxis->range();
    // Before its first layout the plot has no width yet: thin to a fair one.
    constexpr int kLeastColumns = 256;
    const int width = std::max(plot_->axisRect()->width(), kLeastColumns);
    const bool moved = range != filledRange_ || width != filledWidth_;
    if (filled_ && !moved) return;
    if (moved) thinned_.clear();
    filled_ = true;
    filledRange_ = range;
    filledWidth_ = width;
    if (channels_ == nullptr) return;
    const DataKeys& keys = channels_->dataLines();
    // One line beyond each edge, so that the lines run to the edges.
    std::size_t first = keys.lowerBound(range.lower);
    if (first > 0) --first;
    const std::size_t last = std::min(keys.size(), keys.upperBound(range.upper) + 1);
    // Thinned, a column's line runs up and down every pixel column: smoothing
    // it would cost most of a replot and show nothing more.
    const bool thinned = last - first > 2 * static_cast<std::size_t>(width);
    std::vector<PlotPoint> points;
    QVector<QCPGraphData> data;
    for (std::size_t i = 0; i < graphs_.size(); ++i) {
        graphs_[i]->setAntialiased(!thinned);
        QSharedPointer<QCPGraphDataContainer>& thinned = thinned_[shown_[i]];
        if (!thinned) {
            ThinPoints(keys, channels_->values(shown_[i]), first, last, range.lower, range.upper,
                       width, points);
            data.resize(static_cast<qsizetype>(points.size()));
            for (std::size_t p = 0; p < points.size(); ++p)
                data[static_cast<qsizetype>(p)] = QCPGraphData(points[p].key, points[p].value);
            thinned = QSharedPointer<QCPGraphDataContainer>::create();
            thinned->set(data, true);
        }
        graphs_[i]->setData(thinned);
    }
}

void LogPlot::setKeyName(const QString& name, int decimals) {
    keyName_ = name;
    keyDecimals_ = decimals;
    plot_->xAxis->setLabel(name);
}

void LogPlot::fitRanges() {
    const double last = channels_ ? channels_->lastKey() : 1;
    plot_->xAxis->setRange(0.5, std::max(last, 1.0) + 0.5);
    fitValueAxes();
}

void LogPlot::fitValueAxes() {
    refillVisible();
    for (QCPGraph* graph : graphs_) {
        bool found = false;
        const QCPRange range = graph->getValueRange(found, QCP::sdBoth, plot_->xAxis->range());
        if (!found) continue;
        const double pad = std::max(range.size() * 0.05, 0.5);
        graph->valueAxis()->setRange(range.lower - pad, range.upper + pad);
    }
}

void LogPlot::markLines(const std::vector<double>& lines) {
    const QVector<double> keys(lines.begin(), lines.end());
    zoneMarks_->setData(keys, QVector<double>(keys.size(), kZoneMarkHeight), true);
    plot_->layer(QStringLiteral("marks"))->replot();
}

void LogPlot::onMouseMove(QMouseEvent* event) {
    moveCursorTo(plot_->xAxis->pixelToCoord(event->position().x()));
}

void LogPlot::moveCursorTo(double line) {
    if (channels_ == nullptr || channels_->dataLines().empty() || !std::isfinite(line)) {
        cursor_->setVisible(false);
        lblReadout_->clear();
        return;
    }
    // The line under the pointer: the nearest in time, or by number.
    const std::ptrdiff_t index = channels_->nearestDataIndex(line);
    const double dataLine = channels_->dataLines()[static_cast<std::size_t>(index)];
    cursor_->point1->setCoords(dataLine, 0);
    cursor_->point2->setCoords(dataLine, 1);
    cursor_->setVisible(true);
    QString text = keyName_ + QLatin1Char(' ') + QString::number(dataLine, 'f', keyDecimals_);
    for (std::size_t column : shown_) {
        const double value = channels_->values(column)[static_cast<std::size_t>(index)];
        text += QStringLiteral("   %1 %2")
                    .arg(Latin1(channels_->titles()[column]),
                         std::isnan(value) ? QStringLiteral("-") : QString::number(value, 'g', 7));
    }
    lblReadout_->setText(text);
    plot_->layer(QStringLiteral("cursor"))->replot();
}

QString LogPlot::readout() const { return lblReadout_->text(); }

int LogPlot::markedLineCount() const { return zoneMarks_->dataCount(); }

}  // namespace kestrin
