// The orthotic layers a lab prescribes beyond the pads: an arch support under the medial
// longitudinal arch, a heel cup around the heel, a base thickness under the whole insole, a
// heel-spur recess and a top cover (the posts and the heel lift: relief/posts.h).
// Unlike the pads they cover every insole cell, the template's as well as the foot's: on a
// pressure scan the arch shows no contact, so the foot's cells alone would leave it empty.
// Heights are grey levels (amounts in millimetres x kGreyLevelsPerMm).
#pragma once

#include "relief/layers.h"

namespace pedaform {

// How far the arch support's fall-off reaches across the insole from the medial border, as a
// share of the row's width; and where along the foot its crest is highest, as a share of the
// foot's length from the heel end.
constexpr double kArchReach = 0.7;
constexpr double kArchPeakShare = 0.4;
// The heel cup falls from the rim to 0 over this many millimetres inward, and fades in over
// the same distance heel-ward of the line through landmarks 2 and 4.
constexpr double kHeelCupMm = 15.0;
// The heel cup's medial flange reaches across the row this share of its width from the medial
// border.
constexpr double kFlangeReach = 0.5;

// Writes all of `layer`. The arch support: 0 outside the insole. Along the foot (by rows),
// between the medial heel landmark (2 for a right foot, 4 for a left one) and the first
// metatarsal head, a smooth bump that is 0 at both and full at kArchPeakShare of the foot's
// length from its heel end; across a row, full at the medial border cell and falling smoothly
// to 0 at kArchReach of the way to the lateral border. `amount` 0 gives zeros.
void build_arch_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);

// Writes all of `layer`. The heel cup: on insole cells heel-ward of the line through landmarks
// 2 and 4, the amount at the insole's outline (cells next to a non-insole cell), falling
// smoothly to 0 kHeelCupMm inward; faded in over kHeelCupMm heel-ward of that line, so that
// nothing steps at it. Along the medial border it runs on as a flange up to the arch support's
// crest, its share there 1 minus the arch support's rise along the foot (and falling to 0
// across the row at kFlangeReach of its width), so that the cup's medial rim and the arch
// support blend into one wall: at the medial border the two layers' shares add up to 1 from
// the heel to the crest. 0 elsewhere.
void build_heel_cup_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);

// Writes all of `layer`: the amount on every insole cell, 0 elsewhere.
void build_base_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);

// The heel-spur recess: a round hollow of kHeelRecessRadiusMm around the heel's centre
// (landmark 3), its edge blended over kHeelRecessBlendMm beyond that.
constexpr double kHeelRecessRadiusMm = 12.5;
constexpr double kHeelRecessBlendMm = 5.0;
// Writes all of `layer`: on insole cells, -amount within kHeelRecessRadiusMm of landmark 3,
// rising smoothly to 0 kHeelRecessBlendMm further out; 0 elsewhere. The composition's floor
// (kFootThreshold) bounds how deep it reaches.
void build_heel_recess_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);

// Writes all of `layer`: the top cover, a skin of `amount` over the whole insole, like the base;
// the 3MF prints it as a part of its own (model3d/print_3mf.h).
void build_top_cover_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount);

// 3t^2 - 2t^3 on [0, 1], 0 below and 1 above: the smooth fall-offs' shape.
double smoothstep(double t);

}  // namespace pedaform
