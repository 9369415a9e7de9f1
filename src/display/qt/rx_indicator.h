#pragma once

#include <QColor>
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

// The two timers of the indicator. Reception starts the flash timer and
// re-arms the turn-off timer, so the circle flashes while characters arrive
// and rests one turn-off interval after they stop.
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
    RxCircle* circle_;
    QTimer rxDelay_;
    QTimer turnOff_;
};

}  // namespace kestrin
