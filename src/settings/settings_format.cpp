// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_format.h"

#include <algorithm>

namespace kestrin {

namespace {

constexpr int kColumnStep = 5;
constexpr int kRowStep = 20;  // from position 80 of a row to position 0 of the next
constexpr int kRowEnd = 80;

// Walks the values of the line from its 49th character as the mapping meets
// them: `visit(index, begin, end)` gets each value's characters [begin, end)
// of the line with the index they are stored at. An empty value stores
// nothing and gets the index it stands at: at a row's position 80 the row
// step is then missed. Returns the index the mapping ended at.
template <typename Visit>
long long WalkMapping(std::string_view line, Visit visit) {
    long long index = SettingsTable::kFirstLoaded;
    for (std::size_t begin = kUnmappedPrefix; begin < line.size();) {
        const std::size_t end = std::min(line.find(',', begin), line.size());
        if (end > begin && index % 100 == kRowEnd) index += kRowStep;
        // The index only grows: once past the table nothing more can be stored.
        if (!SettingsTable::validIndex(index)) break;
        visit(index, begin, end);
        if (end == line.size()) break;
        index += kColumnStep;
        if (!SettingsTable::validIndex(index)) break;
        begin = end + 1;
    }
    return index;
}

}  // namespace

std::size_t CommaCount(std::string_view line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
}

bool PassesFullCheck(std::string_view line) {
    return line.starts_with(kSettingsBegin) && line.ends_with(kSettingsEnd) &&
           CommaCount(line) == kCompleteCommaCount;
}

long long MapSettingsLine(std::string_view line, SettingsTable& table) {
    return WalkMapping(line, [&](long long index, std::size_t begin, std::size_t end) {
        table.slot(static_cast<int>(index)).append(line.substr(begin, end - begin));
    });
}

SettingsEdit ReplaceMappedValues(std::string_view line,
                                 const std::map<long long, std::string>& texts) {
    // Where each replaceable value sits: [begin, end) of the line.
    std::map<long long, std::pair<std::size_t, std::size_t>> places;
    const std::size_t marker = line.rfind(',');
    WalkMapping(line, [&](long long index, std::size_t begin, std::size_t end) {
        // An empty value at a row's position 80 is a missed row step: a text
        // there would take the step and move every later value.
        if (end >= marker || (begin == end && index % 100 == kRowEnd)) return;
        places.emplace(index, std::make_pair(begin, end));
    });
    SettingsEdit edit;
    std::size_t copied = 0;
    for (const auto& [index, text] : texts) {
        const auto place = places.find(index);
        if (place == places.end() || text.empty() ||
            text.find_first_of(",\r\n") != std::string::npos) {
            edit.leftAlone.push_back(index);
            continue;
        }
        const auto [begin, end] = place->second;
        edit.line.append(line.substr(copied, begin - copied));
        edit.line.append(text);
        copied = end;
    }
    edit.line.append(line.substr(copied));
    return edit;
}

}  // namespace kestrin
