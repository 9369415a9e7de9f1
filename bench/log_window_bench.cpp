// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a log of a million data lines in the log window: the time to read
// it (on the loader's thread) and show plot and grid, the time of a wheel
// step and of ticking one more channel, the time to move the cursor, and
// the peak memory with every channel ticked beside the file's size, and
// what of it the lines' values take.
// Run under a display or QT_QPA_PLATFORM=offscreen.
//
//   log_window_bench [data lines]   (default 1000000; 5000000 is some 260 MB)
#include <sys/resource.h>

#include <qcustomplot.h>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "analysis/qt/log_loader.h"
#include "analysis/qt/log_plot.h"
#include "analysis/qt/log_window.h"
#include "bench_util.h"
#include "log_recording.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return kestrin::bench::Seconds(std::chrono::steady_clock::now() - start);
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    const long long lines = argc > 1 ? std::atoll(argv[1]) : 1000000;
    const std::string dir = kestrin::bench::RecordBenchLog("kestrin-log-window-bench", lines);
    const std::string log = dir + "/Log1.txt";
    const double megabytes = static_cast<double>(std::filesystem::file_size(log)) / 1e6;
    QApplication app(argc, argv);
    const double before = PeakMegabytes();

    kestrin::SettingsTable settings;
    kestrin::Status failure;
    const auto start = std::chrono::steady_clock::now();
    kestrin::LogWindow* window = nullptr;
    kestrin::LogLoader* loader = kestrin::LogLoader::start(log, settings, nullptr);
    QEventLoop loop;
    QObject::connect(loader, &kestrin::LogLoader::opened, [&](kestrin::LogWindow* opened) {
        window = opened;
        loop.quit();
    });
    QObject::connect(loader, &kestrin::LogLoader::failed,
                     [&](const std::string&, const kestrin::Status& why) {
                         failure = why;
                         loop.quit();
                     });
    loop.exec();
    if (window == nullptr) {
        std::fprintf(stderr, "%s: %s\n", log.c_str(), failure.reason.c_str());
        return 1;
    }
    QApplication::processEvents();
    window->repaint();
    const double open = SecondsSince(start);

    QCustomPlot* plot = window->plot()->customPlot();
    constexpr int kRounds = 20;
    auto timed = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        // A wheel step: the axis zooms by 0.85 about the pointer, then a replot.
        plot->xAxis->scaleRange(i % 2 ? 1 / 0.85 : 0.85);
        plot->replot(QCustomPlot::rpImmediateRefresh);
    }
    const double redraw = SecondsSince(timed) / kRounds;
    // Ticking each channel not ticked yet, one at a time, till all are.
    std::vector<QCheckBox*> unticked;
    for (QCheckBox* box : window->findChildren<QCheckBox*>())
        if (!box->isChecked()) unticked.push_back(box);
    timed = std::chrono::steady_clock::now();
    for (QCheckBox* box : unticked) {
        box->click();
        plot->replot(QCustomPlot::rpImmediateRefresh);
    }
    const double tick = unticked.empty() ? 0 : SecondsSince(timed) / unticked.size();
    timed = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        window->plot()->moveCursorTo(static_cast<double>(lines) * i / kRounds);
        plot->repaint();
    }
    const double cursor = SecondsSince(timed) / kRounds;

    std::printf("%-44s %10s %12s\n", "log window", "seconds", "target");
    std::printf("%-44s %10.3f %12.1f\n", ("open, " + std::to_string(lines) + " data lines").c_str(),
                open, lines > 1000000 ? 3.0 : 0.4);
    std::printf("%-44s %10.4f %12.1f\n", "wheel step (zoom, redraw)", redraw, 0.1);
    std::printf("%-44s %10.4f %12.1f\n", "tick one more channel", tick, 0.1);
    std::printf("%-44s %10.4f\n", "move the cursor", cursor);
    std::printf(
        "(log %.1f MB; with every channel ticked memory grew by %.0f MB, %.2f times "
        "the log; target at most 1)\n",
        megabytes, PeakMegabytes() - before, (PeakMegabytes() - before) / megabytes);
    const double held = static_cast<double>(window->channels().bytes()) / 1e6;
    std::printf("(the log's line numbers and values held in %.0f MB, %.2f times the log)\n", held,
                held / megabytes);
    window->close();
    std::filesystem::remove_all(dir);
    return 0;
}
