// Pressure colouring: the colour grid that the 3D view paints while "Foot Pressure" is on.
#pragma once

#include "workspace/workspace.h"

namespace pedaform {

// Colour table entry for a pressure p: t = max(0, trunc(p - filter)), k = min(255,
// trunc(t * gain)). The scan load uses it with filter 0.
inline int pressure_colour_index(int pressure, double filter, double gain) {
    int t = static_cast<int>(pressure - filter);
    if (t < 0) t = 0;
    const double k = t * gain;
    return k > 255.0 ? 255 : static_cast<int>(k);
}

// Recomputes colour_grid from pressure_grid and colour_table. Changes nothing else.
void apply_filter_gain(Workspace &ws, double filter, double gain);

}  // namespace pedaform
