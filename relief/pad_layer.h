// One pad layer: a one-sided ramp laid over the foot cells on the anchor's side of a line.
// It is 0 along the line L through the two line points, rises with the distance from L,
// reaches the full height where the line through the anchor parallel to L lies, and stays
// there beyond it. Heights are grey levels (amount in millimetres x kGreyLevelsPerMm).
#pragma once

#include "core/scan.h"

namespace pedaform {

// Writes only `layer`. An amount of 0 clears the whole layer. Otherwise only foot cells (the
// scan's base_grid != 0) on the anchor's side of L are written; all others keep their value.
// With the anchor on L (no distance to rise over) the layer is cleared as well. Prints
// "p3 %d %d \n" with the anchor's row and column.
void build_pad_layer(const Scan &scan, float (&layer)[kGridCells], float amount,
                     Landmark line_point_1, Landmark line_point_2, Landmark anchor);

}  // namespace pedaform
