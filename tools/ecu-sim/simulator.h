// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "ecu-sim/key_input.h"
#include "ecu-sim/serial_endpoint.h"
#include "ecu-sim/sim_options.h"
#include "ecu-sim/stream_lines.h"
#include "ecu-sim/unit_settings.h"

namespace kestrin::ecusim {

// Plays the unit on the line: the stream paced at the line speed, the
// settings dump on request, commands from the keys and from signals.
// Routes the stop, dump and pause signals to the simulator's loop. Done
// before the port is announced, so a signal sent right after never finds the
// default action (which would end the process).
bool InstallSignals();

class Simulator {
  public:
    // Runs the engine on `settings` and sends them as the dump.
    Simulator(const SimOptions& options, const UnitSettings& settings, SerialEndpoint& line,
              KeyInput& keys);

    // Runs until a stop condition; returns the process exit status.
    int run();

  private:
    using Clock = std::chrono::steady_clock;
    enum class Outcome { kRunning, kFinished, kStopped, kFailed };

    void iterate();
    void refill(Clock::time_point now);
    void writeSome(Clock::time_point now);
    void discardReplies();
    void readSignals();
    void readKeys();
    void requestDump();
    void togglePause();
    bool parentGone() const;
    void drainLine();
    void end(Outcome outcome, const std::string& reason);

    const SimOptions& options_;
    SerialEndpoint& line_;
    KeyInput& keys_;
    StreamSource source_;
    std::string dump_;
    std::chrono::duration<double> byteTime_;
    long backlogLimit_;
    long startParent_;

    std::string pending_;
    std::size_t pendingPos_ = 0;
    bool paused_ = false;
    bool dumpRequested_ = false;
    bool streamDone_ = false;
    long long dataLines_ = 0;
    Clock::time_point due_{};
    Clock::time_point pausedSince_{};
    std::optional<Clock::time_point> deadline_;
    Outcome outcome_ = Outcome::kRunning;
    std::string reason_;
};

}  // namespace kestrin::ecusim
