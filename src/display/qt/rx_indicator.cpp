// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/qt/rx_indicator.h"

#include "common/rhythm.h"

#include <QPainter>

namespace kestrin {

RxCircle::RxCircle(QWidget* parent) : QWidget(parent) { fill_ = restingColor(); }

QColor RxCircle::restingColor() const { return palette().color(QPalette::HighlightedText); }

void RxCircle::setFillColor(const QColor& color) {
    if (fill_ == color) return;
    fill_ = color;
    // Only the inside changes; the outline's pixels, one of which the label
    // beside shares, are left alone.
    update(rect().adjusted(1, 1, -1, -1));
}

void RxCircle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(fill_);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

RxIndicator::RxIndicator(RxCircle* circle, QObject* parent) : QObject(parent), circle_(circle) {
    rxDelay_.setObjectName("tmrRxDelay");
    rxDelay_.setInterval(kRhythmMs);
    turnOff_.setObjectName("tmrTurnOffRx");
    turnOff_.setInterval(51);
    turnOff_.setSingleShot(true);
    connect(&rxDelay_, &QTimer::timeout, this, &RxIndicator::tmrRxDelay_Timer);
    connect(&rxDelay_, &QTimer::timeout, this, &RxIndicator::checkQuiet);
    connect(&turnOff_, &QTimer::timeout, this, &RxIndicator::tmrTurnOffRx_Timer);
}

void RxIndicator::received() {
    sinceReceived_.start();
    if (turnOff_.isActive()) turnOff_.stop();
    if (!rxDelay_.isActive()) rxDelay_.start();
}

void RxIndicator::checkQuiet() {
    if (turnOff_.isActive()) return;
    if (!sinceReceived_.isValid() || sinceReceived_.elapsed() >= 2 * kRhythmMs) turnOff_.start();
}

void RxIndicator::setWaiting(bool waiting) {
    rxDelay_.stop();
    turnOff_.stop();
    circle_->setFillColor(waiting ? RxCircle::waitingColor() : circle_->restingColor());
}

void RxIndicator::tmrRxDelay_Timer() {
    circle_->setFillColor(circle_->fillColor() == circle_->restingColor()
                              ? RxCircle::flashColor()
                              : circle_->restingColor());
}

void RxIndicator::tmrTurnOffRx_Timer() {
    circle_->setFillColor(circle_->restingColor());
    turnOff_.stop();
    rxDelay_.stop();
}

}  // namespace kestrin
