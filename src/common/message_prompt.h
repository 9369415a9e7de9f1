// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kestrin {

enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

// A message box: text, title and buttons, answered by the user (or by a test).
class MessagePrompt {
  public:
    virtual ~MessagePrompt() = default;
    virtual PromptAnswer show(std::string_view text, std::string_view title,
                              PromptButtons buttons) = 0;
};

inline constexpr std::string_view kAppTitle = "Kestrin";

}  // namespace kestrin
