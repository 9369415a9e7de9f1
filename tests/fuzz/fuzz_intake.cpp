// SPDX-License-Identifier: GPL-3.0-or-later
// Any byte stream from the port, one event a byte (0x01 toggles logging, 0x04 is an empty
// event, 0x08 fills the disk), through the tokenizer, decoder and log writer and, as a settings
// dump, through the capture's cutter: the value stores stay bounded, the log never outgrows the
// console and neither does the captured file. The same bytes read as a log's lines: a data line
// has 13 fields, every zone's mean lies within its range and the zones' lines add up.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/log_line.h"
#include "analysis/zone_table.h"
#include "intake/line_tokenizer.h"
#include "settings/capture_cutter.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

using namespace kestrin;

namespace {

struct Sizes : CaptureOutput {
    void CaptureAppendConsole(std::string_view text) override { console += text.size(); }
    void CaptureWriteField(std::string_view field) override { file += field.size(); }
    void CaptureWriteComma() override { ++file; }
    std::size_t console = 0, file = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryConsole console;
    OptionState options;
    LogWriter log{options};
    SettingsTable settings;
    test::ScriptedPrompt prompt;
    test::MemoryFileSystem files;
    std::unique_ptr<TextStream> stream;
    (void)files.CreateTextFile("Log1.txt", stream);
    log.setStream(stream.get());
    LineTokenizer tokenizer(console, log, settings, prompt);
    Sizes captured;
    CaptureCutter cutter(captured);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == 0x01) log.setLoggingActive(!log.loggingActive());
        if (c == 0x08) files.writeLimit = files.files["Log1.txt"].size();
        const std::string_view event = c == 0x04 ? std::string_view() : std::string_view(&c, 1);
        tokenizer.MSComm1_OnComm(event);
        cutter.Receive(event);
        log.flush();
        const int index = tokenizer.fieldIndex(), captureIndex = cutter.fieldIndex();
        if (index < 0 || index > LineTokenizer::kSlots) std::abort();
        if (captureIndex < 0 || captureIndex > CaptureCutter::kLastSlot) std::abort();
        for (const std::string& field : tokenizer.fields())
            if (field.size() > LineTokenizer::kMaxFieldBytes) std::abort();
        for (const std::string& value : cutter.fields())
            if (value.size() > CaptureCutter::kMaxValueBytes) std::abort();
        // Every logged byte was shown; an empty field's separator is a tab either way. A
        // captured value and its comma are shown as the value and a tab or line break.
        if (files.files["Log1.txt"].size() > console.text().size()) std::abort();
        if (captured.file > captured.console) std::abort();
    }

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ZoneTable table;
    std::vector<std::string_view> fields;
    std::int64_t dataLines = 0;
    for (std::size_t start = 0; start <= size;) {
        const std::size_t end = std::min(input.find('\n', start), size);
        SplitLogLine(input.substr(start, end - start), fields);
        start = end + 1;
        LogDataValues values;
        if (ClassifyLogLine(fields, values) != LogLineKind::Data) continue;
        if (fields.size() != kLogColumns) std::abort();
        table.Add(values);
        ++dataLines;
    }
    for (const auto& [zone, summary] : table.zones()) {
        dataLines -= summary.lines;
        const std::int64_t mean = summary.meanHundredths();
        if (mean < summary.airFuelMin || mean > summary.airFuelMax) std::abort();
    }
    if (dataLines != 0) std::abort();
    return 0;
}
