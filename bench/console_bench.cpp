// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of feeding the live console: 10,000 unit lines appended field by field
// to a console already holding 0, 100,000 and 1,000,000 lines, repainting as
// the running program does, plus the resident memory each console byte costs.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "display/qt/console_view.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMeasuredLines = 10000;
constexpr std::size_t kLinesPerBatch = 100;  // lines arriving between two repaints
constexpr int kRounds = 9;

// Resident set size in bytes, from /proc/self/status.
long long residentBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long long kib = 0;
            status >> kib;
            return kib * 1024;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

// One line as the console receives it: nine unit values and four derived
// columns, each closed by a tab, then the line break; every piece is one append.
std::vector<std::string> linePieces(std::mt19937& rng) {
    auto value = [&](int lo, int hi) {
        return std::to_string(std::uniform_int_distribution(lo, hi)(rng));
    };
    auto decimal = [&](int lo, int hi) { return value(lo, hi) + "." + value(0, 9); };
    std::vector<std::string> pieces = {
        value(700, 6500), decimal(30, 240), decimal(0, 100),   decimal(60, 105), decimal(10, 60),
        value(60, 200),   decimal(-5, 40),  value(1000, 9000), value(16, 159),   value(0, 143),
        value(0, 255),    decimal(10, 20),  decimal(-14, 20)};
    for (std::string& p : pieces) p += '\t';
    pieces.emplace_back("\r\n");
    return pieces;
}

struct Workload {
    std::vector<std::vector<std::string>> lines;  // kMeasuredLines lines, in pieces
    std::string block;                            // the same lines joined, for filling
};

Workload makeWorkload() {
    std::mt19937 rng(11);
    Workload w;
    w.lines.reserve(kMeasuredLines);
    for (std::size_t i = 0; i < kMeasuredLines; ++i) {
        w.lines.push_back(linePieces(rng));
        for (const std::string& p : w.lines.back()) w.block += p;
    }
    return w;
}

void settle(kestrin::ConsoleView& view) {
    view.flushPending();
    QApplication::processEvents();
}

void fill(kestrin::ConsoleView& view, const Workload& w, std::size_t lines) {
    for (std::size_t done = 0; done < lines; done += kMeasuredLines) view.AppendConsole(w.block);
    settle(view);
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of the whole process, painting threads included: steadier
// than the wall clock on a busy machine.
double cpuMilliseconds() { return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC; }

struct Cost {
    double wallMs = 0;
    double cpuMs = 0;
    double worstBatchMs = 0;
};

// Appends the workload piece by piece, flushing and painting after every batch.
Cost appendWorkload(kestrin::ConsoleView& view, const Workload& w) {
    double worst = 0;
    const double cpuStart = cpuMilliseconds();
    const auto start = Clock::now();
    for (std::size_t line = 0; line < w.lines.size();) {
        const auto batchStart = Clock::now();
        for (std::size_t n = 0; n < kLinesPerBatch && line < w.lines.size(); ++n, ++line) {
            for (const std::string& piece : w.lines[line]) view.AppendConsole(piece);
        }
        settle(view);
        worst = std::max(worst, millisecondsSince(batchStart));
    }
    return {millisecondsSince(start), cpuMilliseconds() - cpuStart, worst};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    const Workload w = makeWorkload();
    const std::size_t held[] = {0, 100000, 1000000};
    constexpr std::size_t kSizes = std::size(held);

    // One console per size, measured in turns, so that a slow spell of the
    // machine hits every size alike.
    std::vector<std::unique_ptr<kestrin::ConsoleView>> views;
    long long rssBefore = 0;
    long long rssAfter = 0;
    for (const std::size_t lines : held) {
        auto view = std::make_unique<kestrin::ConsoleView>();
        view->resize(825, 425);  // the main window's console at 96 DPI
        view->show();
        settle(*view);
        rssBefore = residentBytes();
        fill(*view, w, lines);
        rssAfter = residentBytes();
        views.push_back(std::move(view));
    }
    const std::size_t bytesHeld = views.back()->length();

    std::vector<std::vector<double>> wall(kSizes);
    std::vector<std::vector<double>> cpu(kSizes);
    std::vector<double> worst(kSizes, 0.0);
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < kSizes; ++i) {
            if (held[i] == 0) views[i]->clear();  // the baseline stays an empty console
            const Cost cost = appendWorkload(*views[i], w);
            wall[i].push_back(cost.wallMs);
            cpu[i].push_back(cost.cpuMs);
            worst[i] = std::max(worst[i], cost.worstBatchMs);
        }
    }

    std::printf(
        "console: %zu lines of %.1f bytes on average, field by field, repainted every "
        "%zu lines;\nmedian of %d rounds per 10,000 lines, worst: slowest batch of %zu lines\n",
        kMeasuredLines, double(w.block.size()) / kMeasuredLines, kLinesPerBatch, kRounds,
        kLinesPerBatch);
    std::printf("%10s %9s %9s %9s %10s %9s %9s\n", "lines held", "wall ms", "cpu ms", "worst ms",
                "wall ratio", "cpu ratio", "follows");
    const double emptyWall = median(wall[0]);
    const double emptyCpu = median(cpu[0]);
    for (std::size_t i = 0; i < kSizes; ++i) {
        const double wallMs = median(wall[i]);
        const double cpuMs = median(cpu[i]);
        std::printf("%10zu %9.1f %9.1f %9.2f %9.2fx %8.2fx %9s\n", held[i], wallMs, cpuMs, worst[i],
                    wallMs / emptyWall, cpuMs / emptyCpu, views[i]->isAtEnd() ? "yes" : "NO");
    }
    std::printf(
        "\nresident memory at 1,000,000 lines: %.1f MiB for %zu console bytes, %.2f bytes "
        "per byte\n",
        double(rssAfter - rssBefore) / (1024.0 * 1024.0), bytesHeld,
        bytesHeld ? double(rssAfter - rssBefore) / double(bytesHeld) : 0.0);
    return 0;
}
