// Any bytes as the content of Settings.txt: the format checks, the mapping
// into the settings table and the loader that joins them.
//
// Checked: the comma count and the full check agree with their definitions;
// the mapping stores every character it keeps at an index of the table, never
// below 100 and never off the column grid, and a line that passes the full
// check loses none; a load fills the table exactly when the first line passes
// the full check, and two loads give the same table.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/settings_format.h"
#include "settings/settings_loader.h"
#include "support/memory_file_system.h"
#include "support/scripted_prompt.h"

namespace {

using namespace kestrin;

void Check(bool ok) {
    if (!ok) std::abort();
}

std::size_t StoredBytes(const SettingsTable& table) {
    std::size_t total = 0;
    for (int i = 0; i < SettingsTable::kSize; ++i) total += table.at(i).size();
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);

    // The format operations on the whole input as one line.
    std::size_t commas = 0;
    for (char c : content) commas += c == ',';
    Check(CommaCount(content) == commas);
    Check(PassesFullCheck(content) == (content.starts_with("BOT") && content.ends_with("EOT,") &&
                                       commas == kCompleteCommaCount));

    static SettingsTable table;
    table.clearFrom(0);
    const long long end = MapSettingsLine(content, table);
    Check(end >= SettingsTable::kFirstLoaded);
    std::size_t kept = 0;
    if (content.size() > kUnmappedPrefix) {
        const std::string_view mapped = content.substr(kUnmappedPrefix);
        kept =
            mapped.size() - static_cast<std::size_t>(std::count(mapped.begin(), mapped.end(), ','));
    }
    const std::size_t stored = StoredBytes(table);
    Check(stored <= kept);
    if (PassesFullCheck(content)) Check(stored == kept && end <= 1310);
    for (int i = 0; i < SettingsTable::kSize; ++i) {
        if (table.at(i).empty()) continue;
        Check(i >= SettingsTable::kFirstLoaded && i % 5 == 0);
    }

    // The loader reads the first line of the file and maps it only when it
    // passes the full check.
    std::string_view first = content.substr(0, content.find('\n'));
    if (first.size() < content.size() && first.ends_with('\r')) first.remove_suffix(1);
    test::MemoryFileSystem files;
    files.files["Settings.txt"] = std::string(content);
    test::ScriptedPrompt prompt;
    static SettingsTable loaded;
    std::string shownCount;
    SettingsLoaderHooks hooks;
    hooks.showCommaCount = [&](std::string_view count) { shownCount = count; };
    const LoadOutcome outcome = LoadSettingsFile(loaded, files, prompt, hooks);
    if (content.empty()) {
        Check(outcome == LoadOutcome::EmptyOrCorrupt && shownCount.empty());
    } else {
        Check(shownCount == std::to_string(CommaCount(first)));
        Check(outcome ==
              (PassesFullCheck(first) ? LoadOutcome::Loaded : LoadOutcome::EmptyOrCorrupt));
    }
    Check(prompt.shown.size() == (outcome == LoadOutcome::Loaded ? 0u : 1u));
    Check(files.openStreams == 0);

    table.clearFrom(0);
    if (outcome == LoadOutcome::Loaded) MapSettingsLine(first, table);
    for (int i = 0; i < SettingsTable::kSize; ++i) Check(loaded.at(i) == table.at(i));
    Check(LoadSettingsFile(loaded, files, prompt, hooks) == outcome);
    for (int i = 0; i < SettingsTable::kSize; ++i) Check(loaded.at(i) == table.at(i));
    return 0;
}
