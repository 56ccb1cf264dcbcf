// What a design computed from its steps: the pad layers, the composed relief and its preview,
// the pressure colours and the rendered pad stamp, with the metatarsal point and template the
// relief was made with. Owned by the design (design/design.h); the views and exporters read it.
#pragma once

#include <cstdint>
#include <optional>

#include "core/grid.h"

namespace pedaform {

struct DesignResults {
    // Pad heights in grey levels. A blank layer is all zeros without its cells being written:
    // a design marks its layers blank at every load rather than zero 2 MB, whoever builds one
    // zeroes it first, and readers take layer_cells(). Value-initialisation (DesignResults{},
    // std::make_unique) zeroes the layers and leaves none blank.
    float layers[kLayerCount][kGridCells];
    bool layer_blank[kLayerCount] = {};
    float layer_amount[kLayerCount] = {};         // what each layer was built for, mm
    uint8_t relief_grid[kGridCells] = {};         // the composed relief, what the exports write
    uint8_t relief_preview[kGridCells * 4] = {};  // R, G, B, 0 per cell, shown by the image view
    uint8_t colour_grid[kGridCells * 3] = {};     // pressure colour of each cell, R, G, B
    uint8_t pad_stamp[kPadStampBytes] = {};       // the rendered pad, rows of pad_stamp_stride
    int32_t pad_stamp_stride = 0;
    // Where the stamp goes: the design's metatarsal point (0 found: the stamp is not placed).
    float meta_column = 0.0f;
    float meta_row = 0.0f;
    uint8_t meta_point_found = 1;
    // The template smoothing and the exports lay the relief on; none when the size is unknown.
    std::optional<int32_t> template_index = 0;
    // Rows the template is moved up by (a chosen size meets the foot's heel end); 0 at a load.
    int32_t template_row_offset = 0;
    // 1 on the insole's cells: the foot's and the fitted outline's (fill_insole_grid,
    // relief/layers.h).
    uint8_t insole_grid[kGridCells] = {};
    // The height the outline's cells stand on outside the foot: the template's level.
    uint8_t insole_floor = kFootThreshold;
    // The insole as designed, what the printed solids and the 3D view show: on every insole
    // cell the relief, or where the relief has none (an outline cell beyond the template where
    // it stands) the floor and the orthotic layers; 0 off the insole (fill_insole_relief,
    // relief/composition.h).
    uint8_t insole_relief[kGridCells] = {};
    // Where insole_relief ends: 0 full, 1 sulcus, 2 three-quarter (relief/shell_length.h).
    int32_t shell_length = 0;

    // The cells of layer i as they stand: a blank layer reads as zeros.
    const float *layer_cells(int i) const { return layer_blank[i] ? blank_layer() : layers[i]; }
    static const float *blank_layer() {
        static float zeros[kGridCells];  // never written: zero pages, not file bytes
        return zeros;
    }
};

}  // namespace pedaform
