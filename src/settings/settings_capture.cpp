// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_capture.h"

#include <utility>

#include "log/full_path.h"
#include "settings/settings_format.h"

namespace kestrin {

namespace {

// "/home/ann/Kestrin/Settings.txt could not be written: No space left on device."
std::string FileProblem(std::string_view what, const Status& status) {
    std::string text =
        FullPath(std::string(kSettingsFileName)) + " could not be " + std::string(what) + ": ";
    text += status.reason.empty() ? "error " + std::to_string(status.number()) : status.reason;
    return text + ".";
}

std::string Paragraphs(std::string_view first, std::string_view second) {
    return std::string(first) + "\r\n\r\n" + std::string(second);
}

}  // namespace

SettingsCapture::SettingsCapture(CaptureView& view, SerialPort& port, FileSystem& files,
                                 MessagePrompt& prompt)
    : view_(view), port_(port), files_(files), prompt_(prompt), cutter_(*this) {}

SettingsCapture::~SettingsCapture() {
    port_.setListener(nullptr);
    // Closed in the middle of a capture: what was written stays, without the
    // end marker, so the loader will not take it for a complete dump.
    // Nobody is left to tell of a failure.
    if (writer_) (void)writer_->Close();
}

std::string SettingsCapture::PortFailedMessage(int comPort, const Status& why) {
    std::string text = "Com " + std::to_string(comPort) + " could not be opened";
    text +=
        why.reason.empty() ? " (error " + std::to_string(why.number()) + ")" : ": " + why.reason;
    return Paragraphs(text + ".",
                      "Close any program that uses the port, then open this window again.");
}

void SettingsCapture::Form_Load(int comPort) {
    comPort_ = comPort;
    CaptureActive = false;
    cutter_.Reset();

    port_.close();
    port_.setListener(this);
    const Status status = OpenPort(port_, comPort, prompt_);
    portUsable_ = status.ok();

    view_.setInstructions(kInstructionInitial);
    view_.setCaptureCaption(kCaptionStartCapture);
    view_.setDoneEnabled(true);
    view_.setDebugText("");
    // Without a port there is nothing to capture: the button stays off rather
    // than write an empty dump.
    view_.setCaptureEnabled(portUsable_);
    if (!portUsable_ && status.kind != ErrorKind::PortNotFound)
        prompt_.show(PortFailedMessage(comPort, status), kAppTitle, PromptButtons::Ok);
}

void SettingsCapture::cmdCaptureSettings_Click() {
    view_.setInstructions(kInstructionStart);
    if (CaptureActive) {
        EndCapture();
    } else {
        StartCapture();
    }
}

void SettingsCapture::MSComm1_OnComm(std::string_view incoming) {
    // Text that arrives while idle is not part of a dump and is dropped.
    if (!CaptureActive) return;
    view_.setInstructions(kInstructionWaiting);
    cutter_.Receive(incoming);
}

void SettingsCapture::onPortLost(const Status& why) {
    portUsable_ = false;
    std::string text = PortLostMessage(comPort_, why);
    if (CaptureActive) {
        text = Paragraphs(text,
                          "Press End Settings Capture, reconnect the unit and open this "
                          "window again.");
    } else {
        view_.setCaptureEnabled(false);
        text = Paragraphs(text, "Reconnect the unit and open this window again.");
    }
    prompt_.show(text, kAppTitle, PromptButtons::Ok);
}

void SettingsCapture::StartCapture() {
    if (!portUsable_) {
        view_.setInstructions(kInstructionIdle);
        SetIdleControls();
        return;
    }
    std::unique_ptr<TextStream> writer;
    std::string problem;
    Status status = files_.CreateTextFile(std::string(kSettingsFileName), writer);
    if (!status.ok()) {
        problem = FileProblem("created", status);
    } else if (!(status = writer->write(kSettingsBegin)).ok()) {
        problem = FileProblem("written", status);
        (void)writer->Close();  // the failure to write is the one told
    }
    if (!problem.empty()) {
        view_.setInstructions(kInstructionIdle);
        prompt_.show(Paragraphs(problem, "No capture was started."), kErrorTitle,
                     PromptButtons::Ok);
        return;
    }

    writer_ = std::move(writer);
    writeFailure_.reset();
    CaptureActive = true;
    view_.setCaptureCaption(kCaptionEndCapture);
    view_.setDoneEnabled(false);
}

void SettingsCapture::EndCapture() {
    CaptureActive = false;
    view_.setCaptureCaption(kCaptionStartCapture);
    view_.setInstructions(kInstructionIdle);

    Write(kSettingsEnd);
    if (writer_) {
        const Status closed = writer_->Close();
        if (!closed.ok() && !writeFailure_) writeFailure_ = FileProblem("written", closed);
        writer_.reset();
    }

    // Only a file that was written whole and read back can be reported as complete.
    std::optional<std::string> problem = writeFailure_;
    if (!problem) problem = ReadBack();
    const std::size_t count = CommaCount(readBack_);
    if (problem) {
        prompt_.show(Paragraphs(kCaptureFailed, Paragraphs(*problem, kCaptureRetry)), kErrorTitle,
                     PromptButtons::Ok);
    } else if (count == kCompleteCommaCount) {
        prompt_.show(kCaptureSucceeded, kCaptureSucceededTitle, PromptButtons::Ok);
    } else {
        prompt_.show(Paragraphs(kCaptureFailed, kCaptureRetry), kErrorTitle, PromptButtons::Ok);
    }

    view_.setDebugText(problem ? std::string() : std::to_string(count));
    SetIdleControls();
    view_.clearConsole();
}

std::optional<std::string> SettingsCapture::ReadBack() {
    readBack_.clear();
    std::unique_ptr<TextStream> reader;
    Status status = files_.OpenTextFile(std::string(kSettingsFileName), reader);
    if (!status.ok()) return FileProblem("read back", status);
    status = reader->readline(readBack_);
    // Closed at once, so the next capture can replace the file; a reader's
    // closing loses nothing.
    (void)reader->Close();
    if (!status.ok()) {
        readBack_.clear();
        return FileProblem("read back", status);
    }
    return std::nullopt;
}

void SettingsCapture::Write(std::string_view text) {
    if (!writer_ || writeFailure_) return;
    const Status status = writer_->write(text);
    if (!status.ok()) writeFailure_ = FileProblem("written", status);
}

void SettingsCapture::SetIdleControls() {
    view_.setCaptureCaption(kCaptionStartCapture);
    view_.setDoneEnabled(true);
    view_.setCaptureEnabled(portUsable_);
}

}  // namespace kestrin
