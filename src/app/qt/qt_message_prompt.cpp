// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/qt_message_prompt.h"
#include "common/qt/latin1.h"
#include "common/qt/shown_name.h"

#include <QMessageBox>

namespace kestrin {

PromptAnswer QtMessagePrompt::show(std::string_view text, std::string_view title,
                                   PromptButtons buttons) {
    return showBody(Latin1(text), title, buttons);
}

PromptAnswer QtMessagePrompt::showAboutFile(std::string_view text, std::string_view name,
                                            std::string_view title, PromptButtons buttons) {
    const std::size_t at = text.find("%1");
    if (at == std::string_view::npos) return show(text, title, buttons);
    return showBody(Latin1(text.substr(0, at)) + ShownName(name) + Latin1(text.substr(at + 2)),
                    title, buttons);
}

PromptAnswer QtMessagePrompt::showBody(QString body, std::string_view title,
                                       PromptButtons buttons) {
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
