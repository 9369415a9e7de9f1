// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include "common/message_prompt.h"

namespace kestrin {

// Shows an OK box of `prompt` from the event loop, after the caller has
// returned, instead of at once: the handling of received bytes must never
// wait for a click. The answer is always Ok; a question is asked at once.
class QueuedPrompt : public MessagePrompt {
  public:
    explicit QueuedPrompt(MessagePrompt& prompt) : prompt_(prompt) {}
    PromptAnswer show(std::string_view text, std::string_view title,
                      PromptButtons buttons) override;
    PromptAnswer showAboutFile(std::string_view text, std::string_view name, std::string_view title,
                               PromptButtons buttons) override;

  private:
    MessagePrompt& prompt_;
    // Goes with the prompt's owner: a box not shown by then is not shown.
    QObject context_;
};

}  // namespace kestrin
