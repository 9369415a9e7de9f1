// Any byte stream through the line tokenizer, the record decoder and the log
// writer. A few bytes of the tokenizer's ignored class act as the user's
// commands instead of text, so runs, pauses, markers, Clear Display, separator
// changes, a full disk and settings entries mix with the stream.
//
// Checked after every receive event: the field store stays in its 51 slots;
// the console gets only field characters, tabs and line breaks; the log holds
// exactly what the console showed while logging was active, with the
// separators of the mode in force. A piece of several bytes is kept whole in
// a field (it is classified by its first byte), so once one has arrived any
// byte but a tab or line break may reach the console.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "intake/line_tokenizer.h"
#include "log/log_writer.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

namespace {

using namespace kestrin;

enum Command : unsigned char {
    kToggleLogging = 0x01,
    kSetMarker = 0x02,
    kClearDisplay = 0x03,
    kEmptyEvent = 0x04,
    kLongPiece = 0x05,  // then n: one event with the next n % 32 + 2 bytes (see LongPiece)
    kSeparator = 0x06,  // cycles "tab", "comma", "Comma"
    kNewRun = 0x07,     // closes the log and opens a fresh one
    kDiskFull = 0x08,   // the log takes no more bytes
    kSetting = 0x0B,    // then two index bytes, a length byte and the text
    kRepeat = 0x0E,     // then n and a byte: (n + 1) * 256 events of that byte
};

bool IsFieldChar(unsigned char c) { return (c >= 43 && c <= 57) || (c >= 'A' && c <= 'Z'); }

void Check(bool ok) {
    if (!ok) std::abort();
}

// The console, mirrored into the log that logging should have produced.
class MirrorConsole : public ConsoleSink {
  public:
    explicit MirrorConsole(const OptionState& options) : options_(options) {}

    void AppendConsole(std::string_view text) override {
        for (char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            Check(IsFieldChar(c) || c == '\t' || c == '\r' || c == '\n' || anyByte);
            if (!mirroring) continue;
            if (c == '\t') {
                const bool comma = !field_.empty() && options_.SeparatorMode == Separator::Comma;
                expectedLog += field_;
                expectedLog += comma ? ',' : '\t';
                field_.clear();
            } else if (c == '\r' || c == '\n') {
                Check(field_.empty());
                expectedLog += ch;
            } else {
                field_ += ch;
            }
        }
        Check(field_.empty());  // a field and its tab arrive together
    }

    bool mirroring = false;
    bool anyByte = false;
    std::string expectedLog;

  private:
    const OptionState& options_;
    std::string field_;
};

struct Intake {
    Intake() : console(options), log(options), tokenizer(console, log, settings, prompt) {}

    void newRun() {
        checkLog();
        if (stream) stream->Close();
        stream.reset();
        files.writeLimit = SIZE_MAX;
        name = "Log" + std::to_string(++runs) + ".txt";
        Check(files.CreateTextFile(name, stream).ok());
        content = &files.files[name];
        log.setStream(stream.get());
        console.expectedLog.clear();
        sizeAtFailure = SIZE_MAX;
    }

    // The log holds what was mirrored, or a beginning of it once the disk
    // was full; after the first failure nothing more is added.
    void checkLog() {
        if (!stream) return;
        log.flush();
        if (!log.failure()) {
            Check(*content == console.expectedLog);
        } else {
            Check(std::string_view(console.expectedLog).starts_with(*content));
            Check(sizeAtFailure == SIZE_MAX || content->size() == sizeAtFailure);
        }
    }

    void event(std::string_view piece) {
        console.mirroring = log.loggingActive() && stream && !log.failure();
        tokenizer.MSComm1_OnComm(piece);
        // Only the slot at the index is written, and one event closes at
        // most five fields (a line end and the decoder's four columns), so
        // every slot that may have been filled since the index was last at 0
        // is looked at.
        const int index = tokenizer.fieldIndex();
        Check(index >= 0 && index <= LineTokenizer::kSlots);
        if (index < LineTokenizer::kSlots) {
            Check(tokenizer.fields()[static_cast<std::size_t>(index)].size() <=
                  LineTokenizer::kMaxFieldBytes);
        }
        for (int k = index + 1; k <= highestIndex + 5 && k < LineTokenizer::kSlots; ++k) {
            Check(tokenizer.fields()[static_cast<std::size_t>(k)].empty());
        }
        highestIndex = index == 0 ? 0 : std::max(highestIndex, index);
        // The whole content is compared at the end of each run; here only
        // its size, to keep long inputs fast.
        log.flush();
        const std::size_t written = content->size();
        if (!log.failure()) {
            Check(written == console.expectedLog.size());
        } else if (sizeAtFailure == SIZE_MAX) {
            sizeAtFailure = written;
        } else {
            Check(written == sizeAtFailure);
        }
    }

    OptionState options;
    SettingsTable settings;
    test::ScriptedPrompt prompt;
    test::MemoryFileSystem files;
    MirrorConsole console;
    LogWriter log;
    LineTokenizer tokenizer;
    std::unique_ptr<TextStream> stream;
    std::string name;
    const std::string* content = nullptr;  // what the file system holds for `name`
    int runs = 0;
    std::size_t sizeAtFailure = SIZE_MAX;
    int highestIndex = 0;
};

// A piece of several bytes, with tabs and line breaks after its first byte
// made visible: inside a field they could not be told from the separators.
std::string LongPiece(std::string_view bytes) {
    std::string piece(bytes);
    for (std::size_t k = 1; k < piece.size(); ++k) {
        if (piece[k] == '\t' || piece[k] == '\r' || piece[k] == '\n') piece[k] = '_';
    }
    return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Intake intake;
    intake.newRun();
    static constexpr Separator kModes[] = {Separator::Tab, Separator::Comma};
    int mode = 0;
    std::size_t i = 0;
    const auto byte = [&]() -> unsigned char { return i < size ? data[i++] : 0; };
    while (i < size) {
        const unsigned char c = data[i++];
        switch (c) {
            case kToggleLogging:
                intake.log.setLoggingActive(!intake.log.loggingActive());
                break;
            case kSetMarker:
                intake.tokenizer.MarkerPending = true;
                break;
            case kClearDisplay:
                intake.tokenizer.ResetFields();
                break;
            case kEmptyEvent:
                intake.event({});
                break;
            case kLongPiece: {
                const std::size_t wanted = byte() % 32 + 2;
                const std::size_t n = std::min(wanted, size - i);
                intake.console.anyByte = true;
                intake.event(
                    LongPiece(std::string_view(reinterpret_cast<const char*>(data + i), n)));
                i += n;
                break;
            }
            case kSeparator:
                mode = (mode + 1) % 2;
                intake.options.SeparatorMode = kModes[mode];
                break;
            case kNewRun:
                intake.newRun();
                break;
            case kDiskFull:
                intake.files.writeLimit = intake.content->size() + byte() % 16;
                break;
            case kSetting: {
                const int high = byte();
                const int index = (high << 8 | byte()) % SettingsTable::kSize;
                std::string& slot = intake.settings.slot(index);
                slot.clear();
                // Settings hold what the capture writes: field characters.
                for (int n = byte() % 8; n > 0 && i < size; --n) {
                    const unsigned char v = data[i++];
                    slot += static_cast<char>(IsFieldChar(v) ? v : '0' + v % 10);
                }
                break;
            }
            case kRepeat: {
                const int times = (byte() + 1) * 256;
                const char one = static_cast<char>(byte());
                for (int k = 0; k < times; ++k) intake.event(std::string_view(&one, 1));
                break;
            }
            default: {
                const char one = static_cast<char>(c);
                intake.event(std::string_view(&one, 1));
            }
        }
    }
    intake.checkLog();
    return 0;
}
