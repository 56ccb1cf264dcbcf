// The posts and the heel lift a lab prescribes: the rearfoot post tilts the heel seat, the
// forefoot post the forefoot, each about the foot's axis (relief/foot_axis.h), and the heel lift
// raises the heel. They cover every insole cell, as the other orthotic layers do. Heights are
// grey levels (amounts x kGreyLevelsPerMm); a post's amount is an angle in degrees.
//
// Along the foot they are placed by two lines through the landmarks: the metatarsal line
// (landmarks 0 and 1, the heads) and the heel seat's line (landmarks 2 and 4, the heel's sides).
// A cell's distance behind the metatarsal line is measured square to that line
// (heel_ward_normal), one cell being one millimetre.
//
// Across the foot a post tilts about the foot's axis: the height grows by tan(angle) per
// millimetre toward the medial side (the first head's side of the axis) for a positive angle, a
// varus post, toward the lateral side for a negative one, a valgus post. The whole tilt is
// lifted so that the low border of the region it tilts stands at 0: across the heel seat the
// height difference is the seat's width x tan(angle), and no cell is lowered.
#pragma once

#include "relief/layers.h"

namespace pedaform {

// The forefoot post falls from its full tilt at the metatarsal line to 0 this far behind it.
constexpr double kForefootPostFallMm = 20.0;

// Writes all of `layer` for a rearfoot post of `degrees` (positive varus): the tilt over the
// heel seat, the low border being the lowest insole cell at or behind the heel seat's line;
// scaled along the foot by the rearfoot share (full at and behind the heel seat's line, falling
// smoothly to 0 at the metatarsal line, 0 ahead of it); never below 0. 0 off the insole and for
// 0 degrees, or when the landmarks give no axis or no lines.
void build_rearfoot_post_layer(const LayerInputs &in, float (&layer)[kGridCells], float degrees);

// Writes all of `layer` for a forefoot post of `degrees`: the tilt over the forefoot, the low
// border being the lowest insole cell at or ahead of the metatarsal line; full from that line
// to the toe end and falling smoothly to 0 kForefootPostFallMm behind it; never below 0.
void build_forefoot_post_layer(const LayerInputs &in, float (&layer)[kGridCells], float degrees);

// Writes all of `layer`: the heel lift, `mm` on every insole cell times the rearfoot share (the
// full amount under the heel, falling smoothly to 0 at the metatarsal line).
void build_heel_lift_layer(const LayerInputs &in, float (&layer)[kGridCells], float mm);

}  // namespace pedaform
