// Any byte stream as the unit's settings dump, cut into values by the
// capture. Byte 0x04 stands for a receive event without text, 0x05 n for one
// event carrying the next n % 32 + 2 bytes, 0x0E n b for (n + 1) * 256 events
// of byte b; every other byte is an event of its own, as the port delivers
// them.
//
// Checked after every event: the value store stays in its 501 slots with
// bounded values; the console gets value characters, tabs and line breaks
// only (any byte but those once a piece of several bytes, which is kept
// whole, has arrived); and the file gets exactly the values the console
// showed, each followed by a comma.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/capture_cutter.h"

namespace {

using namespace kestrin;

void Check(bool ok) {
    if (!ok) std::abort();
}

bool IsValueChar(unsigned char c) { return (c >= 43 && c <= 57) || (c >= 'A' && c <= 'Z'); }

// Keeps what the file would receive, and what it should receive according
// to the console: a tab or a line break there is a comma in the file.
class Recorder : public CaptureOutput {
  public:
    void CaptureAppendConsole(std::string_view text) override {
        for (char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            Check(IsValueChar(c) || c == '\t' || c == '\r' || c == '\n' || anyByte);
            if (c == '\t' || c == '\n') {
                expected += ',';
            } else if (c != '\r') {
                expected += ch;
            }
        }
    }
    void CaptureWriteField(std::string_view field) override { file.append(field); }
    void CaptureWriteComma() override { file += ','; }

    std::string file;
    std::string expected;
    bool anyByte = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Recorder out;
    CaptureCutter cutter(out);
    int highestIndex = 0;
    const auto receive = [&](std::string_view piece) {
        cutter.Receive(piece);
        // Only the slot at the index is written, and one event closes at most
        // one value, so every slot filled since the index was last at 0 is
        // looked at.
        const int index = cutter.fieldIndex();
        Check(index >= 0 && index <= CaptureCutter::kLastSlot);
        Check(cutter.fields()[static_cast<std::size_t>(index)].size() <=
              CaptureCutter::kMaxValueBytes);
        for (int s = index + 1; s <= highestIndex + 1 && s < CaptureCutter::kSlots; ++s) {
            Check(cutter.fields()[static_cast<std::size_t>(s)].empty());
        }
        highestIndex = index == 0 ? 0 : std::max(highestIndex, index);
        Check(out.file.size() == out.expected.size());
    };

    std::size_t i = 0;
    while (i < size) {
        const unsigned char c = data[i++];
        if (c == 0x04) {
            receive({});
        } else if (c == 0x05 && i < size) {
            const std::size_t wanted = data[i++] % 32 + 2;
            const std::size_t n = std::min(wanted, size - i);
            // Tabs and line breaks after the first byte are made visible:
            // inside a value they could not be told from the separators.
            std::string piece(reinterpret_cast<const char*>(data + i), n);
            for (std::size_t k = 1; k < piece.size(); ++k) {
                if (piece[k] == '\t' || piece[k] == '\r' || piece[k] == '\n') piece[k] = '_';
            }
            out.anyByte = true;
            i += n;
            receive(piece);
        } else if (c == 0x0E && i + 1 < size) {
            const int times = (data[i] + 1) * 256;
            const char one = static_cast<char>(data[i + 1]);
            i += 2;
            for (int k = 0; k < times; ++k) receive(std::string_view(&one, 1));
        } else {
            const char one = static_cast<char>(c);
            receive(std::string_view(&one, 1));
        }
    }
    Check(out.file == out.expected);
    return 0;
}
