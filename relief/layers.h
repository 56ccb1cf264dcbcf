// The layers a design adds to the base: five pad layers and the lowering that goes with the
// metatarsal pads, then the orthotic layers (relief/orthotics.h, relief/posts.h). Each is built by
// a function of its amount and of what it is laid on; a control's row (design/controls.h) names the
// layer it builds.
#pragma once

#include <cstdint>
#include <iterator>

#include "core/design_results.h"
#include "core/resources.h"
#include "core/scan.h"
#include "relief/template_placement.h"

namespace pedaform {

// The layers in the order the composition adds them (results.layers[index(layer)]).
enum class Layer {
    kMeta1,
    kMeta2,
    kHeel1,
    kHeel3,
    kHeel2,
    kLowering,  // 3 x (meta1 + meta2) mm down behind the metatarsal pads
    kArch,
    kHeelCup,
    kBase,
    kRearfootPost,
    kForefootPost,
    kHeelLift,
    kHeelRecess,
    kTopCover,
};
static_assert(static_cast<int>(Layer::kTopCover) + 1 == kLayerCount, "every layer is named");

constexpr int index(Layer layer) {
    return static_cast<int>(layer);
}
// The foot layers write foot cells only; the insole layers (the orthotic ones) cover every
// insole cell, the template's outside the foot included. Each list in the composition's order.
constexpr Layer kFootLayers[] = {Layer::kMeta1, Layer::kMeta2, Layer::kHeel1,
                                 Layer::kHeel3, Layer::kHeel2, Layer::kLowering};
constexpr Layer kInsoleLayers[] = {Layer::kArch,         Layer::kHeelCup,      Layer::kBase,
                                   Layer::kRearfootPost, Layer::kForefootPost, Layer::kHeelLift,
                                   Layer::kHeelRecess,   Layer::kTopCover};
static_assert(std::size(kFootLayers) + std::size(kInsoleLayers) == kLayerCount,
              "each layer is a foot or an insole layer");
constexpr bool covers_insole(Layer layer) {
    for (Layer insole : kInsoleLayers)
        if (insole == layer) return true;
    return false;
}

// What a layer is built from: the scan, and the template the design lays the relief on (the
// results' template_index and template_row_offset).
struct LayerInputs {
    const Resources &resources;
    const Scan &scan;
    const DesignResults &results;
    // The template the design lays the relief on, placed.
    PlacedTemplate placed_template() const { return PlacedTemplate(resources, scan, results); }
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
