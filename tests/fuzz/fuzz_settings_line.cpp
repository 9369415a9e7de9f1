// Any bytes as Settings.txt: the mapping stores only on the column grid from slot 100 on; a
// load leaves no file open, asks exactly when it does not load and does the same twice.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/settings_format.h"
#include "settings/settings_loader.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    static SettingsTable table;
    table.clearFrom(0);
    if (MapSettingsLine(content, table) < SettingsTable::kFirstLoaded) std::abort();
    for (int i = 0; i < SettingsTable::kSize; ++i)
        if (!table.at(i).empty() && (i < SettingsTable::kFirstLoaded || i % 5 != 0)) std::abort();

    test::MemoryFileSystem files;
    files.files["Settings.txt"] = std::string(content);
    test::ScriptedPrompt prompt;
    const LoadOutcome outcome = LoadSettingsFile(table, files, prompt, {});
    if (files.openStreams != 0) std::abort();
    if (prompt.shown.size() != (outcome == LoadOutcome::Loaded ? 0u : 1u)) std::abort();
    if (LoadSettingsFile(table, files, prompt, {}) != outcome) std::abort();
    return 0;
}
