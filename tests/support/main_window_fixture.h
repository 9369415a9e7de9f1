#pragma once

// A shown main window whose message boxes are answered by a script.
#include <QPushButton>
#include <memory>

#include "app/program.h"
#include "app/qt/main_window.h"
#include "display/qt/console_view.h"
#include "support/scripted_prompt.h"

namespace kestrin::test {

struct MainWindowFixture {
    MainWindowFixture() { window.show(); }
    QPushButton* button(const char* name) { return window.findChild<QPushButton*>(name); }
    bool enabled(const char* name) { return button(name)->isEnabled(); }
    ConsoleView* console() { return window.findChild<ConsoleView*>("txtVornOutput"); }

    Program program;
    ScriptedPrompt prompt;
    MainWindow window{program, &prompt};
};

}  // namespace kestrin::test
