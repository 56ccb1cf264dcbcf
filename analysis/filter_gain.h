// Pressure colouring: the colour grid that the 3D view paints while "Foot Pressure" is on.
#pragma once

#include "core/design_results.h"
#include "core/resources.h"
#include "core/scan.h"

namespace pedaform {

// Colour table entry for a pressure p: t = max(0, trunc(p - filter)), k = min(255,
// trunc(t * gain)). The scan load uses it with filter 0.
inline int pressure_colour_index(int pressure, double filter, double gain) {
    int t = static_cast<int>(pressure - filter);
    if (t < 0) t = 0;
    const double k = t * gain;
    return k > 255.0 ? 255 : static_cast<int>(k);
}

// Recomputes the results' colour_grid from the scan's pressure_grid and the colour table.
// Changes nothing else.
void apply_filter_gain(const Resources &resources, const Scan &scan, DesignResults &results,
                       double filter, double gain);

}  // namespace pedaform
