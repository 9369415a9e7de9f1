// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/queued_prompt.h"

#include <QTimer>
#include <string>

namespace kestrin {

PromptAnswer QueuedPrompt::show(std::string_view text, std::string_view title,
                                PromptButtons buttons) {
    if (buttons != PromptButtons::Ok) return prompt_.show(text, title, buttons);
    QTimer::singleShot(0, &context_, [this, text = std::string(text), title = std::string(title)] {
        (void)prompt_.show(text, title, PromptButtons::Ok);
    });
    return PromptAnswer::Ok;
}

PromptAnswer QueuedPrompt::showAboutFile(std::string_view text, std::string_view name,
                                         std::string_view title, PromptButtons buttons) {
    if (buttons != PromptButtons::Ok) return prompt_.showAboutFile(text, name, title, buttons);
    QTimer::singleShot(
        0, &context_,
        [this, text = std::string(text), name = std::string(name), title = std::string(title)] {
            (void)prompt_.showAboutFile(text, name, title, PromptButtons::Ok);
        });
    return PromptAnswer::Ok;
}

}  // namespace kestrin
