// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QFont>

#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/program.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_message_prompt.h"
#include "app/work_folder.h"
#include "log/full_path.h"
#include "port/qt/port_config.h"

// Main: the options start from their start values, the ports named in the
// user's Kestrin.conf are read, the main window opens in the Idle state, and
// the program lives while any of its windows is open.
int main(int argc, char** argv) {
    // Help, the version, the zone table and a wrong command line are answered
    // before Qt starts, so without a display too.
    kestrin::StartRequest start;
    if (const std::optional<int> status = kestrin::ReadCommandLine(argc, argv, start))
        return *status;
    std::string folderProblem;
    if (start.desktop) {
        // The logs named were meant where the launch came from.
        for (std::string& log : start.logs) log = kestrin::FullPath(log);
        folderProblem = kestrin::EnterDesktopWorkFolder();
    }
    // Every argument has been read: Qt gets none to read as its own options.
    char name[] = "kestrin";
    char* qtArgv[] = {name, nullptr};
    int qtArgc = 1;
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName("Kestrin");
    // The windows are laid out for an 8-point sans serif (Arial's metrics).
    QApplication::setFont(QFont("Arial", 8));
    kestrin::LoadConfiguredPorts();
    kestrin::Program program;
    auto* window = new kestrin::MainWindow(program);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    if (!folderProblem.empty())
        kestrin::QtMessagePrompt(window).show(folderProblem, kestrin::kAppTitle,
                                              kestrin::PromptButtons::Ok);
    for (const std::string& log : start.logs) window->openLog(log);
    return app.exec();
}
