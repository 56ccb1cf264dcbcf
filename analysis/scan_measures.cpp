#include "analysis/scan_measures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "relief/foot_axis.h"

namespace pedaform {

double foot_width_mm(const Scan &scan) {
    const FootAxis axis = foot_axis(scan);
    if (!axis.toe_ward) return 0;
    const GridDirection t = *axis.toe_ward;
    // Slices along the axis: every cell lies within the grid's diagonal of the heel.
    const int reach = kGridWidth + kGridHeight;
    std::vector<double> low(2 * reach + 1, 1e9), high(2 * reach + 1, -1e9);
    bool any = false;
    for (int row = 0; row < kGridHeight; ++row)
        for (int column = 0; column < kGridWidth; ++column) {
            if (scan.base_grid[row * kGridWidth + column] == 0) continue;
            const double dc = column - axis.heel.column, dr = row - axis.heel.row;
            const int slice = static_cast<int>(std::floor(dc * t.column + dr * t.row)) + reach;
            const double across = dc * -t.row + dr * t.column;
            low[slice] = std::min(low[slice], across);
            high[slice] = std::max(high[slice], across);
            any = true;
        }
    if (!any) return 0;
    double width = 0;
    for (size_t k = 0; k < low.size(); ++k)
        if (high[k] >= low[k]) width = std::max(width, high[k] - low[k] + 1);
    return width;
}

std::optional<double> peak_pressure_kpa(const Scan &scan) {
    if (scan.pressure_full_scale_kpa == 0) return std::nullopt;
    const uint8_t peak = *std::max_element(scan.pressure_grid, scan.pressure_grid + kGridCells);
    return scan.pressure_full_scale_kpa * (peak / 255.0);
}

}  // namespace pedaform
