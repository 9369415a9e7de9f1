// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "common/printable_name.h"

namespace kestrin {

enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

// A message box: text, title and buttons, answered by the user (or by a test).
class MessagePrompt {
  public:
    virtual ~MessagePrompt() = default;
    virtual PromptAnswer show(std::string_view text, std::string_view title,
                              PromptButtons buttons) = 0;
    // A message about a file: `name`, the bytes the file system holds, goes
    // in place of the first "%1" of `text`. The program's own texts are
    // Latin-1, a name is not: a box on screen decodes it as the system
    // decodes names. Here it goes in as bytes, control bytes escaped.
    virtual PromptAnswer showAboutFile(std::string_view text, std::string_view name,
                                       std::string_view title, PromptButtons buttons) {
        std::string whole(text);
        if (const std::size_t at = whole.find("%1"); at != std::string::npos)
            whole.replace(at, 2, PrintableName(name));
        return show(whole, title, buttons);
    }
};

inline constexpr std::string_view kAppTitle = "Kestrin";

}  // namespace kestrin
