#include "analysis/filter_gain.h"

#include <cstring>

namespace pedaform {

void apply_filter_gain(const Resources &resources, const Scan &scan, DesignResults &results,
                       double filter, double gain) {
    // Only 256 pressures exist: colour each once, then copy per cell.
    uint8_t colour_of[256][3];
    for (int p = 0; p < 256; ++p)
        std::memcpy(colour_of[p], resources.colour_table[pressure_colour_index(p, filter, gain)],
                    3);
    for (int i = 0; i < kGridCells; ++i)
        std::memcpy(&results.colour_grid[3 * i], colour_of[scan.pressure_grid[i]], 3);
}

}  // namespace pedaform
