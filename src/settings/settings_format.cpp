#include "settings/settings_format.h"

#include <algorithm>

namespace kestrin {

std::size_t CommaCount(std::string_view line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
}

bool PassesFullCheck(std::string_view line) {
    return line.starts_with(kSettingsBegin) && line.ends_with(kSettingsEnd) &&
           CommaCount(line) == kCompleteCommaCount;
}

long long MapSettingsLine(std::string_view line, SettingsTable& table) {
    constexpr int kColumnStep = 5;
    constexpr int kRowStep = 20;  // from position 80 of a row to position 0 of the next
    long long index = SettingsTable::kFirstLoaded;
    if (line.size() <= kUnmappedPrefix) return index;
    for (char c : line.substr(kUnmappedPrefix)) {
        if (c == ',') {
            index += kColumnStep;
        } else {
            if (index % 100 == 80) index += kRowStep;
            if (!SettingsTable::validIndex(index)) break;
            table.slot(static_cast<int>(index)).push_back(c);
        }
        // The index only grows: once past the table nothing more can be stored.
        if (!SettingsTable::validIndex(index)) break;
    }
    return index;
}

}  // namespace kestrin
