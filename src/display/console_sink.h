// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kestrin {

// Where the live stream is shown: text always goes to the very end.
class ConsoleSink {
  public:
    virtual ~ConsoleSink() = default;
    virtual void AppendConsole(std::string_view text) = 0;
};

// A console that only keeps its text, for tests and for tools without a window.
class MemoryConsole : public ConsoleSink {
  public:
    void AppendConsole(std::string_view text) override { text_.append(text); }
    const std::string& text() const { return text_; }
    // Empties the text but keeps its memory, so that filling it again costs
    // no new pages.
    void clear() { text_.clear(); }

  private:
    std::string text_;
};

}  // namespace kestrin
