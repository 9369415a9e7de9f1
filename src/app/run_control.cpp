// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/run_control.h"

#include <cerrno>
#include <ctime>

#include "log/full_path.h"

namespace kestrin {

namespace {

constexpr const char* kLogExtension = ".txt";
// Earlier logs of one second and one name that are kept, after which the
// name counts as taken.
constexpr int kMaxCopiesAside = 1000;

// A time as the local date and time of day, for a file name: 2026-12-07_14-03-22.
std::string LocalTimeStamp(std::time_t time) {
    std::tm local{};
    char text[64];
    std::size_t n = 0;
    if (::localtime_r(&time, &local))
        n = std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
    return n > 0 ? std::string(text, n) : std::to_string(time);
}

}  // namespace

RunControl::RunControl(OptionState& options, FileSystem& files, SerialPort& port, LogWriter& log,
                       LineTokenizer& tokenizer, MessagePrompt& prompt)
    : options_(options),
      files_(files),
      port_(port),
      log_(log),
      tokenizer_(tokenizer),
      prompt_(prompt) {}

RunControl::~RunControl() { closeLog(false); }

void RunControl::cmdNewRun_Click() {
    // A port that exists but cannot be opened says nothing; its reasons
    // (another program holds it, no permission) are in the README.
    Status status = OpenPort(port_, options_.ComPort, prompt_);
    if (!status.ok()) return;
    runPort_ = options_.ComPort;

    buttons_.cmdStart = true;
    buttons_.cmdEnd = true;
    buttons_.cmdNewRun = false;
    buttons_.cmdCaptureSettings = false;
    buttons_.cmdLoadSettings = false;
    buttons_.cmdViewSettings = false;
    buttons_.cmdSetMarker = true;

    // Whatever happens below, this run never writes into a file it did not open.
    closeLog(true);
    log_.setStream(nullptr);
    failureReported_ = false;
    gapMarked_ = false;

    if (options_.SequenceNumber == INT16_MAX) {
        failureReported_ = true;
        prompt_.show(
            "No log file was created for this run: the run number cannot go past 32767.\r\n"
            "\r\nReceived lines are shown but not logged.",
            kAppTitle, PromptButtons::Ok);
        return;
    }
    ++options_.SequenceNumber;

    const std::string stem =
        options_.SavePath + options_.BaseName + std::to_string(options_.SequenceNumber);
    options_.LogFileName = stem + kLogExtension;
    status = keepEarlierLog(stem);
    if (status.ok()) status = files_.CreateTextFile(options_.LogFileName, logStream_);
    if (!status.ok()) {
        logStream_.reset();
        failureReported_ = true;
        prompt_.show("Log file " + FullPath(options_.LogFileName) + " could not be created: " +
                         status.reason + ".\r\n\r\nReceived lines are shown but not logged.",
                     kAppTitle, PromptButtons::Ok);
        return;
    }
    log_.setStream(logStream_.get());
}

Status RunControl::keepEarlierLog(const std::string& stem) {
    const std::string name = stem + kLogExtension;
    FileEntry entry;
    if (Status status = files_.inspect(name, entry); !status.ok()) return status;
    // A symbolic link is moved aside itself, so its target is neither
    // emptied nor renamed. Anything else that is not a file (a folder, a
    // pipe, a device) is no earlier log: creating the file refuses or uses it.
    if (entry.kind != FileEntry::Kind::Regular && entry.kind != FileEntry::Kind::SymbolicLink)
        return Status::Ok();
    // An empty file holds nothing to keep: the new run's file takes its place.
    if (entry.kind == FileEntry::Kind::Regular && entry.empty) return Status::Ok();

    const std::string aside = stem + "." + LocalTimeStamp(entry.modified);
    for (int copy = 1; copy <= kMaxCopiesAside; ++copy) {
        const std::string suffix = copy == 1 ? "" : "-" + std::to_string(copy);
        Status status = files_.renameNoReplace(name, aside + suffix + kLogExtension);
        // Gone meanwhile: nothing is left to keep.
        if (status.kind == ErrorKind::FileNotFound) return Status::Ok();
        if (status.systemError != EEXIST) return status;
    }
    return Status::FromErrno(EEXIST);
}

void RunControl::cmdStart_Click() {
    buttons_.cmdPause = true;
    buttons_.cmdStart = false;
    log_.setLoggingActive(true);
}

void RunControl::cmdPause_Click() {
    buttons_.startCaption = "Resume Logging";
    buttons_.cmdStart = true;
    buttons_.cmdPause = false;
    log_.setLoggingActive(false);
}

void RunControl::cmdEnd_Click() {
    buttons_ = RunButtons{};
    waiting_ = false;
    portNotice_.clear();
    log_.setLoggingActive(false);
    closeLog(true);
    port_.close();
}

void RunControl::cmdSetMarker_Click() { tokenizer_.MarkerPending = true; }

void RunControl::flushLog() { log_.flush(); }

void RunControl::reportLogFailure() {
    if (failureReported_ || !log_.failure()) return;
    failureReported_ = true;
    prompt_.show("Log file " + FullPath(options_.LogFileName) +
                     " could not be written: " + log_.failure()->reason +
                     ".\r\n\r\nEverything before this point is in the file. Received lines are "
                     "still shown but no longer logged.",
                 kAppTitle, PromptButtons::Ok);
}

void RunControl::portLost(const Status& why) {
    if (!runOpen() || waiting_) return;
    waiting_ = true;
    portNotice_ = PortLostMessage(runPort_, why) + " Reconnecting...";
    // A device that came back and went again before sending anything leaves
    // the gap as it is: one empty line, however often it comes and goes.
    const bool nothingSinceGap =
        gapMarked_ && tokenizer_.heldText().empty() && tokenizer_.fieldIndex() == 0;
    if (!nothingSinceGap) tokenizer_.StreamLost();
    gapMarked_ = true;
    flushLog();
    syncLog();
}

bool RunControl::retryPort() {
    if (!waiting_) return false;
    Status status = port_.setCommPort(runPort_);
    if (status.ok()) status = port_.open();
    if (!status.ok()) return false;
    waiting_ = false;
    portNotice_.clear();
    return true;
}

void RunControl::syncLog() { log_.sync(); }

void RunControl::closeLog(bool tell) {
    if (!logStream_) return;
    log_.sync();
    if (Status closed = logStream_->Close(); !closed.ok() && !log_.failure())
        log_.keepFailure(std::move(closed));
    if (tell) reportLogFailure();
    log_.setStream(nullptr);
    logStream_.reset();
}

}  // namespace kestrin
