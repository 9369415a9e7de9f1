// Any byte stream as a settings dump, one event a byte (0x04 is an empty event): the value
// store stays bounded and the file never outgrows the console.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/capture_cutter.h"

using namespace kestrin;

namespace {

struct Sizes : CaptureOutput {
    void CaptureAppendConsole(std::string_view text) override { console += text.size(); }
    void CaptureWriteField(std::string_view field) override { file += field.size(); }
    void CaptureWriteComma() override { ++file; }
    std::size_t console = 0;
    std::size_t file = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sizes out;
    CaptureCutter cutter(out);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        cutter.Receive(c == 0x04 ? std::string_view() : std::string_view(&c, 1));
        const int index = cutter.fieldIndex();
        if (index < 0 || index > CaptureCutter::kLastSlot) std::abort();
        for (const std::string& value : cutter.fields())
            if (value.size() > CaptureCutter::kMaxValueBytes) std::abort();
        // A value and its comma are shown as the value and a tab or line break.
        if (out.file > out.console) std::abort();
    }
    return 0;
}
