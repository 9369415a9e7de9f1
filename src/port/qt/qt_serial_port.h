// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <cstddef>

#include "common/rhythm.h"
#include "port/serial_port.h"

namespace kestrin {

// A window's serial port over QSerialPort: 1200 baud, 8 data bits, no parity,
// 1 stop bit. Everything waiting is drained at once and handed to the
// listener in one call.
//
// The terminal driver keeps what arrives, so the program need not wake for
// every character: after a chunk has been handled the port is left alone for
// one beat of the read rhythm (kRhythmMs) and then everything that came
// meanwhile is taken in one read. Only
// when nothing came does QSerialPort watch the port again, and it wakes the
// program at the next character. Every received line thus reaches the
// listener, and through it the log, within one beat of its arrival.
//
// The next read is due before the listener is called, so a message box the
// listener raises (which runs its own event loop) does not stop the reading.
class QtSerialPort : public QObject, public SerialPort {
    Q_OBJECT
  public:
    // A chunk this large means the line runs faster than the driver's buffer
    // could hold over one pause: read again at once.
    static constexpr std::size_t kBurstBytes = 1024;

    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    Status setCommPort(int number) override;
    Status open() override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    void setListener(SerialListener* listener) override { listener_ = listener; }

  private:
    void drain();
    void readPaced();
    bool takeChunk();
    void watch();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    int number_ = 1;
    SerialListener* listener_ = nullptr;
    QTimer pace_;
    bool heldTaken_ = false;  // the byte QSerialPort holds was handed over
};

}  // namespace kestrin
