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
// insole cell, the outline's outside the foot included. Of these, the shaped ones vary over the
// insole; the uniform ones ("the whole insole": the base) are the same on every insole cell and
// raise every cell of every export by that same amount, after the floor at kFootThreshold; the
// cuts (the heel-spur recess) lower cells after that rise, never below kFootThreshold, so that
// they reach into the base and the top cover. Each list in the composition's order.
constexpr Layer kFootLayers[] = {Layer::kMeta1, Layer::kMeta2, Layer::kHeel1,
                                 Layer::kHeel3, Layer::kHeel2, Layer::kLowering};
constexpr Layer kShapedInsoleLayers[] = {Layer::kArch, Layer::kHeelCup, Layer::kRearfootPost,
                                         Layer::kForefootPost, Layer::kHeelLift};
constexpr Layer kUniformLayers[] = {Layer::kBase, Layer::kTopCover};
constexpr Layer kCutLayers[] = {Layer::kHeelRecess};
constexpr Layer kInsoleLayers[] = {Layer::kArch,         Layer::kHeelCup,      Layer::kBase,
                                   Layer::kRearfootPost, Layer::kForefootPost, Layer::kHeelLift,
                                   Layer::kHeelRecess,   Layer::kTopCover};
static_assert(std::size(kFootLayers) + std::size(kInsoleLayers) == kLayerCount,
              "each layer is a foot or an insole layer");
static_assert(std::size(kShapedInsoleLayers) + std::size(kUniformLayers) + std::size(kCutLayers) ==
                  std::size(kInsoleLayers),
              "each insole layer is shaped, uniform or a cut");
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
    // A foot cell, or a cell of the fitted outline (the results' insole_grid, which
    // fill_insole_grid made for this template).
    bool insole(int column, int row) const {
        return results.insole_grid[row * kGridWidth + column] != 0;
    }
};

// Makes the results' insole_grid and insole_floor for the scan and the results' template: the
// foot's cells (base_grid non-zero) and the cells of the template's length fitted to the foot
// (fit_outline, template_placement.h), closed into 2 x 2 blocks (close_insole_blocks); the floor
// the template's level (at least kFootThreshold). Without a template, the foot's cells alone.
void fill_insole_grid(const Resources &resources, const Scan &scan, DesignResults &results);

// The whole grey levels the uniform layers raise every insole cell by: the sum of their amounts
// (layer_amount) in grey levels, truncated.
int uniform_rise(const DesignResults &results);

// Writes the layer for `amount` millimetres; the result depends on the amount and the inputs
// alone, whatever the layer held before.
using LayerBuilder = void (*)(const LayerInputs &in, float (&layer)[kGridCells], float amount);

}  // namespace pedaform
