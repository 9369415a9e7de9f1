// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "common/message_prompt.h"

namespace kestrin {

// Message boxes on screen, over the given window.
class QtMessagePrompt : public MessagePrompt {
  public:
    explicit QtMessagePrompt(QWidget* parent) : parent_(parent) {}
    PromptAnswer show(std::string_view text, std::string_view title,
                      PromptButtons buttons) override;
    PromptAnswer showAboutFile(std::string_view text, std::string_view name, std::string_view title,
                               PromptButtons buttons) override;

  private:
    PromptAnswer showBody(QString body, std::string_view title, PromptButtons buttons);

    QWidget* parent_;
};

}  // namespace kestrin
