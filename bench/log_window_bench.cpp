// Opening a log of a million data lines in the log window: the time to read
// it and show plot and grid, the time to redraw everything (a zoom or pan),
// the time to move the cursor, and the peak memory beside the file's size.
// Run under a display or QT_QPA_PLATFORM=offscreen.
//
//   log_window_bench [data lines]   (default 1000000)
#include <sys/resource.h>

#include <qcustomplot.h>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

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
    kestrin::LogWindow* window = kestrin::LogWindow::open(log, settings, failure);
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
        plot->xAxis->scaleRange(i % 2 ? 1.25 : 0.8);
        plot->replot(QCustomPlot::rpImmediateRefresh);
    }
    const double redraw = SecondsSince(timed) / kRounds;
    timed = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        window->plot()->moveCursorTo(static_cast<double>(lines) * i / kRounds);
        plot->repaint();
    }
    const double cursor = SecondsSince(timed) / kRounds;

    std::printf("%-44s %10s %12s\n", "log window", "seconds", "target");
    std::printf("%-44s %10.3f %12.1f\n", ("open, " + std::to_string(lines) + " data lines").c_str(),
                open, 2.0);
    std::printf("%-44s %10.4f\n", "redraw all (zoom, pan)", redraw);
    std::printf("%-44s %10.4f\n", "move the cursor", cursor);
    std::printf("(log %.1f MB; memory grew by %.0f MB, %.1f times the log; target at most 3)\n",
                megabytes, PeakMegabytes() - before, (PeakMegabytes() - before) / megabytes);
    window->close();
    std::filesystem::remove_all(dir);
    return 0;
}
