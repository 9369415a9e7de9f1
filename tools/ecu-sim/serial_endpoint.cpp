// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu-sim/serial_endpoint.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kestrin::ecusim {

namespace {

constexpr std::array<std::pair<long, speed_t>, 30> kSpeeds = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

bool SpeedFor(long baud, speed_t& speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (rate == baud) {
            speed = code;
            return true;
        }
    }
    return false;
}

std::string Failure(const std::string& what) { return what + ": " + std::strerror(errno); }

// Raw 8N1 without flow control: every byte passes unchanged, a carriage
// return stays a carriage return.
bool MakeRaw(int fd, long baud, bool requireSpeed, std::string& error) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        error = Failure("cannot read the line settings");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    speed_t speed{};
    if (SpeedFor(baud, speed)) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    } else if (requireSpeed) {
        error = "the port cannot run at " + std::to_string(baud) + " baud";
        return false;
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = Failure("cannot set the line settings");
        return false;
    }
    return true;
}

bool MakeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

std::unique_ptr<SerialEndpoint> SerialEndpoint::OpenPseudoTerminal(long baud, std::string& error) {
    std::unique_ptr<SerialEndpoint> line(new SerialEndpoint);
    line->fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (line->fd_ < 0) {
        error = Failure("cannot open a pseudo-terminal");
        return nullptr;
    }
    if (grantpt(line->fd_) != 0 || unlockpt(line->fd_) != 0) {
        error = Failure("cannot unlock the pseudo-terminal");
        return nullptr;
    }
    const char* name = ptsname(line->fd_);
    if (name == nullptr) {
        error = Failure("cannot name the pseudo-terminal");
        return nullptr;
    }
    line->path_ = name;
    line->slaveFd_ = open(name, O_RDWR | O_NOCTTY);
    if (line->slaveFd_ < 0) {
        error = Failure("cannot open " + line->path_);
        return nullptr;
    }
    // The speed of a pseudo-terminal is only for show, so any rate will do.
    if (!MakeRaw(line->slaveFd_, baud, false, error)) return nullptr;
    if (!MakeNonBlocking(line->fd_)) {
        error = Failure("cannot set up the pseudo-terminal");
        return nullptr;
    }
    line->isTerminal_ = true;
    return line;
}

std::unique_ptr<SerialEndpoint> SerialEndpoint::OpenDevice(const std::string& path, long baud,
                                                           std::string& error) {
    std::unique_ptr<SerialEndpoint> line(new SerialEndpoint);
    line->path_ = path;
    line->fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line->fd_ < 0) {
        error = Failure("cannot open " + path);
        return nullptr;
    }
    if (isatty(line->fd_)) {
        termios saved{};
        if (tcgetattr(line->fd_, &saved) == 0) line->saved_ = saved;
        if (!MakeRaw(line->fd_, baud, true, error)) return nullptr;
        line->isTerminal_ = true;
    }
    return line;
}

SerialEndpoint::~SerialEndpoint() {
    if (fd_ >= 0) {
        if (saved_) tcsetattr(fd_, TCSANOW, &*saved_);
        close(fd_);
    }
    if (slaveFd_ >= 0) close(slaveFd_);
}

long SerialEndpoint::unread() const {
    int count = 0;
    if (slaveFd_ < 0 || ioctl(slaveFd_, FIONREAD, &count) != 0) return 0;
    return count;
}

void SerialEndpoint::dropUnread() {
    if (slaveFd_ >= 0) tcflush(slaveFd_, TCIFLUSH);
}

void SerialEndpoint::drain() {
    if (isTerminal_ && slaveFd_ < 0) tcdrain(fd_);
}

}  // namespace kestrin::ecusim
