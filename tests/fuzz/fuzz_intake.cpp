// Any byte stream through the tokenizer, decoder and log writer, one event a byte (0x01
// toggles logging, 0x04 is an empty event, 0x08 fills the disk): the field store stays
// bounded and the log never outgrows the console.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "intake/line_tokenizer.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryConsole console;
    OptionState options;
    LogWriter log{options};
    SettingsTable settings;
    test::ScriptedPrompt prompt;
    test::MemoryFileSystem files;
    std::unique_ptr<TextStream> stream;
    files.CreateTextFile("Log1.txt", stream);
    log.setStream(stream.get());
    LineTokenizer tokenizer(console, log, settings, prompt);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == 0x01) log.setLoggingActive(!log.loggingActive());
        if (c == 0x08) files.writeLimit = files.files["Log1.txt"].size();
        tokenizer.MSComm1_OnComm(c == 0x04 ? std::string_view() : std::string_view(&c, 1));
        log.flush();
        const int index = tokenizer.fieldIndex();
        if (index < 0 || index > LineTokenizer::kSlots) std::abort();
        for (const std::string& field : tokenizer.fields())
            if (field.size() > LineTokenizer::kMaxFieldBytes) std::abort();
        // Every logged byte was shown; an empty field's separator is a tab either way.
        if (files.files["Log1.txt"].size() > console.text().size()) std::abort();
    }
    return 0;
}
