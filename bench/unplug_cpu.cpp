// SPDX-License-Identifier: GPL-3.0-or-later
// CPU use of the program while it waits for a serial device that went away
// mid-run.
//
// The real main window logs a unit on a pseudo-terminal; then the unit's side
// is closed, as when a USB adapter is pulled out. The run stays open and the
// port is tried again once a second. Prints the process's CPU use over each
// of the following three seconds, which must stay under 1%: a port that keeps
// reporting a dead device, or a retry that polls, would spin instead.
//
//   unplug_cpu          exits 1 when a second is at 1% or more
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/program.h"
#include "app/qt/main_window.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void RunEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 2;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    ::close(slave);  // the program's own open is the only one, as with an adapter
    qputenv("KESTRIN_COM1", name);

    const kestrin::test::TempDir folder;
    const kestrin::test::ScopedCwd inFolder(folder.path());

    kestrin::Program program;
    kestrin::test::ScriptedPrompt prompt;
    kestrin::MainWindow window(program, &prompt);
    window.show();
    window.findChild<QPushButton*>("cmdNewRun")->click();
    window.findChild<QPushButton*>("cmdStart")->click();
    if (!window.findChild<QPushButton*>("cmdEnd")->isEnabled()) {
        std::fprintf(stderr, "the run did not open on %s\n", name);
        return 2;
    }

    const std::string line = "2480 142  31 88 41 130 22 37 53\r\n";
    for (int i = 0; i < 50; ++i) {
        if (::write(master, line.data(), line.size()) < 0) break;
        RunEvents(2);
    }
    RunEvents(100);
    ::close(master);  // the adapter is pulled out

    bool over = false;
    for (const char* when : {"first", "second", "third"}) {
        const double cpuBefore = CpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        RunEvents(1000);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        const double percent = 100 * (CpuSeconds() - cpuBefore) / wall;
        std::printf("CPU in the %s second of waiting for the port: %.2f%%\n", when, percent);
        over = over || percent >= 1;
    }
    std::printf("window title while waiting: %s\n", qPrintable(window.windowTitle()));
    std::printf("message boxes: %zu\n", prompt.shown.size());
    std::printf("run still open until End Run: %s\n",
                window.findChild<QPushButton*>("cmdEnd")->isEnabled() ? "yes" : "no");
    window.findChild<QPushButton*>("cmdEnd")->click();
    return over ? 1 : 0;
}
