// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window during a logging run, fed through a pseudo-terminal,
// beside `cat` reading the same stream from a pseudo-terminal into a file.
//
//   program_bench fast [MB]        as fast as the writer can push
//   program_bench paced BAUD SECS  at a line's pace, under xvfb-run: CPU, wake-ups and the
//                                  X server's CPU beside cat's
//   program_bench paced-plot BAUD SECS [WARMUP]  the same, with the live plot closed and then
//                                  open, measured after WARMUP seconds of stream
//   program_bench startup          process start to the main window shown
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>

#include <qcustomplot.h>

#include "analysis/qt/live_plot_window.h"
#include "analysis/qt/log_plot.h"
#include "app/program.h"
#include "app/qt/main_window.h"
#include "bench_util.h"
#include "intake/line_tokenizer.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// CPU seconds a process's threads have run so far, to the nanosecond: the
// clock-tick counts of /proc/PID/stat are too coarse for a reader that uses
// a few milliseconds a second.
double CpuSeconds(pid_t pid) {
    double total = 0;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::istringstream schedstat(
            kestrin::test::ReadWholeFile((task.path() / "schedstat").string()));
        double runNs = 0;
        if (schedstat >> runNs) total += runNs / 1e9;
    }
    return total;
}

// Times the threads of a process went to sleep and were woken again: each
// wake-up costs a pass through the scheduler, whatever it then does.
long long WakeUps(pid_t pid) {
    long long total = 0;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::istringstream status(kestrin::test::ReadWholeFile((task.path() / "status").string()));
        std::string key;
        long long value = 0;
        while (status >> key) {
            if (key == "voluntary_ctxt_switches:" && status >> value) total += value;
            status.ignore(1 << 12, '\n');
        }
    }
    return total;
}

// The X server the program draws on, when it is the Xvfb that xvfb-run
// started beside this process; 0 when there is none to be found.
pid_t XServerPid() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = kestrin::test::ReadWholeFile((entry.path() / "stat").string());
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        if (stat.substr(open + 1, close - open - 1) != "Xvfb") continue;
        std::istringstream rest(stat.substr(close + 2));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getppid()) return static_cast<pid_t>(std::stol(name));
    }
    return 0;
}

// A child process that writes `bytes` to the master side, either as fast as
// it can or at `baud` (10 bits a character) in 1 ms steps, as an adapter
// hands over what arrived in each USB frame.
pid_t StartWriter(int master, const std::string& bytes, int baud) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    const auto start = Clock::now();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t due = bytes.size();
        if (baud > 0) {
            due = std::min(bytes.size(),
                           static_cast<std::size_t>(kestrin::bench::Seconds(Clock::now() - start) *
                                                    baud / 10));
            if (due == sent) {
                usleep(1000);
                continue;
            }
        }
        const ssize_t n =
            ::write(master, bytes.data() + sent, std::min<std::size_t>(due - sent, 65536));
        if (n > 0) sent += static_cast<std::size_t>(n);
        if (n < 0 && errno != EINTR && errno != EAGAIN) break;
    }
    _exit(0);
}

// The log the run must produce from `bytes`, worked out by the same core.
std::string ExpectedLog(const std::string& bytes) {
    const kestrin::test::TempDir dir;
    kestrin::OptionState options;
    kestrin::PosixFileSystem files;
    kestrin::SettingsTable settings;
    kestrin::MemoryConsole console;
    kestrin::LogWriter log(options);
    kestrin::test::ScriptedPrompt prompt;
    kestrin::LineTokenizer tokenizer(console, log, settings, prompt);
    std::unique_ptr<kestrin::TextStream> stream;
    if (!files.CreateTextFile(dir.file("expected.txt"), stream).ok()) return {};
    log.setStream(stream.get());
    log.setLoggingActive(true);
    tokenizer.receive(bytes);
    (void)stream->Close();
    return kestrin::test::ReadWholeFile(dir.file("expected.txt"));
}

struct Result {
    double wall = 0, cpu = 0;
    double xServerCpu = -1;  // of the X server meanwhile; negative when unknown
    long long wakeUps = 0;
    bool exact = false;
    int repaints = 0;   // of the live plot
    int plotLines = 0;  // data lines the live plot took
};

// CPU and wake-ups of a reader, and the X server's CPU, over one measured span.
class Meter {
  public:
    Meter(pid_t reader, pid_t xServer)
        : reader_(reader),
          xServer_(xServer),
          cpu_(CpuSeconds(reader)),
          xCpu_(xServer ? CpuSeconds(xServer) : 0),
          wakeUps_(WakeUps(reader)),
          start_(Clock::now()) {}

    Result read() const {
        Result r;
        r.wall = kestrin::bench::Seconds(Clock::now() - start_);
        r.cpu = CpuSeconds(reader_) - cpu_;
        if (xServer_) r.xServerCpu = CpuSeconds(xServer_) - xCpu_;
        r.wakeUps = WakeUps(reader_) - wakeUps_;
        return r;
    }

  private:
    pid_t reader_, xServer_;
    double cpu_, xCpu_;
    long long wakeUps_;
    Clock::time_point start_;
};

// Kestrin in this process: New Run, Begin Logging, then the stream; with
// `livePlot` the live plot is open throughout. A paced run is measured over
// `seconds` after `warmUp` seconds of stream.
Result RunProgram(const std::string& bytes, int baud, double seconds, bool livePlot = false,
                  double warmUp = 0) {
    const kestrin::test::TempDir dir;
    const kestrin::test::ScopedCwd inDir(dir.path());
    kestrin::test::PtyPair pty;
    qputenv("KESTRIN_COM1", QByteArray::fromStdString(pty.slavePath()));
    kestrin::Program program;
    kestrin::MainWindow window(program);
    window.show();
    window.findChild<QPushButton*>("cmdNewRun")->click();
    window.findChild<QPushButton*>("cmdStart")->click();
    int repaints = 0;
    auto plotLines = [&window] {
        const kestrin::LivePlotWindow* plot = window.livePlot();
        return plot ? static_cast<int>(plot->channels().dataLines().size()) : 0;
    };
    if (livePlot) {
        window.findChild<QAction*>("mnuViewLivePlot")->trigger();
        QObject::connect(window.livePlot()->plot()->customPlot(), &QCustomPlot::afterReplot,
                         [&repaints] { ++repaints; });
    }
    QApplication::processEvents();

    const std::string expected = baud > 0 ? std::string() : ExpectedLog(bytes);
    std::optional<Meter> meter;
    int linesBefore = 0;
    auto startMeter = [&] {
        meter.emplace(getpid(), baud > 0 ? XServerPid() : 0);
        repaints = 0;
        linesBefore = plotLines();
    };
    if (warmUp <= 0) startMeter();
    const auto start = Clock::now();
    pid_t writer = StartWriter(pty.masterFd(), bytes, baud);
    Result r;
    QTimer poll;
    poll.setInterval(baud > 0 ? 100 : 5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        std::error_code ec;
        const double elapsed = kestrin::bench::Seconds(Clock::now() - start);
        if (!meter && elapsed >= warmUp) startMeter();
        const bool done = baud > 0 ? elapsed >= warmUp + seconds
                                   : fs::file_size(dir.file("Log1.txt"), ec) >= expected.size();
        if (!done || !meter) return;
        r = meter->read();
        r.repaints = repaints;
        r.plotLines = plotLines() - linesBefore;
        // Quitting closes the windows.
        QApplication::quit();
    });
    poll.start();
    QApplication::exec();
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    window.findChild<QPushButton*>("cmdEnd")->click();
    r.exact = baud > 0 || kestrin::test::ReadWholeFile(dir.file("Log1.txt")) == expected;
    return r;
}

// `cat` reading the slave side of a pseudo-terminal into a file.
Result RunCat(const std::string& bytes, int baud, double seconds) {
    const kestrin::test::TempDir dir;
    const std::string out = dir.file("cat.txt");
    kestrin::test::PtyPair pty;
    pid_t cat = fork();
    if (cat == 0) {
        int in = ::open(pty.slavePath().c_str(), O_RDONLY);
        int file = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(file, 1);
        execlp("cat", "cat", static_cast<char*>(nullptr));
        _exit(127);
    }
    usleep(100000);  // let cat open the device
    const Meter meter(cat, baud > 0 ? XServerPid() : 0);
    const auto start = Clock::now();
    pid_t writer = StartWriter(pty.masterFd(), bytes, baud);
    std::error_code ec;
    while (baud > 0 ? kestrin::bench::Seconds(Clock::now() - start) < seconds
                    : fs::file_size(out, ec) < bytes.size())
        usleep(baud > 0 ? 100000 : 2000);
    Result r = meter.read();
    r.exact = baud > 0 || kestrin::test::ReadWholeFile(out) == bytes;
    kill(writer, SIGKILL);
    kill(cat, SIGKILL);
    waitpid(writer, nullptr, 0);
    waitpid(cat, nullptr, 0);
    return r;
}

int Fast(double megabytes) {
    const std::string bytes = kestrin::bench::UnitLines(static_cast<std::size_t>(megabytes * 1e6));
    const Result k = RunProgram(bytes, 0, 0);
    const Result c = RunCat(bytes, 0, 0);
    const double mb = bytes.size() / 1e6;
    std::printf("%-40s %10s %10s %8s\n", "end to end, as fast as possible", "MB/s", "CPU s/MB",
                "exact");
    std::printf("%-40s %10.1f %10.3f %8s\n", "kestrin (offscreen, logging)", mb / k.wall,
                k.cpu / mb, k.exact ? "yes" : "NO");
    std::printf("%-40s %10.1f %10.3f %8s\n", "cat (baseline)", mb / c.wall, c.cpu / mb,
                c.exact ? "yes" : "NO");
    std::printf("(target at least 10 MB/s end to end)\n");
    return k.exact ? 0 : 1;
}

int Paced(int baud, double seconds) {
    const std::string bytes =
        kestrin::bench::UnitLines(static_cast<std::size_t>(baud / 10.0 * (seconds + 5)));
    const Result k = RunProgram(bytes, baud, seconds);
    const Result c = RunCat(bytes, baud, seconds);
    std::printf("%-40s %12s %12s %14s\n",
                ("paced at " + std::to_string(baud) + " baud, " +
                 std::to_string(static_cast<int>(seconds)) + " s")
                    .c_str(),
                "CPU / wall", "wake-ups/s", "X server CPU");
    auto row = [](const char* name, const Result& r) {
        char xServer[32] = "n/a";
        if (r.xServerCpu >= 0)
            std::snprintf(xServer, sizeof xServer, "%.2f%%", 100 * r.xServerCpu / r.wall);
        std::printf("%-40s %11.2f%% %12.0f %14s\n", name, 100 * r.cpu / r.wall, r.wakeUps / r.wall,
                    xServer);
    };
    row("kestrin (console following)", k);
    row("cat (baseline)", c);
    std::printf("%-40s %11.1fx %11.1fx  (target: at most 2x)\n", "kestrin / cat",
                (k.cpu / k.wall) / std::max(1e-9, c.cpu / c.wall),
                (k.wakeUps / k.wall) / std::max(1e-9, c.wakeUps / c.wall));
    return 0;
}

// The cost of the live plot: the same paced run with the plot closed and open,
// measured after `warmUp` seconds, when the plot holds that much stream.
int PacedPlot(int baud, double seconds, double warmUp) {
    const std::string bytes =
        kestrin::bench::UnitLines(static_cast<std::size_t>(baud / 10.0 * (warmUp + seconds + 5)));
    const Result closed = RunProgram(bytes, baud, seconds, false, warmUp);
    const Result open = RunProgram(bytes, baud, seconds, true, warmUp);
    std::printf("%-40s %12s %14s %12s %12s\n",
                ("paced at " + std::to_string(baud) + " baud, " +
                 std::to_string(static_cast<int>(seconds)) + " s after " +
                 std::to_string(static_cast<int>(warmUp)) + " s")
                    .c_str(),
                "CPU / wall", "X server CPU", "repaints/s", "lines/s");
    auto row = [](const char* name, const Result& r) {
        std::printf("%-40s %11.2f%% %13.2f%% %12.2f %12.2f\n", name, 100 * r.cpu / r.wall,
                    100 * r.xServerCpu / r.wall, r.repaints / r.wall, r.plotLines / r.wall);
    };
    row("kestrin, live plot closed", closed);
    row("kestrin, live plot open", open);
    std::printf("%-40s %11.2fx  (target at 115200 baud: at most 1.5x)\n", "open / closed",
                (open.cpu / open.wall) / std::max(1e-9, closed.cpu / closed.wall));
    return 0;
}

// Child: shows the main window as the program does and says so on stdout.
int StartupChild(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setFont(QFont("Arial", 8));
    kestrin::Program program;
    kestrin::MainWindow window(program);
    window.show();
    QTimer::singleShot(0, [] {
        std::puts("shown");
        std::fflush(stdout);
        QApplication::quit();
    });
    return app.exec();
}

int Startup(const char* self) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        int fds[2];
        if (pipe(fds) != 0) return 1;
        const auto start = Clock::now();
        pid_t child = fork();
        if (child == 0) {
            dup2(fds[1], 1);
            execl(self, self, "startup-child", static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(fds[1]);
        char buf[16];
        if (::read(fds[0], buf, sizeof buf) > 0)
            best = std::min(best, kestrin::bench::Seconds(Clock::now() - start));
        ::close(fds[0]);
        waitpid(child, nullptr, 0);
    }
    std::printf("%-40s %10.0f ms (best of 5; target under 300 ms)\n",
                "start-up to main window shown", best * 1000);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "fast";
    if (mode == "startup") return Startup(argv[0]);
    if (mode == "startup-child") return StartupChild(argc, argv);
    QApplication app(argc, argv);
    QApplication::setFont(QFont("Arial", 8));
    if (mode == "paced" && argc > 3) return Paced(std::atoi(argv[2]), std::atof(argv[3]));
    if (mode == "paced-plot" && argc > 3)
        return PacedPlot(std::atoi(argv[2]), std::atof(argv[3]), argc > 4 ? std::atof(argv[4]) : 0);
    return Fast(argc > 2 ? std::atof(argv[2]) : 20);
}
