// SPDX-License-Identifier: GPL-3.0-or-later
// The fuel changes in the log window on a log of a million data lines: the
// time to read the log for them when change mode is first chosen, the time
// to work out and show the grid again after a change of an option (target
// at most half a second), and after a condition on a column not read yet.
// Run under a display or QT_QPA_PLATFORM=offscreen; keeps Kestrin.conf in
// a folder of its own.
//
//   log_corrections_bench [data lines]   (default 1000000)
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "analysis/qt/log_window.h"
#include "bench_util.h"
#include "log_recording.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return kestrin::bench::Seconds(std::chrono::steady_clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
    const long long lines = argc > 1 ? std::atoll(argv[1]) : 1000000;
    const std::string dir = kestrin::bench::RecordBenchLog("kestrin-log-corrections-bench", lines);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    QApplication app(argc, argv);

    kestrin::SettingsTable settings;
    kestrin::Status failure;
    kestrin::LogWindow* window = kestrin::LogWindow::open(dir + "/Log1.txt", settings, failure);
    if (window == nullptr) {
        std::fprintf(stderr, "%s\n", failure.reason.c_str());
        return 1;
    }
    QApplication::processEvents();
    auto start = std::chrono::steady_clock::now();
    window->findChild<QRadioButton*>("optFuelChange")->click();
    QApplication::processEvents();
    const double first = SecondsSince(start);

    // Each round one option changes and the grid is painted again.
    const std::pair<const char*, const char*> changes[] = {
        {"txtStep", "1.5"},    {"txtSteady", "3"},  {"txtDelay", "2"},     {"txtTarget", "13.8"},
        {"txtMaxChange", "5"}, {"txtAfrLow", "11"}, {"txtMinLines", "50"}, {"txtStep", ""},
    };
    double total = 0, slowest = 0;
    for (const auto& [entry, text] : changes) {
        start = std::chrono::steady_clock::now();
        window->findChild<QLineEdit*>(entry)->setText(text);
        window->repaint();
        const double seconds = SecondsSince(start);
        total += seconds;
        slowest = std::max(slowest, seconds);
    }
    start = std::chrono::steady_clock::now();
    window->findChild<QPlainTextEdit*>("txtWhere")->setPlainText("CLT >= 70");
    window->repaint();
    const double reread = SecondsSince(start);

    std::printf("%-48s %10s %8s\n", "fuel changes", "seconds", "target");
    std::printf("%-48s %10.3f\n",
                ("first shown, " + std::to_string(lines) + " data lines read").c_str(), first);
    std::printf("%-48s %10.3f %8.1f\n", "an option changed, mean", total / std::size(changes), 0.5);
    std::printf("%-48s %10.3f %8.1f\n", "an option changed, slowest", slowest, 0.5);
    std::printf("%-48s %10.3f\n", "a condition on a column not read yet", reread);
    window->close();
    std::filesystem::remove_all(dir);
    return 0;
}
