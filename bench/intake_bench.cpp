// Bytes per second through the tokenizer, decoder and log writer to a real
// file, beside plainly copying the same bytes to a file.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "bench_util.h"
#include "intake/line_tokenizer.h"

namespace {

class SilentPrompt : public kestrin::MessagePrompt {
  public:
    kestrin::PromptAnswer show(std::string_view, std::string_view,
                               kestrin::PromptButtons) override {
        return kestrin::PromptAnswer::Ok;
    }
};

double CopyToFile(const std::string& bytes, const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (std::size_t at = 0; at < bytes.size(); at += 65536) {
        const std::size_t n = std::min<std::size_t>(65536, bytes.size() - at);
        if (::write(fd, bytes.data() + at, n) < 0) break;
    }
    ::close(fd);
    return kestrin::bench::Seconds(std::chrono::steady_clock::now() - start);
}

double Intake(const std::string& bytes, const std::string& path, std::size_t& logBytes) {
    kestrin::OptionState options;
    kestrin::PosixFileSystem files;
    kestrin::SettingsTable settings;
    kestrin::MemoryConsole console;
    kestrin::LogWriter log(options);
    SilentPrompt prompt;
    kestrin::LineTokenizer tokenizer(console, log, settings, prompt);
    std::unique_ptr<kestrin::TextStream> stream;
    files.CreateTextFile(path, stream);
    log.setStream(stream.get());
    log.setLoggingActive(true);

    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        tokenizer.MSComm1_OnComm(std::string_view(bytes.data() + i, 1));
    stream->Close();
    const double seconds = kestrin::bench::Seconds(std::chrono::steady_clock::now() - start);
    logBytes = std::filesystem::file_size(path);
    return seconds;
}

}  // namespace

int main() {
    const std::string bytes = kestrin::bench::UnitLines(20 * 1000 * 1000);
    const std::string dir = std::filesystem::temp_directory_path() / "kestrin-intake-bench";
    std::filesystem::create_directories(dir);
    const double mb = bytes.size() / 1e6;

    double copy = 1e9, intake = 1e9;
    std::size_t logBytes = 0;
    for (int round = 0; round < 3; ++round) {  // best of three
        copy = std::min(copy, CopyToFile(bytes, dir + "/copy.txt"));
        intake = std::min(intake, Intake(bytes, dir + "/Log1.txt", logBytes));
    }
    std::filesystem::remove_all(dir);
    std::printf("%-44s %10s %12s\n", "intake core (20 MB of unit lines)", "MB/s", "baseline");
    std::printf("%-44s %10.1f %12.1f\n", "tokenizer + decoder + log file + console", mb / intake,
                mb / copy);
    std::printf("(log file %.1f MB; target at least 100 MB/s)\n", logBytes / 1e6);
    return 0;
}
