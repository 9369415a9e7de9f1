// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes per second through the tokenizer, decoder and log writer to a real
// file, beside plainly copying the same bytes to a file. The stream is handed
// over as the port does it: chunks of what one read returns, one receive
// event per character, then the log is flushed once per chunk.
//
//   intake_bench [megabytes] [rounds]     (default 20 and 3, best round kept)
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "bench_util.h"
#include "intake/line_tokenizer.h"
#include "support/pty_pair.h"
#include "support/scripted_prompt.h"

namespace {

constexpr std::size_t kChunkBytes = 4096;

// Wall-clock and processor seconds of one run. On a busy machine the
// processor time tells more: it leaves out the time other programs had.
struct Timing {
    double wall = 0, cpu = 0;
};

class Stopwatch {
  public:
    Stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(CpuNow()) {}
    Timing elapsed() const {
        return {kestrin::bench::Seconds(std::chrono::steady_clock::now() - wall_), CpuNow() - cpu_};
    }

  private:
    static double CpuNow() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    }
    std::chrono::steady_clock::time_point wall_;
    double cpu_;
};

Timing Faster(Timing a, Timing b) { return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)}; }

Timing CopyToFile(const std::string& bytes, const std::string& path) {
    const Stopwatch watch;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (std::size_t at = 0; at < bytes.size(); at += 65536) {
        const std::size_t n = std::min<std::size_t>(65536, bytes.size() - at);
        if (::write(fd, bytes.data() + at, n) < 0) break;
    }
    ::close(fd);
    return watch.elapsed();
}

Timing Intake(const std::string& bytes, const std::string& path, kestrin::MemoryConsole& console,
              std::size_t& logBytes) {
    kestrin::OptionState options;
    kestrin::PosixFileSystem files;
    kestrin::SettingsTable settings;
    console.clear();
    kestrin::LogWriter log(options);
    kestrin::test::ScriptedPrompt prompt;
    kestrin::LineTokenizer tokenizer(console, log, settings, prompt);
    std::unique_ptr<kestrin::TextStream> stream;
    if (!files.CreateTextFile(path, stream).ok()) return {};
    log.setStream(stream.get());
    log.setLoggingActive(true);

    const Stopwatch watch;
    for (std::size_t at = 0; at < bytes.size(); at += kChunkBytes) {
        const std::size_t end = std::min(bytes.size(), at + kChunkBytes);
        tokenizer.receive(std::string_view(bytes.data() + at, end - at));
        log.flush();
    }
    (void)stream->Close();
    const Timing timing = watch.elapsed();
    logBytes = std::filesystem::file_size(path);
    return timing;
}

}  // namespace

int main(int argc, char** argv) {
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string bytes = kestrin::bench::UnitLines(megabytes * std::size_t{1000 * 1000});
    const kestrin::test::TempDir dir;
    const double mb = bytes.size() / 1e6;

    // One console for all rounds, as a running program has: it keeps its
    // memory, so later rounds do not pay for fresh pages, which on some
    // virtual machines costs more than everything measured here.
    kestrin::MemoryConsole console;
    Timing copy{1e9, 1e9}, intake{1e9, 1e9};
    std::size_t logBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        copy = Faster(copy, CopyToFile(bytes, dir.file("copy.txt")));
        intake = Faster(intake, Intake(bytes, dir.file("Log1.txt"), console, logBytes));
    }
    const std::string title = "intake core (" + std::to_string(megabytes) + " MB of unit lines)";
    std::printf("%-44s %10s %12s\n", title.c_str(), "MB/s", "baseline");
    std::printf("%-44s %10.1f %12.1f\n", "tokenizer + decoder + log file + console",
                mb / intake.wall, mb / copy.wall);
    std::printf("%-44s %10.1f %12.1f\n", "  the same per processor second", mb / intake.cpu,
                mb / copy.cpu);
    std::printf("(log file %.1f MB in %zu-byte chunks; best of %d)\n", logBytes / 1e6, kChunkBytes,
                rounds);
    return 0;
}
