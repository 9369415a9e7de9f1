#include "ecu-sim/settings_dump.h"

#include <algorithm>

#include "common/char_classes.h"

namespace kestrin::ecusim {

namespace {

// The characters the logger keeps in a value, less the comma, which would
// split the value in the settings file.
bool IsValueChar(char c) { return IsFieldChar(c) && c != ','; }

std::string ValueProblem(const std::string& value) {
    if (value.empty()) return "an empty value would shift the table rows";
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
    const std::vector<std::string> texts = DumpValueTexts(values);
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
    const std::vector<std::string> texts = DumpValueTexts(values);
    std::string out;
    std::size_t next = 0;
    AppendLine(out, texts, next, values.preamble.size());
    next += values.preamble.size();
    for (std::size_t row = 0; row < kSmallZoneCount / kZoneColumns; ++row, next += kZoneColumns)
        AppendLine(out, texts, next, kZoneColumns);
    AppendLine(out, texts, next, kZoneColumns);  // large zones 0 to 15: table row 10
    next += kZoneColumns;
    AppendLine(out, texts, next, kLargeZoneCount - kZoneColumns);  // 16 to 23: row 11
    next += kLargeZoneCount - kZoneColumns;
    if (next < texts.size()) AppendLine(out, texts, next, texts.size() - next);
    return out;
}

}  // namespace kestrin::ecusim
