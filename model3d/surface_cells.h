// Which cells of a relief make a surface. Cell (c, r) spans the four grid points (c, r),
// (c + 1, r), (c, r + 1) and (c + 1, r + 1), c < 149 and r < 359. Two rules, each for its
// reader:
//  - printed (surface_cell): all four corners have a height, W != 0, in the prepared heights.
//    The STL surface, the closed solid, the 3MF and its pressure zones take these cells, so
//    that a printed insole has no face over a corner without height.
//  - drawn (mesh_cell_drawn): any corner is a foot cell, relief >= kFootThreshold. The 3D view
//    draws these, so that the surface falls to the floor all round the foot.
#pragma once

#include <cstdint>
#include <vector>

#include "core/grid.h"

namespace pedaform {

template <typename T>
inline bool surface_cell(const T *heights, int c, int r) {
    const int i = r * kGridWidth + c;
    return heights[i] != 0 && heights[i + 1] != 0 && heights[i + kGridWidth] != 0 &&
           heights[i + kGridWidth + 1] != 0;
}

inline bool mesh_cell_drawn(const uint8_t *relief, int r, int c) {
    const int i = r * kGridWidth + c;
    return relief[i] >= kFootThreshold || relief[i + kGridWidth] >= kFootThreshold ||
           relief[i + kGridWidth + 1] >= kFootThreshold || relief[i + 1] >= kFootThreshold;
}

// The insole's cells as the printed files see them: every grid point that is a corner of a
// surface cell. `mask` gets kGridCells entries, 1 for such a point.
template <typename T>
void mark_insole_cells(const T *heights, std::vector<uint8_t> &mask) {
    mask.assign(kGridCells, 0);
    for (int r = 0; r + 1 < kGridHeight; ++r)
        for (int c = 0; c + 1 < kGridWidth; ++c)
            if (surface_cell(heights, c, r)) {
                const int i = r * kGridWidth + c;
                mask[i] = mask[i + 1] = mask[i + kGridWidth] = mask[i + kGridWidth + 1] = 1;
            }
}

}  // namespace pedaform
