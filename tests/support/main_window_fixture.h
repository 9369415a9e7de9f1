// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A main window on a real pseudo-terminal as port 1, in a fresh working
// folder, with its message boxes answered by a script.
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string>

#include "app/program.h"
#include "app/qt/main_window.h"
#include "display/qt/console_view.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

namespace kestrin::test {

struct MainWindowFixture {
    MainWindowFixture() : cwd(dir.path()) {
        qputenv("KESTRIN_COM1", QByteArray::fromStdString(pty.slavePath()));
        window = std::make_unique<MainWindow>(program, &prompt);
        window->show();
    }
    ~MainWindowFixture() { qunsetenv("KESTRIN_COM1"); }

    QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }
    bool enabled(const char* name) { return button(name)->isEnabled(); }
    void click(const char* name) {
        QPushButton* b = button(name);
        QVERIFY2(b && b->isEnabled(), name);
        b->click();
    }
    void startRun() {
        click("cmdNewRun");
        click("cmdStart");
    }
    std::string log(int n) { return ReadWholeFile(dir.file("Log" + std::to_string(n) + ".txt")); }
    ConsoleView* console() { return window->findChild<ConsoleView*>("txtVornOutput"); }

    TempDir dir;
    ScopedCwd cwd;
    PtyPair pty;
    Program program;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> window;
};

}  // namespace kestrin::test
