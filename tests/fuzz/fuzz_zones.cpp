// Any texts in the grid, cut at line feeds (144 small zones, 24 large): a number reads back
// from its own text; AddZones keeps the large texts and leaves each small one or a number.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "viewer/zone_layout.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ZoneView view;
    std::size_t start = 0;
    for (int t = 0; t < ZoneView::kSmallZones + ZoneView::kLargeZones && start <= size; ++t) {
        const std::size_t end = std::min(input.find('\n', start), size);
        const std::string text(input.substr(start, end - start));
        start = end + 1;
        (t < ZoneView::kSmallZones ? view.smallZones[t]
                                   : view.largeZoneValues[t - ZoneView::kSmallZones]) = text;
        if (const auto number = ConvertZoneNumber(text))
            if (ConvertZoneNumber(FormatZoneSum(*number)) != number) std::abort();
    }
    const ZoneView before = view;
    AddZones(view);
    if (view.largeZoneValues != before.largeZoneValues) std::abort();
    for (int p = 0; p < ZoneView::kSmallZones; ++p)
        if (view.smallZones[p] != before.smallZones[p] && !ConvertZoneNumber(view.smallZones[p]))
            std::abort();
    return 0;
}
