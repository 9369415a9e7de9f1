// Any texts in the settings grid: the number conversion and the added view.
//
// The input is cut at line feeds into up to 168 texts: 144 small zones, then
// 24 large-zone values. Checked: a converted number is in 16 bits and reads
// back from its own formatted text; a short text converts as its value
// rounded half to even would; AddZones leaves the large-zone texts alone and
// writes each small zone as its number (or the one carried over) plus its
// block's value, or leaves it as it was when the sum does not fit.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "viewer/zone_layout.h"

namespace {

using namespace kestrin;

void Check(bool ok) {
    if (!ok) std::abort();
}

// The conversion for texts whose digits a double holds exactly enough: the
// value read by strtod, rounded half to even. Nothing when the text is not of
// the accepted form (blanks, sign, digits, optional point and digits, blanks).
std::optional<long> ReferenceValue(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::nullopt;
    std::string_view body = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    std::string_view digits = body;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    int count = 0;
    int points = 0;
    for (char c : digits) {
        if (c >= '0' && c <= '9') {
            ++count;
        } else if (c == '.') {
            ++points;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0 || points > 1 || count > 12) return std::nullopt;
    const double value = std::strtod(std::string(body).c_str(), nullptr);
    const double rounded = std::nearbyint(value);  // round-to-nearest: halves go to even
    if (rounded < -32768 || rounded > 32767) return std::nullopt;
    return static_cast<long>(rounded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    ZoneView view;
    std::size_t start = 0;
    for (int t = 0; t < ZoneView::kSmallZones + ZoneView::kLargeZones && start <= size; ++t) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = size;
        const std::string text(input.substr(start, end - start));
        if (t < ZoneView::kSmallZones) {
            view.smallZones[static_cast<std::size_t>(t)] = text;
        } else {
            view.largeZoneValues[static_cast<std::size_t>(t - ZoneView::kSmallZones)] = text;
        }
        start = end + 1;

        const std::optional<std::int16_t> number = ConvertZoneNumber(text);
        if (number) Check(ConvertZoneNumber(FormatZoneSum(*number)) == number);
        // Texts of up to 12 digits: no double rounding can split a tie.
        const std::size_t digitCount = static_cast<std::size_t>(
            std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }));
        if (digitCount <= 12) {
            const std::optional<long> expected = ReferenceValue(text);
            Check(number.has_value() == expected.has_value());
            if (number) Check(*number == *expected);
        }
    }

    const ZoneView before = view;
    AddZones(view);
    Check(view.largeZoneValues == before.largeZoneValues);
    Check(view.largeZoneNumbers == before.largeZoneNumbers);
    long working = 0;
    for (int p = 0; p < ZoneView::kSmallZones; ++p) {
        const auto at = static_cast<std::size_t>(p);
        if (auto own = ConvertZoneNumber(before.smallZones[at])) working = *own;
        const long large =
            ConvertZoneNumber(before.largeZoneValues[static_cast<std::size_t>(LargeZoneOf(p))])
                .value_or(0);
        const long sum = working + large;
        if (sum < -32768 || sum > 32767) {
            Check(view.smallZones[at] == before.smallZones[at]);
        } else {
            Check(view.smallZones[at] == FormatZoneSum(static_cast<int>(sum)));
        }
    }
    return 0;
}
