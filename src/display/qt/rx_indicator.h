// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace kestrin {

// The filled circle that flashes while characters arrive.
class RxCircle : public QWidget {
    Q_OBJECT
  public:
    explicit RxCircle(QWidget* parent = nullptr);
    QColor fillColor() const { return fill_; }
    void setFillColor(const QColor& color);
    QColor restingColor() const;
    static QColor flashColor() { return QColor(192, 0, 0); }
    // While a lost port is being reopened.
    static QColor waitingColor() { return QColor(230, 160, 0); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor fill_;
};

// The two timers of the indicator. Reception starts the flash timer, so the
// circle flashes while characters arrive. Reception comes in chunks, one per
// read, at most one beat of the read rhythm apart while characters arrive:
// once a flash tick finds no chunk for that beat and one flash more, it starts the turn-off
// timer, whose tick rests the circle and stops both. A timer restarted for
// every chunk, or ticking beside the flash, would wake the program for nothing.
class RxIndicator : public QObject {
    Q_OBJECT
  public:
    RxIndicator(RxCircle* circle, QObject* parent = nullptr);

    void received();
    // While the port is lost the circle stays in the waiting colour; after
    // that it rests until characters arrive.
    void setWaiting(bool waiting);
    void tmrRxDelay_Timer();
    void tmrTurnOffRx_Timer();

    QTimer* tmrRxDelay() { return &rxDelay_; }
    QTimer* tmrTurnOffRx() { return &turnOff_; }

  private:
    void checkQuiet();

    RxCircle* circle_;
    QTimer rxDelay_;
    QTimer turnOff_;
    QElapsedTimer sinceReceived_;
};

}  // namespace kestrin
