// The layers a design adds to the base: five pad layers and the lowering that goes with the
// metatarsal pads (0..5), then the orthotic layers (6..8). Each is built by a function of its
// amount and of what it is laid on.
#pragma once

#include <cstdint>

#include "core/design_results.h"
#include "core/resources.h"
#include "core/scan.h"

namespace pedaform {

constexpr int kLoweringLayer = 5;  // 3 x (meta1 + meta2) mm down behind the metatarsal pads
constexpr int kArchLayer = 6;
constexpr int kHeelCupLayer = 7;
constexpr int kBaseLayer = 8;
static_assert(kBaseLayer == kLayerCount - 1, "every layer is named");
// Layers from here on cover every insole cell (foot and template); the earlier ones only the
// foot's.
constexpr int kFirstInsoleLayer = kArchLayer;

// What a layer is built from: the scan, and the template the design lays the relief on (the
// results' template_index and template_row_offset).
struct LayerInputs {
    const Resources &resources;
    const Scan &scan;
    const DesignResults &results;
    // The template grid, or nullptr when the design has none.
    const uint8_t *template_grid() const;
    // A foot cell, or a cell of the template placed as smoothing places it (the results'
    // insole_grid, which fill_insole_grid made for this template).
    bool insole(int column, int row) const {
        return results.insole_grid[row * kGridWidth + column] != 0;
    }
};

// Makes the results' insole_grid for the scan and the results' template and row offset.
void fill_insole_grid(const Resources &resources, const Scan &scan, DesignResults &results);

// Writes the layer for `amount` millimetres; the result depends on the amount and the inputs
// alone, whatever the layer held before.
using LayerBuilder = void (*)(const LayerInputs &in, float (&layer)[kGridCells], float amount);

}  // namespace pedaform
