// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu-sim/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "ecu-sim/settings_dump.h"
#include "ecu-sim/unit_settings.h"

namespace kestrin::ecusim {

namespace {

using namespace std::chrono_literals;

constexpr int kIdlePollMs = 200;  // how often stop conditions are looked at when idle
constexpr std::size_t kMaxWrite = 4096;
// Unread characters after this long with the stream paused are left over from
// before the pause: no reader at these speeds leaves them that long.
constexpr auto kStaleAfter = 1s;
// How long the end of the stream waits for a logger that has stopped reading:
// unpaced, the reader may still be starting up; paced, a real line would have
// lost the characters by now anyway.
constexpr auto kFastDrainPatience = 5s;
constexpr auto kPacedDrainPatience = 1s;

int gSignalPipe[2] = {-1, -1};

void OnSignal(int signo) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

bool SetFlags(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

int MillisecondsUntil(std::chrono::steady_clock::duration left) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, kIdlePollMs));
}

void Say(const std::string& text) { std::cerr << "ecu-sim: " << text << '\n'; }

bool PortGoneError(int error) {
    return error == EIO || error == EPIPE || error == ENXIO || error == ENODEV;
}

}  // namespace

// Signals arrive through a pipe so that the loop handles them between writes.
bool InstallSignals() {
    if (gSignalPipe[0] < 0 &&
        (pipe(gSignalPipe) != 0 || !SetFlags(gSignalPipe[0]) || !SetFlags(gSignalPipe[1])))
        return false;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signo : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
        // A stop signal ignored by whoever started us (nohup, a background
        // job) stays ignored.
        struct sigaction inherited {};
        if (sigaction(signo, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN &&
            signo != SIGUSR1 && signo != SIGUSR2)
            continue;
        if (sigaction(signo, &action, nullptr) != 0) return false;
    }
    // A reader that goes away shows as EPIPE on the write instead.
    signal(SIGPIPE, SIG_IGN);
    return true;
}

Simulator::Simulator(const SimOptions& options, const UnitSettings& settings, SerialEndpoint& line,
                     KeyInput& keys)
    : options_(options),
      line_(line),
      keys_(keys),
      source_(
          options.seed, options.headerEvery,
          MakeFuelSetup(settings, options.seed, options.fuelStepPercent, options.sensorLagLines)),
      dump_(SettingsDump(settings.values)),
      byteTime_(10.0 / static_cast<double>(options.baud)),
      // About a second of characters, as much as a driver would keep for a
      // port nobody reads.
      backlogLimit_(std::clamp(options.baud / 10, 256L, 2048L)),
      startParent_(getppid()) {}

int Simulator::run() {
    if (!InstallSignals()) {
        Say(std::string("cannot set up signal handling: ") + std::strerror(errno));
        return 1;
    }
    const auto start = Clock::now();
    due_ = start;
    pausedSince_ = start;
    if (options_.seconds)
        deadline_ = start + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(*options_.seconds));
    paused_ = options_.startPaused;
    dumpRequested_ = options_.dumpAtStart;

    while (outcome_ == Outcome::kRunning) iterate();
    if (outcome_ == Outcome::kFinished) drainLine();
    keys_.restore();
    Say(reason_ + "; " + std::to_string(dataLines_) +
        (dataLines_ == 1 ? " data line sent" : " data lines sent"));
    return outcome_ == Outcome::kFailed ? 1 : 0;
}

void Simulator::end(Outcome outcome, const std::string& reason) {
    if (outcome_ != Outcome::kRunning) return;
    outcome_ = outcome;
    reason_ = reason;
}

void Simulator::iterate() {
    const auto now = Clock::now();
    if (deadline_ && now >= *deadline_) return end(Outcome::kFinished, "time is up");
    if (parentGone()) return end(Outcome::kStopped, "the parent process has ended");
    if (pendingPos_ == pending_.size()) refill(now);
    const bool hasOutput = pendingPos_ < pending_.size();
    if (!hasOutput && streamDone_) return end(Outcome::kFinished, "the last line is sent");

    const bool writeDue = hasOutput && (options_.fast || now >= due_);
    int timeoutMs = kIdlePollMs;
    if (hasOutput && !writeDue) timeoutMs = MillisecondsUntil(due_ - now);
    if (deadline_) timeoutMs = std::min(timeoutMs, MillisecondsUntil(*deadline_ - now));

    pollfd fds[3] = {};
    fds[0] = {gSignalPipe[0], POLLIN, 0};
    fds[1].fd = line_.fd();
    fds[1].events =
        static_cast<short>((writeDue ? POLLOUT : 0) | (line_.carriesReplies() ? POLLIN : 0));
    nfds_t count = 2;
    if (keys_.watching()) fds[count++] = {keys_.fd(), POLLIN, 0};

    if (poll(fds, count, timeoutMs) < 0) {
        if (errno != EINTR)
            end(Outcome::kFailed, std::string("poll failed: ") + std::strerror(errno));
        return;
    }
    if (fds[0].revents & POLLIN) readSignals();
    if (count > 2 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) readKeys();
    if (fds[1].revents & POLLIN) discardReplies();
    if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL))
        return end(Outcome::kStopped, "the port has gone away");
    if (outcome_ == Outcome::kRunning && writeDue && (fds[1].revents & POLLOUT))
        writeSome(Clock::now());
}

void Simulator::refill(Clock::time_point now) {
    pending_.clear();
    pendingPos_ = 0;
    if (dumpRequested_) {
        dumpRequested_ = false;
        // Characters left unread since before the pause would run into the
        // dump the logger is about to capture.
        if (!options_.fast && paused_ && now - pausedSince_ >= kStaleAfter && line_.unread() > 0) {
            Say("dropped " + std::to_string(line_.unread()) + " characters nobody read");
            line_.dropUnread();
        }
        Say("sending the settings dump");
        pending_ = dump_;
        return;
    }
    if (options_.lines && dataLines_ >= *options_.lines) streamDone_ = true;
    if (paused_ || streamDone_) return;
    // Paced like a real line, characters nobody picks up are lost rather than
    // held back for a logger that opens the port later.
    if (!options_.fast && line_.unread() > backlogLimit_) line_.dropUnread();
    StreamSource::Line next = source_.next();
    if (next.isData) ++dataLines_;
    pending_ = std::move(next.text);
}

void Simulator::writeSome(Clock::time_point now) {
    std::size_t want = std::min(pending_.size() - pendingPos_, kMaxWrite);
    if (!options_.fast) {
        // After a stall (a full buffer), carry on at the line speed instead of
        // bursting to catch up.
        if (now - due_ > 1s) due_ = now;
        const auto behind = std::chrono::duration<double>(now - due_);
        want = std::min(want, 1 + static_cast<std::size_t>(behind / byteTime_));
    }
    const ssize_t written = write(line_.fd(), pending_.data() + pendingPos_, want);
    if (written < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        if (PortGoneError(errno)) return end(Outcome::kStopped, "the port has gone away");
        return end(Outcome::kFailed, std::string("cannot write: ") + std::strerror(errno));
    }
    pendingPos_ += static_cast<std::size_t>(written);
    if (!options_.fast)
        due_ +=
            std::chrono::duration_cast<Clock::duration>(static_cast<double>(written) * byteTime_);
}

void Simulator::discardReplies() {
    char buffer[256];
    while (true) {
        const ssize_t n = read(line_.fd(), buffer, sizeof buffer);
        if (n > 0) continue;
        if (n == 0 || PortGoneError(errno)) end(Outcome::kStopped, "the port has gone away");
        return;
    }
}

void Simulator::readSignals() {
    unsigned char signals[16];
    ssize_t n;
    while ((n = read(gSignalPipe[0], signals, sizeof signals)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (signals[i] == SIGUSR1) {
                requestDump();
            } else if (signals[i] == SIGUSR2) {
                togglePause();
            } else {
                end(Outcome::kStopped, std::string("stopped by ") + strsignal(signals[i]));
            }
        }
    }
}

void Simulator::readKeys() {
    char keys[64];
    const ssize_t n = read(keys_.fd(), keys, sizeof keys);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    bool endOfInput = n <= 0;
    for (ssize_t i = 0; i < n; ++i) {
        switch (keys[i]) {
            case 'd':
            case 'D':
                requestDump();
                break;
            case 'p':
            case 'P':
                togglePause();
                break;
            case 'q':
            case 'Q':
                end(Outcome::kStopped, "quit");
                break;
            case '\x04':  // Ctrl-D on a terminal taking single keys
                endOfInput = true;
                break;
            default:
                break;
        }
    }
    if (!endOfInput) return;
    if (options_.stopOnStdinEof) end(Outcome::kStopped, "standard input has ended");
    keys_.stopWatching();
}

void Simulator::requestDump() {
    dumpRequested_ = true;
    if (pendingPos_ < pending_.size()) Say("settings dump after the current line");
}

void Simulator::togglePause() {
    paused_ = !paused_;
    if (paused_) pausedSince_ = Clock::now();
    Say(paused_ ? "stream paused (d sends the dump, p resumes)" : "stream resumed");
}

bool Simulator::parentGone() const {
    if (!options_.parentPid) return false;
    const auto pid = static_cast<pid_t>(*options_.parentPid);
    // Our own parent counts as gone as soon as this process is handed on to
    // another, even while it lingers unreaped.
    if (pid == startParent_ && getppid() != pid) return true;
    return kill(pid, 0) != 0 && errno == ESRCH;
}

// Gives the logger the chance to read the end of the stream before the port
// disappears with this process.
void Simulator::drainLine() {
    if (!line_.isPseudoTerminal()) {
        line_.drain();
        return;
    }
    const auto patience = options_.fast ? kFastDrainPatience : kPacedDrainPatience;
    long last = line_.unread();
    auto lastProgress = Clock::now();
    while (outcome_ == Outcome::kFinished) {
        pollfd wake = {gSignalPipe[0], POLLIN, 0};
        if (poll(&wake, 1, 50) > 0) {
            unsigned char signals[16];
            ssize_t n;
            bool stop = false;
            while ((n = read(gSignalPipe[0], signals, sizeof signals)) > 0) {
                for (ssize_t i = 0; i < n; ++i)
                    stop = stop || (signals[i] != SIGUSR1 && signals[i] != SIGUSR2);
            }
            if (stop) return;
        }
        const long unread = line_.unread();
        if (unread == 0 || parentGone()) return;
        if (unread < last) {
            last = unread;
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress > patience) {
            Say(std::to_string(unread) + " characters were left unread");
            return;
        }
    }
}

}  // namespace kestrin::ecusim
