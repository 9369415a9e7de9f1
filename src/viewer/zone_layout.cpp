// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/zone_layout.h"

#include <algorithm>
#include <limits>

#include "common/char_classes.h"

namespace kestrin {

namespace {

// Rows 0-1, 2-3 and 4-5 form bands 0 to 2; rows 6-8 form band 3.
int RowBand(int row) { return std::min(row / 2, 3); }

// Columns 0-7 pair up into bands 0 to 3; columns 8-11 and 12-15 are bands 4 and 5.
int ColumnBand(int column) { return column < 8 ? column / 2 : 4 + (column - 8) / 4; }

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

}  // namespace

int SmallZoneSlot(int p) {
    const int row = p / ZoneView::kColumns;
    const int column = p % ZoneView::kColumns;
    return 100 * (row + 1) + 5 * column;
}

std::optional<int> SmallZoneOfSlot(std::int64_t slot) {
    const std::int64_t row = slot / 100 - 1;
    const std::int64_t offset = slot % 100;
    if (slot < 100 || row >= ZoneView::kRows || offset % 5 != 0 || offset / 5 >= ZoneView::kColumns)
        return std::nullopt;
    return static_cast<int>(row * ZoneView::kColumns + offset / 5);
}

int LargeZoneSlot(int k) { return 1000 + 100 * (k / 16) + 5 * (k % 16); }

int LargeZoneOf(int p) {
    return 4 * ColumnBand(p % ZoneView::kColumns) + RowBand(p / ZoneView::kColumns);
}

void ShowZones(const SettingsTable& table, ZoneView& view) {
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        view.largeZoneNumbers[k] = std::to_string(k);
        view.largeZoneValues[k] = table.at(LargeZoneSlot(k));
    }
    for (int p = 0; p < ZoneView::kSmallZones; ++p) view.smallZones[p] = table.at(SmallZoneSlot(p));
}

void AddZones(ZoneView& view) {
    std::array<int, ZoneView::kLargeZones> large{};
    for (int k = 0; k < ZoneView::kLargeZones; ++k) {
        large[k] = ConvertZoneNumber(view.largeZoneValues[k]).value_or(0);
    }
    // A cell that is not a number takes the value of the last one that was.
    int working = 0;
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        if (auto own = ConvertZoneNumber(view.smallZones[p])) working = *own;
        const int sum = working + large[LargeZoneOf(p)];
        if (sum < std::numeric_limits<std::int16_t>::min() ||
            sum > std::numeric_limits<std::int16_t>::max()) {
            continue;
        }
        view.smallZones[p] = FormatZoneSum(sum);
    }
}

std::optional<std::int16_t> ConvertZoneNumber(std::string_view text) {
    // Magnitudes past this are out of range anyway; capping keeps the arithmetic small for
    // texts with any number of digits.
    constexpr long kCap = 1'000'000;

    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) ++i;

    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    bool anyDigit = false;
    long magnitude = 0;
    for (; i < n && IsDigit(text[i]); ++i) {
        anyDigit = true;
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), kCap);
    }

    // Only the first fraction digit and whether anything non-zero follows it matter.
    int firstFraction = 0;
    bool restNonZero = false;
    if (i < n && text[i] == '.') {
        ++i;
        if (i < n && IsDigit(text[i])) {
            anyDigit = true;
            firstFraction = text[i] - '0';
            for (++i; i < n && IsDigit(text[i]); ++i) restNonZero |= text[i] != '0';
        }
    }

    while (i < n && IsBlank(text[i])) ++i;
    if (!anyDigit || i != n) return std::nullopt;

    // Round half to even; the rule is symmetric, so it can work on the magnitude.
    const bool roundUp =
        firstFraction > 5 || (firstFraction == 5 && (restNonZero || magnitude % 2 == 1));
    if (roundUp) ++magnitude;

    const long value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

std::string FormatZoneSum(int sum) {
    return sum > 0 ? "+" + std::to_string(sum) : std::to_string(sum);
}

}  // namespace kestrin
