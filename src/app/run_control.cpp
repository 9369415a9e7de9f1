#include "app/run_control.h"

namespace kestrin {

RunControl::RunControl(OptionState& options, FileSystem& files, SerialPort& port, LogWriter& log,
                       LineTokenizer& tokenizer, MessagePrompt& prompt)
    : options_(options),
      files_(files),
      port_(port),
      log_(log),
      tokenizer_(tokenizer),
      prompt_(prompt) {}

RunControl::~RunControl() { closeLog(); }

void RunControl::cmdNewRun_Click() {
    Status status = port_.setCommPort(options_.ComPort);
    if (status.ok()) status = port_.open();
    if (!status.ok()) {
        // A port that exists but cannot be opened says nothing; its reasons
        // (another program holds it, no permission) are in the README.
        if (status.kind == ErrorKind::PortNotFound)
            prompt_.show(PortMissingMessage(options_.ComPort), kAppTitle, PromptButtons::Ok);
        return;
    }

    buttons_.cmdStart = true;
    buttons_.cmdEnd = true;
    buttons_.cmdNewRun = false;
    buttons_.cmdCaptureSettings = false;
    buttons_.cmdLoadSettings = false;
    buttons_.cmdViewSettings = false;
    buttons_.cmdSetMarker = true;

    // Whatever happens below, this run never writes into a file it did not open.
    closeLog();
    log_.setStream(nullptr);
    failureReported_ = false;
    lossReported_ = false;

    if (options_.SequenceNumber == INT16_MAX) {
        failureReported_ = true;
        prompt_.show(
            "No log file was created for this run: the run number cannot go past 32767.\r\n"
            "\r\nReceived lines are shown but not logged.",
            kAppTitle, PromptButtons::Ok);
        return;
    }
    ++options_.SequenceNumber;

    options_.LogFileName =
        options_.SavePath + options_.BaseName + std::to_string(options_.SequenceNumber) + ".txt";
    status = files_.CreateTextFile(options_.LogFileName, logStream_);
    if (!status.ok()) {
        logStream_.reset();
        failureReported_ = true;
        prompt_.show("Log file " + options_.LogFileName + " could not be created: " +
                         status.reason + ".\r\n\r\nReceived lines are shown but not logged.",
                     kAppTitle, PromptButtons::Ok);
        return;
    }
    log_.setStream(logStream_.get());
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
    log_.setLoggingActive(false);
    closeLog();
    port_.close();
}

void RunControl::cmdSetMarker_Click() { tokenizer_.MarkerPending = true; }

void RunControl::flushLog() { log_.flush(); }

void RunControl::reportLogFailure() {
    if (failureReported_ || !log_.failure()) return;
    failureReported_ = true;
    prompt_.show("Log file " + options_.LogFileName +
                     " could not be written: " + log_.failure()->reason +
                     ".\r\n\r\nEverything before this point is in the file. Received lines are "
                     "still shown but no longer logged.",
                 kAppTitle, PromptButtons::Ok);
}

void RunControl::portLost(const Status& why) {
    if (lossReported_) return;
    lossReported_ = true;
    std::string text = "Com " + std::to_string(options_.ComPort) + " was lost";
    if (!why.reason.empty()) text += " (" + why.reason + ")";
    text += ".";
    if (logStream_)
        text += "\r\n\r\nEverything received before is in " + options_.LogFileName + ".";
    text += "\r\n\r\nPress End Run, reconnect the unit and start a New Run.";
    syncLog();
    prompt_.show(text, kAppTitle, PromptButtons::Ok);
}

void RunControl::syncLog() {
    if (logStream_ && !log_.failure()) logStream_->sync();
}

void RunControl::closeLog() {
    if (!logStream_) return;
    log_.setStream(nullptr);
    logStream_->sync();
    logStream_->Close();
    logStream_.reset();
}

}  // namespace kestrin
