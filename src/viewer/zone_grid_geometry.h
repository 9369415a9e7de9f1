#pragma once

#include <array>

namespace kestrin {

// Where the small-zone grid of the settings viewer lies, in twips: the cell
// of row r, column c has its top left at (kGridLeft + kCellPitch * c,
// kGridTop + kCellPitch * r) and is kCellSize square, so that neighbouring
// cells overlap by one pixel and their borders coincide. Every window that
// shows zones on this grid takes its cells from here.
struct ZoneGridGeometry {
    static constexpr int kGridLeft = 720;
    static constexpr int kGridTop = 120;
    static constexpr int kCellPitch = 840;
    static constexpr int kCellSize = 855;
    // The block boundaries: left edges of columns 0, 2, 4, 6, 8, 12 and the
    // right edge of column 15; top edges of rows 0, 2, 4, 6 and the bottom edge of row 8.
    static constexpr std::array<int, 7> kBlockLineXs{720, 2400, 4080, 5760, 7440, 10800, 14160};
    static constexpr std::array<int, 5> kBlockLineYs{120, 1800, 3480, 5160, 7680};
};

}  // namespace kestrin
