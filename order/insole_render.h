// The insole drawn on the CPU, for the order sheet: a relief's heights lit as a surface and
// seen from above or from the medial side. No OpenGL, so that the batch command can draw it on
// a server.
//
// The surface: cell (x, y) of the grid (core/grid.h) is 1 mm square and its height is its grey
// level x 0.2 mm; a cell of height 0 is not insole. Each cell's normal is the normal of the
// central differences of its neighbours' heights (a neighbour off the insole or beyond the grid
// counts as the cell itself, so that the outline's stair steps cast no stripes), averaged with
// the normals of the insole cells among the 5 x 5 cells around it, so that the 0.2 mm steps of
// the heights do not read as terraces. Shading is Lambert's law:
// grey = 255 x (kAmbient + kDiffuse x max(0, n.l)) for the unit normal n and the unit direction
// l toward the light; the background is white.
#pragma once

#include <cstdint>
#include <vector>

#include "core/grid.h"

namespace pedaform {

// A direction in grid axes: x along the columns, y along the rows (toward the toes), z up.
struct Direction {
    double x = 0, y = 0, z = 1;
};

constexpr double kAmbient = 0.2;
constexpr double kDiffuse = 0.72;  // at most 0.92 x 255 = 234: the insole never reads as paper
constexpr uint8_t kBackgroundGrey = 255;
constexpr int kNormalReach = 2;  // cells each way that a normal is averaged over

// A grey picture, its top row first.
struct LitPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> grey;  // width x height
    uint8_t at(int x, int y) const { return grey[static_cast<size_t>(y) * width + x]; }
};

// The unit normal of every cell (kGridCells of them, grid order), as described above.
std::vector<Direction> surface_normals(const uint8_t *heights);

// The relief seen from straight above, one pixel per cell: 150 x 360, grid row 359 on top.
LitPicture render_from_above(const uint8_t *heights, Direction light);

// The relief seen from the side, orthographic, `pixels_per_mm` pixels to the millimetre both
// ways: the viewer looks along the columns from beyond column 149 when `from_high_columns`,
// from beyond column 0 otherwise, with the heights upward. The picture spans the rows that hold
// insole cells (the lowest one at the viewer's left when looking from high columns, at the
// right otherwise, as a camera sees it) and the heights from 0 to the highest cell, with one
// pixel row to spare above; each pixel shows the first cell along the line of sight whose
// surface reaches its height. An empty relief gives an empty picture.
LitPicture render_from_side(const uint8_t *heights, bool from_high_columns, Direction light,
                            int pixels_per_mm);

}  // namespace pedaform
