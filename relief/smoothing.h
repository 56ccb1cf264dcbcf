// Relief smoothing: the template floor and the 7 x 7 averaging passes that soften the
// relief's steps before it is cut. The sequence is floor, pass rounding up, pass rounding
// down, floor.
#pragma once

#include <cstdint>

#include "core/design_results.h"
#include "core/resources.h"
#include "core/scan.h"

namespace pedaform {

// Raises every relief cell to the results' template placed as PlacedTemplate places it
// (template_placement.h): read mirrored left to right (column 149 - x) when the scan's
// template_mirrored is 1 and moved up by template_row_offset rows (rows moved off the grid are
// dropped), its raised cells lifted by the uniform layers' rise (uniform_rise, layers.h) up to
// 255. Never lowers a cell. Any other template_mirrored value, or a template index outside
// 0..18, changes nothing.
void apply_template_floor(const Resources &resources, const Scan &scan, DesignResults &results);

// One averaging pass over a 150 x 360 grid, computed from a snapshot taken at its start. Each
// non-zero cell of rows 3..356 and columns 3..146 becomes S / N rounded up (round_up = 1) or
// down (0), S the sum of its 7 x 7 window and N the number of window values of 10 or more.
// A cell with N = 0 keeps its value; a result above 255 becomes 255.
void smooth_pass(uint8_t *grid, int round_up);

// The "Smooth" action: floor, pass rounding up, pass rounding down, floor.
void smooth_relief(const Resources &resources, const Scan &scan, DesignResults &results);

}  // namespace pedaform
