// The one builder of closed solids: the printed insole and the zone blocks of the 3MF file.
#pragma once

#include <cstdint>
#include <vector>

#include "model3d/mesh.h"

namespace pedaform {

// A solid over some cells of a lattice. Cell (c, r) spans lattice points (c, r) .. (c + 1,
// r + 1); lattice point (i, j) stands at x = origin_x + i, y = origin_y + j (mm).
struct SolidShape {
    int cells_x = 0, cells_y = 0;
    std::vector<uint8_t> cells;  // cells_x * cells_y, row by row; non-zero: part of the solid
    float origin_x = 0, origin_y = 0;
    // Heights of the top at the (cells_x + 1) * (cells_y + 1) lattice points, mm; empty: a flat
    // top at top_z.
    std::vector<float> top;
    float top_z = 0;
    float bottom_z = 0;
    // Heights of the bottom at the lattice points, mm, with per_cell_bottom; empty: flat at
    // bottom_z. Each must lie below the top at its point.
    std::vector<float> bottom;
    bool per_cell_bottom = false;  // two triangles per cell; otherwise one strip per run of cells
    // Above 0 (and with heights), the top is simplified within this many mm (surface_simplify.h).
    double tolerance = 0;
};

// Appends the closed solid of `shape` to `mesh` (nothing when no cell is set):
//  - the top: with heights, two triangles per cell, (P1, P2, P3) and (P3, P4, P1) for
//    P1 = (c, r), P2 = (c + 1, r), P3 = (c + 1, r + 1), P4 = (c, r + 1), each at its height;
//    flat, row strips (row_strips.h);
//  - walls down to bottom_z along every cell side without a neighbouring cell, running with
//    the cell on their left seen from above, so that they face outward;
//  - the flat bottom at bottom_z, facing down.
// Every edge belongs to exactly two triangles that run it in opposite directions. Where two
// cells touch only at a corner, each gets its own vertices there, moved 0.01 mm into the cell,
// so that the two parts share no edge.
// Order: cell by cell (rows outer), the cell's top pair unless flat or simplified, its bottom
// pair when per cell, its walls (along its sides r, c + 1, r + 1, c in that order); then the
// flat top, the strip bottom, the simplified top.
void build_closed_solid(const SolidShape &shape, Mesh &mesh);

}  // namespace pedaform
