// Where the stamped metatarsal dome goes. The stamp hangs from the metatarsal point (its row
// L + 10 on the point's row, its middle column on the point's column); the operator places
// the dome's apex, the stamp's highest cell, and the point follows. An orthotist puts the apex
// a few millimetres heel-ward of the metatarsal heads (landmarks 0 and 1), so that the pad
// offloads them.
#pragma once

#include <cstdint>

#include "core/scan.h"
#include "core/grid.h"
#include "relief/stamp_geometry.h"

namespace pedaform {

// Millimetres heel-ward of the heads' line that "依蹠骨頭放置" puts the apex by default.
constexpr double kDomeBehindHeadsMm = 7.0;
// The furthest a dome step may put the apex behind the heads (mm).
constexpr double kDomeBehindHeadsMaxMm = 30.0;
// Where along the heads, from the first metatarsal head (0) to the fifth (1), the apex goes.
constexpr double kDomeAlongHeads = 0.4;
// An outline search whose point lies further than this heel-ward of the heads (mm) missed them.
constexpr double kSearchPointFarMm = 30.0;

// The stamp's highest cell, in stamp cells from its bottom-left corner: the middle of the cells
// that hold the largest byte, rounded to a whole cell. A stamp of zeros (height 0, or no pad
// shape) has no apex; its quad's centre, (W / 2 + 10, L / 2 + 10), stands for it.
GridPoint stamp_apex_cell(const uint8_t (&stamp)[kPadStampBytes], int32_t stride, double width,
                          double length);

// The grid cell the apex lands on for a metatarsal point, and back: the point that puts the apex
// on a cell. Exact inverses for whole cells; both follow the stamp placement of the composition
// (the point's coordinates truncated).
GridPoint dome_apex_of_point(GridPoint point, GridPoint apex_cell, double width, double length);
GridPoint point_of_dome_apex(GridPoint apex, GridPoint apex_cell, double width, double length);

// How far `p` lies heel-ward of the line through landmarks 0 and 1, in millimetres (negative
// toe-ward). The heel side is the side of landmark 3. A scan whose heads coincide gives 0.
double mm_behind_heads(const Scan &scan, GridPoint p);

// The cell `mm` millimetres heel-ward of the heads' line, square to it, from the point 40 % of
// the way from the first head to the fifth, rounded to a whole cell.
GridPoint dome_apex_behind_heads(const Scan &scan, double mm);

}  // namespace pedaform
