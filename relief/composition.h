// Relief composition: base plus the layers, clamped, plus the stamped metatarsal pad, and the
// preview that the image view shows. Also the builders of the five pad layers and the lowering.
#pragma once

#include "relief/layers.h"

namespace pedaform {

// The state of the stamped-pad controls that composition needs.
struct StampControls {
    bool enabled = false;  // check button "蹠骨垫片"
    double width = 7;      // "蹠骨寬" W
    double length = 17;    // "蹠骨長" L
};

// relief = clamp(base + the foot layers, 10, 255) on foot cells (the scan's base_grid != 0),
// the layers added in the order of kFootLayers, then of kShapedInsoleLayers while any insole
// layer has an amount (layer_amount). Meanwhile insole cells outside the foot where the template
// stands (PlacedTemplate) get clamp(template + the shaped insole layers, 10, 255); other cells
// keep their value. Every cell so composed then rises by uniform_rise (layers.h), saturating at
// 255, and is lowered by the cut layers (the heel-spur recess), never below 10. Then, when the
// stamp is enabled and the results' metatarsal point was found, the rendered stamp is added around
// the point (stamp_geometry.h), saturating at 255. Only foot cells inside the grid receive it;
// stamp cells whose row or column lies outside the grid are dropped; a stamp size that does not fit
// places nothing. Finally fills insole_relief and rebuilds the preview.
void compose_relief(const Resources &resources, const Scan &scan, DesignResults &results,
                    const StampControls &stamp);

// The results' insole_relief from their relief, insole_grid, insole_floor and layers: on an
// insole cell the relief, or where the relief is 0 the floor composed with the insole layers as
// compose_relief composes a template cell; 0 off the insole. The design keeps it with the relief.
// Then ends it as the results' shell_length says (end_shell, relief/shell_length.h).
void fill_insole_relief(const Scan &scan, DesignResults &results);

// relief_preview: cells with base < 10 are 0, 0, 0, 0, but for insole cells while an orthotic
// layer is in use; others get colour_table[preview_colour_index(relief - b)] and a 0 byte, b the
// base (for those insole cells, insole_relief - insole_floor instead).
void update_relief_preview(const Resources &resources, const Scan &scan, DesignResults &results);

// The preview's colour-table entry for a cell `change` grey levels above its base (negative:
// below): clamp(3 * change + 128, 0, 255). Entry 128 is no change; the table's ends stand for
// about -8.5 and +8.5 mm.
inline int preview_colour_index(int change) {
    const int d = 3 * change + 128;
    return d < 0 ? 0 : (d > 255 ? 255 : d);
}

// Layer 5 lowers the forefoot behind the metatarsal pads by 3 x (meta1 + meta2) mm.
float lowering_amount(double meta1, double meta2);

// The pad layers' builders, each between its lines through the scan's landmarks (pad_layer.h),
// one for each foot layer of its name. They write foot cells only.
void build_meta1_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);
void build_meta2_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);
void build_heel1_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);
void build_heel2_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);
void build_heel3_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);
void build_lowering_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);

}  // namespace pedaform
