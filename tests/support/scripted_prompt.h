// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/message_prompt.h"

namespace kestrin::test {

// Answers message boxes without a person and remembers what was shown.
struct ScriptedPrompt : MessagePrompt {
    struct Shown {
        std::string text, title;
        PromptButtons buttons;
    };

    // Answers given in order; once they run out, Ok boxes get Ok and Yes/No boxes get No.
    void queue(PromptAnswer answer) { answers.push_back(answer); }
    PromptAnswer show(std::string_view text, std::string_view title,
                      PromptButtons buttons) override {
        shown.push_back({std::string(text), std::string(title), buttons});
        const PromptAnswer none =
            buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
        if (answers.empty()) return none;
        const PromptAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<Shown> shown;
    std::deque<PromptAnswer> answers;
};

}  // namespace kestrin::test
