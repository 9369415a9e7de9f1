// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/message_prompt.h"
#include "common/status.h"
#include "log/text_file.h"
#include "port/serial_port.h"
#include "settings/capture_cutter.h"

namespace kestrin {

inline constexpr std::string_view kInstructionStart = "Turn on ignition but do not start car.";
inline constexpr std::string_view kInstructionWaiting =
    "When no new data displays on screen, press ''End Settings Capture.''";
inline constexpr std::string_view kInstructionIdle =
    "Make sure ignitnion is off and press ''Capture Settings.''";
// What the dialog shows before its first capture.
inline constexpr std::string_view kInstructionInitial =
    "Make sure ignitnion is off and press \"Capture Settings.\"";

inline constexpr std::string_view kCaptionStartCapture = "Capture Settings";
inline constexpr std::string_view kCaptionEndCapture = "End Settings Capture";

inline constexpr std::string_view kCaptureSucceeded = "Settings capture succesful!";
inline constexpr std::string_view kCaptureSucceededTitle = "Capture Complete";
inline constexpr std::string_view kCaptureFailed = "Settings capture failed!";
inline constexpr std::string_view kCaptureRetry = "Please try again.";
inline constexpr std::string_view kErrorTitle = "Error";

// What the capture dialog shows; the window implements it.
class CaptureView {
  public:
    virtual ~CaptureView() = default;
    virtual void setInstructions(std::string_view text) = 0;
    virtual void setCaptureCaption(std::string_view text) = 0;
    virtual void setCaptureEnabled(bool enabled) = 0;
    virtual void setDoneEnabled(bool enabled) = 0;
    virtual void setDebugText(std::string_view text) = 0;
    // Text always lands at the end of the console.
    virtual void AppendConsole(std::string_view text) = 0;
    virtual void clearConsole() = 0;
};

// The capture dialog without its window: records one settings dump from its
// own serial port into Settings.txt, then reads the file back and reports
// whether it holds a complete dump.
class SettingsCapture : public SerialListener, private CaptureOutput {
  public:
    SettingsCapture(CaptureView& view, SerialPort& port, FileSystem& files, MessagePrompt& prompt);
    ~SettingsCapture() override;
    SettingsCapture(const SettingsCapture&) = delete;
    SettingsCapture& operator=(const SettingsCapture&) = delete;

    // Each showing of the dialog: idle state, empty buffer, the port opened
    // on `comPort`. A port that cannot be opened is reported and leaves the
    // capture button disabled.
    void Form_Load(int comPort);
    // Starts a capture, or ends the running one and reports the result.
    void cmdCaptureSettings_Click();
    // One receive event of the dialog's port; ignored while idle.
    void MSComm1_OnComm(std::string_view incoming);

    // Each received byte is one receive event of its own.
    void onReceive(std::string_view bytes) override {
        for (std::size_t i = 0; i < bytes.size(); ++i) MSComm1_OnComm(bytes.substr(i, 1));
    }
    // The device went away: told once; a running capture can still be ended.
    void onPortLost(const Status& why) override;

    bool captureActive() const { return CaptureActive; }
    const CaptureCutter& cutter() const { return cutter_; }
    // The first line of Settings.txt as read back after the last capture.

    static std::string PortFailedMessage(int comPort, const Status& why);

  private:
    void StartCapture();
    void EndCapture();
    // Reads the file back; the reason on failure.
    std::optional<std::string> ReadBack();
    void Write(std::string_view text);
    void SetIdleControls();

    void CaptureAppendConsole(std::string_view text) override { view_.AppendConsole(text); }
    void CaptureWriteField(std::string_view field) override { Write(field); }
    void CaptureWriteComma() override { Write(","); }

    CaptureView& view_;
    SerialPort& port_;
    FileSystem& files_;
    MessagePrompt& prompt_;

    int comPort_ = 1;
    bool portUsable_ = false;
    bool CaptureActive = false;
    CaptureCutter cutter_;
    std::unique_ptr<TextStream> writer_;
    // The first failure to write the running capture's file, as shown to the user.
    std::optional<std::string> writeFailure_;
    std::string readBack_;
};

}  // namespace kestrin
