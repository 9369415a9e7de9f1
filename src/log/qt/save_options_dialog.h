// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "common/message_prompt.h"
#include "log/options.h"
#include "port/qt/qt_serial_port.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrin {

// frmSaveOptions: the serial port, the log separator and the next run number.
class SaveOptionsDialog : public QDialog {
    Q_OBJECT
  public:
    SaveOptionsDialog(OptionState& options, MessagePrompt& prompt, QWidget* parent = nullptr);

    void comComPort_Click(int index);
    void cmdOK_Click();

  private:
    void Form_Load();
    void CheckComPort();

    OptionState& options_;
    MessagePrompt& prompt_;
    QtSerialPort port_;

    QComboBox* comComPort_;
    QRadioButton* optSpace_;
    QRadioButton* optComma_;
    QLineEdit* txtSeqStart_;
    QLineEdit* txtSavePath_;
};

}  // namespace kestrin
