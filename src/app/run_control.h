// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/message_prompt.h"
#include "intake/line_tokenizer.h"
#include "log/log_writer.h"
#include "log/options.h"
#include "log/text_file.h"
#include "port/serial_port.h"

namespace kestrin {

// Which run commands the main window offers, and the caption of the
// Begin/Resume button. The run state (Idle, Ready, Logging, Paused) is this
// together with the port and the logging flag.
struct RunButtons {
    bool cmdNewRun = true;
    bool cmdEnd = false;
    bool cmdStart = false;
    bool cmdPause = false;
    bool cmdSetMarker = false;
    bool cmdCaptureSettings = true;
    bool cmdLoadSettings = true;
    bool cmdViewSettings = true;
    std::string startCaption = "Begin Logging";

    bool operator==(const RunButtons&) const = default;
};

// The commands that open, start, pause, mark and end a logging run.
class RunControl {
  public:
    RunControl(OptionState& options, FileSystem& files, SerialPort& port, LogWriter& log,
               LineTokenizer& tokenizer, MessagePrompt& prompt);
    ~RunControl();

    void cmdNewRun_Click();
    void cmdStart_Click();
    void cmdPause_Click();
    void cmdEnd_Click();
    void cmdSetMarker_Click();

    const RunButtons& buttons() const { return buttons_; }
    bool runOpen() const { return buttons_.cmdEnd; }

    // After a chunk read from the port has been handled: hands the lines
    // ended in it to the operating system.
    void flushLog();
    // Tells the user once when the log could not be written, synced or
    // closed. Received bytes are handled first and this comes after, outside
    // their handling: the box waits for a click, the unit does not.
    void reportLogFailure();
    bool logFailureToReport() const { return !failureReported_ && log_.failure(); }
    // The device went away during the run: the run stays open in its state,
    // the gap is marked in the console and the log, and retryPort() reopens
    // the port. No message box: nobody may be there to answer it (a log
    // that failed meanwhile is for reportLogFailure).
    void portLost(const Status& why);
    // While the port is lost: one attempt to open it again, its device looked
    // up afresh. True when the port is back; the run goes on as it was.
    bool retryPort();
    bool waitingForPort() const { return waiting_; }
    // What the window title adds to the program's name: empty, or that the
    // run's port is lost and being reopened.
    const std::string& portNotice() const { return portNotice_; }
    // Puts what the log holds on the disk; a failure is kept for reportLogFailure.
    void syncLog();

  private:
    // Renames an existing log file stem.txt beside itself after its time of
    // modification (stem.2026-12-07_14-03-22.txt, then -2, -3, ... when that
    // name is taken), so that the new run's file replaces nothing but an
    // empty file.
    Status keepEarlierLog(const std::string& stem);
    // Syncs and closes the run's log; a failure is told when `tell` (at End Run).
    void closeLog(bool tell);

    OptionState& options_;
    FileSystem& files_;
    SerialPort& port_;
    LogWriter& log_;
    LineTokenizer& tokenizer_;
    MessagePrompt& prompt_;

    RunButtons buttons_;
    std::unique_ptr<TextStream> logStream_;
    bool failureReported_ = false;
    // The port of the open run: Save Options may choose another for the next run.
    int runPort_ = 1;
    bool waiting_ = false;
    // This run's port was lost and the gap marked.
    bool gapMarked_ = false;
    std::string portNotice_;
};

}  // namespace kestrin
