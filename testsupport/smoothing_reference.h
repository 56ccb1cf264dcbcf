// The plain smoothing pass: every 7 x 7 window summed cell by cell, 49 reads per cell. Kept
// to check and measure the shipped pass, which must give the same grid.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/grid.h"

namespace pedaform {

inline void smooth_pass_reference(uint8_t *grid, int round_up) {
    static uint8_t snapshot[kGridCells];
    std::memcpy(snapshot, grid, kGridCells);
    for (int y = 3; y <= kGridHeight - 4; ++y)
        for (int x = 3; x <= kGridWidth - 4; ++x) {
            if (snapshot[y * kGridWidth + x] == 0) continue;
            int s = 0, n = 0;
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx) {
                    const int v = snapshot[(y + dy) * kGridWidth + x + dx];
                    s += v;
                    n += v >= 10;
                }
            if (n == 0) continue;
            const float a = static_cast<float>(s) / static_cast<float>(n);
            const float r = round_up ? std::ceil(a) : std::floor(a);
            grid[y * kGridWidth + x] = r > 255 ? 255 : static_cast<uint8_t>(r);
        }
}

}  // namespace pedaform
