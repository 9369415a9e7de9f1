// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/qt/qt_serial_port.h"

#include <QFileInfo>
#include <algorithm>

#ifndef _WIN32
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kestrin {

namespace {

// Enough for any pause at any line rate; a faster stream is read in turns.
constexpr std::size_t kMaxChunkBytes = 256 * 1024;

}  // namespace

QtSerialPort::QtSerialPort(QObject* parent) : QObject(parent) {
#ifndef _WIN32
    // QSerialPort stops watching the port once it holds one byte; the rest is
    // read from the descriptor here, so the two never read at the same time.
    port_.setReadBufferSize(1);
#endif
    pace_.setSingleShot(true);
    connect(&pace_, &QTimer::timeout, this, &QtSerialPort::readPaced);
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
    pace_.stop();
    heldTaken_ = false;
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
    if (!takeChunk()) watch();
}

void QtSerialPort::readPaced() {
    if (port_.isOpen() && !takeChunk()) watch();
}

// Reads everything waiting, hands it over and schedules the next read.
// Returns false when nothing was waiting.
bool QtSerialPort::takeChunk() {
    std::string chunk;
#ifdef _WIN32
    chunk = port_.readAll().toStdString();
#else
    // QSerialPort read the first byte of a burst and stopped watching, as its
    // buffer is full. The byte is peeked, not taken: taking it would make
    // QSerialPort watch again, and the two would read by turns.
    char held = 0;
    if (!heldTaken_ && port_.peek(&held, 1) == 1) {
        chunk.push_back(held);
        heldTaken_ = true;
    }
    // The port is non-blocking and returns 0 or EAGAIN when nothing waits.
    // A failure ends the read too: QSerialPort, watching again, reports it.
    const int fd = static_cast<int>(port_.handle());
    char buffer[16 * 1024];
    while (fd >= 0 && chunk.size() < kMaxChunkBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        chunk.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<std::size_t>(n) < sizeof buffer) break;  // that was all
    }
#endif
    if (chunk.empty()) return false;

#ifndef _WIN32
    pace_.start(chunk.size() >= kBurstBytes ? 0 : kRhythmMs);
#endif
    if (listener_) listener_->onReceive(chunk);
    return true;
}

// Lets QSerialPort watch the port again: taking the byte it holds, which was
// handed over already, empties its buffer, and an empty buffer is watched.
void QtSerialPort::watch() {
#ifndef _WIN32
    if (!port_.isOpen()) return;
    heldTaken_ = false;
    char held = 0;
    port_.read(&held, 1);
#endif
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
