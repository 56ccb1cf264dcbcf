// The insole's thickness along the foot's axis, for the order sheet's plot.
//
// The foot's axis (relief/foot_axis.h) is extended both ways across the grid; one cell is one
// millimetre.
#pragma once

#include <cstdint>
#include <vector>

#include "core/grid.h"
#include "relief/foot_axis.h"

namespace pedaform {

struct AxisProfile {
    // The thickness in mm every millimetre along the axis, heel end first: from the first to
    // the last point of the line whose nearest cell is an insole cell (height above 0); cells of
    // height 0 between them give 0. Empty when the landmarks coincide or the line misses the
    // insole.
    std::vector<double> thickness_mm;
    // Where the heel centre and the heads' midpoint lie along it, mm from its first sample.
    double heel_mm = 0;
    double heads_mm = 0;
};

AxisProfile axis_profile(const uint8_t *relief, const FootAxis &axis);

}  // namespace pedaform
