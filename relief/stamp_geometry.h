// Where the stamped metatarsal pad's picture lies and how it is laid out. The picture is the pad
// (W x L cells, the "蹠骨寬" and "蹠骨長" values) with kStampMargin cells on every side:
// trunc(W + 20) columns by trunc(L + 20) rows, row 0 at the bottom, rows `stride` bytes apart
// (the row rounded up to a multiple of 4 bytes, as OpenGL packs rows it reads back). It hangs
// from the metatarsal point: its row trunc(L + 10) on the point's row and its middle column,
// trunc(W + 20) / 2, on the point's column, both coordinates of the point truncated. The
// renderer, the composition, the dome's placement and the image view's footprint all take the
// stamp's size and place from here.
#pragma once

#include <cmath>
#include <optional>

#include "core/grid.h"

namespace pedaform {

constexpr int kStampMargin = 10;

struct StampSize {
    int columns;  // trunc(W + 20)
    int rows;     // trunc(L + 20)
    int stride;   // bytes from one row to the next
};

// True when 0 < side + 20 <= 63,000 (kPadStampBytes); false for NaN and infinities, so that
// callers may convert a side that fits to int.
inline bool stamp_side_fits(double side) {
    return side + 2 * kStampMargin > 0 && side + 2 * kStampMargin <= kPadStampBytes;
}

// Bytes per row for width W: trunc(W + 20) rounded up to a multiple of 4; 0 unless W fits.
inline int pad_stamp_stride_for(double width) {
    if (!stamp_side_fits(width)) return 0;
    const int bytes = static_cast<int>(width + 2 * kStampMargin);
    return (bytes + 3) / 4 * 4;
}

// The picture's size for W x L; none when a side does not fit. The picture itself may still
// exceed kPadStampBytes (stride x rows): the renderer refuses that.
[[nodiscard]] inline std::optional<StampSize> stamp_size(double width, double length) {
    if (!stamp_side_fits(width) || !stamp_side_fits(length)) return std::nullopt;
    return StampSize{static_cast<int>(width + 2 * kStampMargin),
                     static_cast<int>(length + 2 * kStampMargin), pad_stamp_stride_for(width)};
}

// The grid cell of the picture's bottom-left byte for a metatarsal point. The point's
// coordinates must lie within +-1e6 and the sides fit.
inline GridPoint stamp_origin(GridPoint point, double width, double length) {
    const int columns = static_cast<int>(width + 2 * kStampMargin);
    return {
        static_cast<float>(static_cast<int>(point.column) - columns / 2),
        static_cast<float>(static_cast<int>(point.row) - static_cast<int>(length + kStampMargin))};
}

// The middle of the pad in picture cells, (floor(W / 2) + 10, floor(L / 2) + 10): where the
// apex of a stamp of zeros is taken to be.
inline GridPoint stamp_centre_cell(double width, double length) {
    return {static_cast<float>(std::floor(width / 2) + kStampMargin),
            static_cast<float>(std::floor(length / 2) + kStampMargin)};
}

}  // namespace pedaform
