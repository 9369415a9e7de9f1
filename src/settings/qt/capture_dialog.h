// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>
#include <string_view>

#include "common/message_prompt.h"
#include "log/options.h"
#include "log/text_file.h"
#include "port/qt/qt_serial_port.h"
#include "settings/settings_capture.h"

class QLabel;
class QPushButton;

namespace kestrin {

class ConsoleView;

// frmCaptureSettings: records one settings dump from the unit into
// Settings.txt. Shown modally with exec(); it opens its own port on ComPort
// as it is created and releases it when it is destroyed.
class CaptureDialog : public QDialog, private CaptureView {
    Q_OBJECT
  public:
    CaptureDialog(OptionState& options, FileSystem& files, MessagePrompt& prompt,
                  QWidget* parent = nullptr);
    ~CaptureDialog() override;

    const SettingsCapture& capture() const { return *capture_; }

  public slots:
    // Escape and the close box do nothing while a capture runs, like Done:
    // the capture has to be ended so the file gets its end marker.
    void reject() override;

  private:
    void cmdCaptureSettings_Click();
    void cmdExit_Click();

    void setInstructions(std::string_view text) override;
    void setCaptureCaption(std::string_view text) override;
    void setCaptureEnabled(bool enabled) override;
    void setDoneEnabled(bool enabled) override;
    void setDebugText(std::string_view text) override;
    void AppendConsole(std::string_view text) override;
    void clearConsole() override;

    QLabel* lblInstructions_ = nullptr;
    ConsoleView* txtVornOutput_ = nullptr;
    QPushButton* cmdCaptureSettings_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QLabel* lblDbg_ = nullptr;
    // Declared before the capture, so the capture lets go of it first.
    QtSerialPort MSComm1_;
    std::unique_ptr<SettingsCapture> capture_;
};

}  // namespace kestrin
