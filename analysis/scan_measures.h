// Measures of a loaded scan that a pair's report compares between the feet (the length is the
// scan's insole_length, the arch index its ai).
#pragma once

#include <optional>

#include "core/scan.h"

namespace pedaform {

// The foot's width in millimetres (one cell is 1 mm): the widest slice of its outline (the
// cells with a base) square to the foot's axis (relief/foot_axis.h), the slices 1 mm thick
// along the axis and each cell's centre counting, plus one cell for the cells' own width.
// 0 for a scan without base cells or without an axis.
double foot_width_mm(const Scan &scan);

// The highest pressure of the foot in kPa: its highest alpha as a share of 255, times the
// pressure of alpha 255 the scan records; none when the scan does not record it.
std::optional<double> peak_pressure_kpa(const Scan &scan);

}  // namespace pedaform
