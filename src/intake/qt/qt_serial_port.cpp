#include "intake/qt/qt_serial_port.h"

#include <QFileInfo>

#ifndef _WIN32
#include <sys/file.h>

#include <cerrno>
#endif

namespace kestrin {

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::drain);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort() { port_.close(); }

Status QtSerialPort::setCommPort(int number) {
    if (port_.isOpen())
        return Status::Failure(ErrorKind::PortUnavailable, "the port is already open");
    number_ = number;
    return Status::Ok();
}

Status QtSerialPort::open() {
    if (port_.isOpen())
        return Status::Failure(ErrorKind::PortUnavailable, "the port is already open");
    const QString path = QString::fromLocal8Bit(DevicePathForPort(number_));
    if (!QFileInfo::exists(path)) return Status::Failure(ErrorKind::PortNotFound, "no such device");

    port_.setPortName(path);
    port_.setBaudRate(QSerialPort::Baud1200);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadOnly)) {
        const ErrorKind kind = port_.error() == QSerialPort::DeviceNotFoundError
                                   ? ErrorKind::PortNotFound
                                   : ErrorKind::PortUnavailable;
        const Status status = Status::Failure(kind, port_.errorString().toStdString());
        port_.clearError();
        return status;
    }
#ifndef _WIN32
    // QSerialPort's lock file is named after the path, so another path to the
    // same device (a /dev/serial/by-id link) gets past it, and root gets past
    // the terminal's exclusive mode. A lock on the device itself holds for
    // every path and every process, and goes when the port closes.
    if (::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        port_.close();
        return Status::Failure(ErrorKind::PortUnavailable, "the port is in use");
    }
#endif
    return Status::Ok();
}

void QtSerialPort::close() {
    if (port_.isOpen()) port_.close();
}

void QtSerialPort::drain() {
    const QByteArray bytes = port_.readAll();
    if (!listener_) return;
    for (qsizetype i = 0; i < bytes.size() && port_.isOpen(); ++i)
        listener_->onReceive(std::string_view(bytes.constData() + i, 1));
    listener_->onDrained();
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    // A device that goes away shows up as a resource error or, on some
    // versions, as read errors that repeat for ever: stop reading at once.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return;
    if (!port_.isOpen()) return;
    // Qt's own text here ("Resource temporarily unavailable") tells a user nothing.
    const Status why = Status::Failure(ErrorKind::PortUnavailable, "the device was disconnected");
    if (port_.bytesAvailable() > 0) drain();
    port_.clearError();
    port_.close();
    if (listener_) listener_->onPortLost(why);
}

}  // namespace kestrin
