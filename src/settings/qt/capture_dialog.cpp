// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/qt/capture_dialog.h"

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "common/qt/latin1.h"
#include "common/qt/twips.h"
#include "display/qt/console_view.h"

namespace kestrin {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QLatin1String(caption), parent);
    button->setObjectName(QLatin1String(name));
    // Enter must not start or end a capture by accident.
    button->setAutoDefault(false);
    // The form's 8 point face, so "End Settings Capture" fits the button.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    button->setFont(font);
    return button;
}

// Substitute faces run wider than the form's: shrink until `caption` fits.
void FitCaption(QPushButton* button, std::string_view caption) {
    constexpr int kMargin = 8;
    QFont font = button->font();
    while (font.pointSizeF() > 6 &&
           QFontMetrics(font).horizontalAdvance(Latin1(caption)) + kMargin > button->width())
        font.setPointSizeF(font.pointSizeF() - 0.5);
    button->setFont(font);
}

}  // namespace

CaptureDialog::CaptureDialog(OptionState& options, FileSystem& files, MessagePrompt& prompt,
                             QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmCaptureSettings"));
    setWindowTitle(QStringLiteral("Capture Settings"));
    setModal(true);
    setFixedSize(Px(15780), Px(5070));

    lblInstructions_ = MakeLabel(this, "lblInstructions");
    QFont instructionFont(QStringLiteral("MS Sans Serif"));
    instructionFont.setStyleHint(QFont::SansSerif);
    instructionFont.setPointSize(12);
    instructionFont.setBold(true);
    lblInstructions_->setFont(instructionFont);
    PlaceTwips(lblInstructions_, 240, 120, 9975, 375);

    txtVornOutput_ = new ConsoleView(this);
    txtVornOutput_->setObjectName(QStringLiteral("txtVornOutput"));
    PlaceTwips(txtVornOutput_, 240, 720, 12375, 3615);

    cmdCaptureSettings_ = MakeButton(this, "cmdCaptureSettings", "Capture Settings");
    PlaceTwips(cmdCaptureSettings_, 13920, 600, 1695, 375);
    FitCaption(cmdCaptureSettings_, kCaptionEndCapture);
    connect(cmdCaptureSettings_, &QPushButton::clicked, this,
            &CaptureDialog::cmdCaptureSettings_Click);

    cmdExit_ = MakeButton(this, "cmdExit", "D&one");
    PlaceTwips(cmdExit_, 13920, 4080, 1575, 375);
    connect(cmdExit_, &QPushButton::clicked, this, &CaptureDialog::cmdExit_Click);

    lblDbg_ = MakeLabel(this, "lblDbg");
    PlaceTwips(lblDbg_, 240, 4560, 12375, 495);

    MSComm1_.setObjectName(QStringLiteral("MSComm1"));
    CaptureView& view = *this;
    capture_ = std::make_unique<SettingsCapture>(view, MSComm1_, files, prompt);
    capture_->Form_Load(options.ComPort);
}

// The capture goes first: it closes an unfinished file and detaches from the port.
CaptureDialog::~CaptureDialog() { capture_.reset(); }

void CaptureDialog::reject() {
    if (capture_ && capture_->captureActive()) return;
    QDialog::reject();
}

void CaptureDialog::cmdCaptureSettings_Click() { capture_->cmdCaptureSettings_Click(); }

void CaptureDialog::cmdExit_Click() {
    if (capture_->captureActive()) return;
    accept();
}

void CaptureDialog::setInstructions(std::string_view text) {
    lblInstructions_->setText(Latin1(text));
}

void CaptureDialog::setCaptureCaption(std::string_view text) {
    cmdCaptureSettings_->setText(Latin1(text));
}

void CaptureDialog::setCaptureEnabled(bool enabled) { cmdCaptureSettings_->setEnabled(enabled); }

void CaptureDialog::setDoneEnabled(bool enabled) { cmdExit_->setEnabled(enabled); }

void CaptureDialog::setDebugText(std::string_view text) { lblDbg_->setText(Latin1(text)); }

void CaptureDialog::AppendConsole(std::string_view text) { txtVornOutput_->AppendConsole(text); }

void CaptureDialog::clearConsole() { txtVornOutput_->clear(); }

}  // namespace kestrin
