// Binary masks on a grid of `w` x `h` cells, row by row, whose centres lie `row_pitch` apart
// from row to row and `col_pitch` from column to column: growing and shrinking by a disc. Each
// costs one pass of the grid per row the disc spans.
#pragma once

#include <cstdint>
#include <vector>

namespace pedaform {

struct MaskGrid {
    int w = 0;
    int h = 0;
    double row_pitch = 1;
    double col_pitch = 1;
};

// out: the cells within `radius` (centre to centre, the pitches' unit) of a set cell of `in`.
void dilate_disc(const MaskGrid &g, const uint8_t *in, double radius, uint8_t *out);
// out: the cells whose whole disc of `radius` is set in `in`; cells beyond the grid count as
// unset.
void erode_disc(const MaskGrid &g, const uint8_t *in, double radius, uint8_t *out);
// Dilation then erosion: fills gaps and notches narrower than the disc, keeps the rest.
void close_disc(const MaskGrid &g, uint8_t *mask, double radius);

}  // namespace pedaform
