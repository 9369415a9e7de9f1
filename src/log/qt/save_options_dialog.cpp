// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/qt/save_options_dialog.h"
#include "common/qt/latin1.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "common/qt/twips.h"
#include "port/serial_port.h"

namespace kestrin {

namespace {

template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, int left, int top, int width, int height,
        Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    PlaceTwips(widget, left, top, width, height);
    return widget;
}

}  // namespace

SaveOptionsDialog::SaveOptionsDialog(OptionState& options, MessagePrompt& prompt, QWidget* parent)
    : QDialog(parent), options_(options), prompt_(prompt) {
    setObjectName("frmSaveOptions");
    setWindowTitle("Save Options");
    setModal(true);
    setFixedSize(Px(7155), Px(4965));
    port_.setObjectName("MSComm1");

    comComPort_ = Make<QComboBox>(this, "comComPort", 240, 240, 1575, 315);
    comComPort_->setEditable(true);
    comComPort_->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 1; i <= 6; ++i) comComPort_->addItem(QString("Com %1").arg(i));

    auto* fraSaveOptions = Make<QGroupBox>(this, "fraSaveOptions", 240, 1200, 2175, 1455, "Format");
    optSpace_ =
        Make<QRadioButton>(fraSaveOptions, "optSpace", 120, 240, 1575, 615, "Tab Dillineated");
    optComma_ =
        Make<QRadioButton>(fraSaveOptions, "optComma", 120, 720, 1695, 615, "Comma Dillineated");

    auto* fraFileNaming =
        Make<QGroupBox>(this, "fraFileNaming", 2640, 1200, 2175, 1455, "File Naming");
    fraFileNaming->setEnabled(false);
    auto* optSequential = Make<QRadioButton>(fraFileNaming, "optSequential", 120, 240, 1935, 375,
                                             "Sequential (Automatic)");
    auto* optAppend =
        Make<QRadioButton>(fraFileNaming, "optAppend", 120, 600, 1935, 375, "Append (Prompt)");
    auto* optUserDefined = Make<QRadioButton>(fraFileNaming, "optUserDefined", 120, 960, 1935, 375,
                                              "User Defined (Prompt)");
    optSequential->setChecked(true);
    optAppend->setEnabled(false);
    optUserDefined->setEnabled(false);

    auto* fraSequential =
        Make<QGroupBox>(this, "fraSequential", 5040, 1200, 1455, 1455, "Sequential Start");
    txtSeqStart_ = Make<QLineEdit>(fraSequential, "txtSeqStart", 240, 480, 855, 375, "1");
    txtSeqStart_->setEnabled(false);

    auto* lblSaveDescription =
        Make<QLabel>(this, "lblSaveDescription", 240, 3120, 735, 255, "Location:");
    txtSavePath_ = Make<QLineEdit>(this, "txtSavePath", 240, 3360, 3735, 375);
    txtSavePath_->setEnabled(false);
    auto* cmdBrowse = Make<QPushButton>(this, "cmdBrowse", 4080, 3360, 1455, 375, "Br&owse");
    cmdBrowse->setEnabled(false);
    auto* cmdOK = Make<QPushButton>(this, "cmdOK", 5760, 4440, 1215, 375, "OK");
    cmdOK->setDefault(true);

    // Only focusable controls take part in the tab order.
    QWidget* order[] = {optSpace_, optComma_,    optSequential, optUserDefined, cmdOK,
                        cmdBrowse, txtSavePath_, optAppend,     txtSeqStart_,   comComPort_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    (void)lblSaveDescription;

    connect(comComPort_, &QComboBox::activated, this, &SaveOptionsDialog::comComPort_Click);
    connect(optComma_, &QRadioButton::clicked, this,
            [this] { options_.SeparatorMode = Separator::Comma; });
    connect(optSpace_, &QRadioButton::clicked, this,
            [this] { options_.SeparatorMode = Separator::Tab; });
    connect(optSequential, &QRadioButton::clicked, this,
            [this] { options_.NamingMode = Naming::Sequential; });
    connect(optAppend, &QRadioButton::clicked, this,
            [this] { options_.NamingMode = Naming::Append; });
    connect(optUserDefined, &QRadioButton::clicked, this,
            [this] { options_.NamingMode = Naming::UserDefined; });
    connect(cmdOK, &QPushButton::clicked, this, &SaveOptionsDialog::cmdOK_Click);

    Form_Load();
}

void SaveOptionsDialog::Form_Load() {
    txtSavePath_->setText(Latin1(options_.SavePath + options_.BaseName +
                                 std::to_string(options_.SequenceNumber) + ".txt"));
    if (options_.SeparatorMode == Separator::Comma) {
        optComma_->setChecked(true);
    } else {
        optSpace_->setChecked(true);
    }
}

void SaveOptionsDialog::comComPort_Click(int index) {
    options_.ComPort = static_cast<std::int16_t>(index + 1);
    CheckComPort();
}

void SaveOptionsDialog::CheckComPort() {
    if (OpenPort(port_, options_.ComPort, prompt_).ok()) port_.close();
}

void SaveOptionsDialog::cmdOK_Click() {
    bool ok = false;
    const int value = txtSeqStart_->text().toInt(&ok);
    if (ok && value >= INT16_MIN && value <= INT16_MAX)
        options_.SequenceNumber = static_cast<std::int16_t>(value);
    accept();
}

}  // namespace kestrin
