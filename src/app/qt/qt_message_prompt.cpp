// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/qt_message_prompt.h"
#include "common/qt/latin1.h"

#include <QMessageBox>

namespace kestrin {

PromptAnswer QtMessagePrompt::show(std::string_view text, std::string_view title,
                                   PromptButtons buttons) {
    QString body = Latin1(text);
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(
        QMessageBox::NoIcon, Latin1(title), body,
        buttons == PromptButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
        parent_);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Ok;
    }
}

}  // namespace kestrin
