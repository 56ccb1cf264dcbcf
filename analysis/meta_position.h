// The metatarsal point: where L1 (the outline's leftmost to rightmost cell, across its widest
// extent) crosses L2 (one long side of the outline, lowest row to highest row). It centres the
// stamped metatarsal pad.
#pragma once

#include "core/scan.h"

namespace pedaform {

// Reads base_grid (cells of 10 or more count as outline) and writes meta_column, meta_row and
// meta_point_found; prints the two lines and the point. When the outline gives no crossing
// (no counting cell, every counting cell in column 0 or, on the left side, in row 0, parallel
// lines or coinciding points) the point keeps its previous value, meta_point_found becomes 0,
// one console line says so, and the stamp is not placed until the next scan.
void find_meta_position(Scan &scan);

}  // namespace pedaform
