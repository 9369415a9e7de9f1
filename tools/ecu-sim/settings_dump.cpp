// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu-sim/settings_dump.h"

#include <algorithm>

#include "common/char_classes.h"
#include "settings/capture_cutter.h"

namespace kestrin::ecusim {

namespace {

// The characters the logger keeps in a value, less the comma, which would
// split the value in the settings file.
bool IsValueChar(char c) { return IsFieldChar(c) && c != ','; }

std::string ValueProblem(const std::string& value) {
    if (value.empty()) return "an empty value would shift the table rows";
    if (value.size() > CaptureCutter::kMaxValueBytes)
        return "a value of " + std::to_string(value.size()) + " characters would be cut short";
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (!IsValueChar(value[i]))
            return "value \"" + value + "\" holds a character the logger drops";
        if (i > 0 && SignAfterDigit(value[i - 1], value[i]))
            return "value \"" + value + "\" would be cut in two at its sign";
    }
    return {};
}

void AppendLine(std::string& out, const std::vector<std::string>& values, std::size_t first,
                std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i) {
        out += values[i];
        out += ' ';
    }
    out += "\r\n";
}

}  // namespace

std::string SignedText(int value) {
    if (value > 0) return "+" + std::to_string(value);
    return std::to_string(value);
}

DumpValues DefaultDumpValues() {
    DumpValues v;
    // Unit id, firmware 2.14, line speed, injector cc, rev limit, idle rpm,
    // boost cut kPa, barometric kPa, cold-start advance, overrun trim and
    // cranking pulse in ms.
    v.preamble = {"KS1", "214", "1200", "440", "7200", "850", "250", "101", "+10", "-4", "3.8"};
    for (std::size_t p = 0; p < kSmallZoneCount; ++p) {
        const int row = static_cast<int>(p / kZoneColumns);  // load row - 1
        const int col = static_cast<int>(p % kZoneColumns);  // rpm column
        // Lean at light load, rich on boost, a little richer at idle and at
        // high rpm, with some unevenness as a tuned map has.
        int trim = -12 + 4 * row + (col < 2 ? 4 : 0) + col / 4 + (row * 7 + col * 3) % 5 - 2;
        v.smallZones[p] = std::clamp(trim, -20, 30);
    }
    for (std::size_t k = 0; k < kLargeZoneCount; ++k) {
        const int rowBand = static_cast<int>(k % 4);
        const int columnBand = static_cast<int>(k / 4);
        v.largeZones[k] = rowBand * 2 - 2 + columnBand - 2;
    }
    // Warm-up enrichment by coolant step, then acceleration enrichment.
    v.trailer = {"+30", "+24", "+18", "+12", "+8",  "+4",  "+2",
                 "0",   "+6",  "+10", "+14", "+18", "+22", "+25"};
    return v;
}

std::vector<std::string> DumpValueTexts(const DumpValues& values) {
    std::vector<std::string> texts = values.preamble;
    for (int trim : values.smallZones) texts.push_back(SignedText(trim));
    for (int trim : values.largeZones) texts.push_back(SignedText(trim));
    texts.insert(texts.end(), values.trailer.begin(), values.trailer.end());
    return texts;
}

std::string DumpProblem(const DumpValues& values) {
    std::size_t preambleChars = 0;
    for (const std::string& value : values.preamble) preambleChars += value.size() + 1;
    if (preambleChars != kPreambleChars)
        return "the preamble fills " + std::to_string(preambleChars) + " characters, not " +
               std::to_string(kPreambleChars);
    return DumpProblem(DumpValueTexts(values));
}

std::string DumpProblem(const std::vector<std::string>& texts) {
    if (texts.size() != kDumpValueCount)
        return "the dump has " + std::to_string(texts.size()) + " values, not " +
               std::to_string(kDumpValueCount);
    for (const std::string& text : texts) {
        std::string problem = ValueProblem(text);
        if (!problem.empty()) return problem;
    }
    return {};
}

std::string SettingsDump(const DumpValues& values) {
    if (!DumpProblem(values).empty()) return {};
    return SettingsDump(DumpValueTexts(values));
}

std::string SettingsDump(const std::vector<std::string>& texts) {
    if (!DumpProblem(texts).empty()) return {};
    std::string out;
    // The values that end within the preamble characters, then rows of 16.
    std::size_t next = 0;
    for (std::size_t chars = 0; next < texts.size() && chars + texts[next].size() < kPreambleChars;)
        chars += texts[next++].size() + 1;
    if (next > 0) AppendLine(out, texts, 0, next);
    for (; next < texts.size(); next += kZoneColumns)
        AppendLine(out, texts, next, std::min(kZoneColumns, texts.size() - next));
    return out;
}

}  // namespace kestrin::ecusim
