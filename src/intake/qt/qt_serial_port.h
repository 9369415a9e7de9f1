#pragma once

#include <QObject>
#include <QSerialPort>

#include "intake/serial_port.h"

namespace kestrin {

// A window's serial port over QSerialPort: 1200 baud, 8 data bits, no parity,
// 1 stop bit. Everything waiting is drained at once and handed to the
// listener one character per receive event.
class QtSerialPort : public QObject, public SerialPort {
    Q_OBJECT
  public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    Status setCommPort(int number) override;
    Status open() override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    void setListener(SerialListener* listener) override { listener_ = listener; }

  private:
    void drain();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    int number_ = 1;
    SerialListener* listener_ = nullptr;
};

}  // namespace kestrin
