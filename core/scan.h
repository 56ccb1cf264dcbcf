// One loaded scan: its base and pressure grids, the landmarks, the outline's measures, the
// foot side, the size it matched and the point the outline search found. Filled by the scan
// load (analysis/scan_loader.h) and read-only afterwards; a design owns the scan it loaded.
#pragma once

#include <cstdint>
#include <optional>

#include "core/grid.h"

namespace pedaform {

struct Scan {
    // Before any scan: the landmarks of the start-up layout, the search's point (0, 0).
    Landmark landmarks[5] = {{189, 38}, {189, 130}, {66, 52}, {42, 90}, {68, 121}};
    int32_t insole_length = 0;       // outline length in rows
    int32_t outline_top_row = 0;     // highest row with a non-zero base cell
    int32_t outline_bottom_row = 0;  // lowest such row
    int32_t first_outline_cell = 0;  // raster index of the first non-zero base cell
    // 1: the template is applied mirrored (column 149 - x); also turns the pad stamp.
    int32_t template_mirrored = 0;
    std::optional<int32_t> template_index = 0;  // the template the length matched, if any
    // The outline search's metatarsal point. found is 0 when the outline gave none; the
    // start-up point (0, 0) counts as found.
    float meta_column = 0.0f;
    float meta_row = 0.0f;
    uint8_t meta_point_found = 1;
    float ai = 0.0f;  // the scan's "ai", its arch index (analysis/scan_loader.h)
    // The pressure alpha 255 stands for, in whole kPa (metadata pixel 5's blue * 256 + green,
    // written by the importer); 0 when the scan does not say.
    int32_t pressure_full_scale_kpa = 0;
    uint8_t base_grid[kGridCells] = {};      // insole base heights; 0 outside the foot
    uint8_t pressure_grid[kGridCells] = {};  // foot pressure 0..255
};

}  // namespace pedaform
