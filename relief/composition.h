// Relief composition: base plus the six pad layers, clamped, plus the stamped metatarsal pad,
// and the preview that the image view shows. Also the actions of the five pad sliders.
#pragma once

#include "workspace/design_results.h"
#include "workspace/resources.h"
#include "workspace/scan.h"

namespace pedaform {

// The state of the stamped-pad controls that composition needs.
struct StampControls {
    bool enabled = false;  // check button "蹠骨垫片"
    double width = 7;      // "蹠骨寬" W
    double length = 17;    // "蹠骨長" L
};

// relief = clamp(base + layer 0 + ... + layer 5, 10, 255) on foot cells (the scan's
// base_grid != 0); other cells keep their value. Then, when the stamp is enabled and the
// results' metatarsal point was found, pad_stamp ((W + 20) x (L + 20) bytes, rows pad_stamp_stride apart) is added around
// the point, saturating at 255: stamp row L + 10 on the point's row, the stamp's middle
// column on its column. Only foot cells inside the grid receive it; stamp cells whose row or
// column lies outside the grid are dropped; a stamp size outside 0 < W + 20, L + 20 <= 63,000
// places nothing. Finally rebuilds the preview.
void compose_relief(const Resources &resources, const Scan &scan, DesignResults &results,
                    const StampControls &stamp);

// relief_preview: cells with base < 10 are 0, 0, 0, 0; others get colour_table[d] and a 0
// byte, d = clamp(3 * (relief - base) + 128, 0, 255).
void update_relief_preview(const Resources &resources, const Scan &scan, DesignResults &results);

// Bytes per row of a stamp of width W: trunc(W + 20) rounded up to a multiple of 4; 0
// unless 0 < W + 20 <= 63,000.
int pad_stamp_stride_for(double width);

enum class PadSlider { kMeta1, kMeta2, kHeel1, kHeel2, kHeel3 };

// The current values of the five pad sliders, in millimetres.
struct PadSliderValues {
    double meta1 = 0, meta2 = 0, heel1 = 0, heel2 = 0, heel3 = 0;
};

// The layer a pad slider builds: meta1 0, meta2 1, heel1 2, heel2 4, heel3 3.
int slider_layer(PadSlider slider);
// Layer 5 lowers the forefoot behind the metatarsal pads by 3 x (meta1 + meta2) mm.
constexpr int kLoweringLayer = 5;
float lowering_amount(double meta1, double meta2);

// Builds `layer` (0..5; another index is a programming error) for `amount` millimetres between
// its lines through the scan's landmarks. The layer depends on the amount alone (for one scan),
// whatever it held before.
void build_layer(const Scan &scan, DesignResults &results, int layer, float amount);

// The layers a moved pad slider rebuilds, in the order it rebuilds them: a metatarsal slider
// moved above 0 first rebuilds layer 5 (the lowering that goes with the metatarsal pads), then
// the slider's own layer is rebuilt for its value.
struct LayerBuild {
    int layer;
    float amount;  // millimetres
};
struct PadSliderBuilds {
    int count = 0;
    LayerBuild builds[2] = {};
};
PadSliderBuilds pad_slider_builds(PadSlider slider, const PadSliderValues &values);

}  // namespace pedaform
