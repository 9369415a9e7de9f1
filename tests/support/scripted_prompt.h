#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/message_prompt.h"

namespace kestrin::test {

// Answers message boxes without a person and remembers what was shown.
class ScriptedPrompt : public MessagePrompt {
  public:
    struct Shown {
        std::string text;
        std::string title;
        PromptButtons buttons;
    };

    // Answers given in order; once they run out, Ok boxes get Ok and Yes/No boxes get No.
    void queue(PromptAnswer answer) { answers_.push_back(answer); }

    PromptAnswer show(std::string_view text, std::string_view title,
                      PromptButtons buttons) override {
        shown.push_back({std::string(text), std::string(title), buttons});
        if (!answers_.empty()) {
            PromptAnswer a = answers_.front();
            answers_.pop_front();
            return a;
        }
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }

    std::vector<Shown> shown;

  private:
    std::deque<PromptAnswer> answers_;
};

}  // namespace kestrin::test
