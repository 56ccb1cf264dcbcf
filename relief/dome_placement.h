// Where the stamped metatarsal dome goes. The stamp hangs from the metatarsal point (its row
// L + 10 on the point's row, its middle column on the point's column); the operator places
// the dome's apex, the stamp's highest cell, and the point follows. A metatarsal pad offloads
// the heads when its distal edge lies a few millimetres proximal to them (about 6 to 11 mm):
// "依蹠骨頭放置" puts that edge a set distance behind the forefoot's pressure peak, under the
// central heads, which lie further forward than the line through the first and the fifth.
#pragma once

#include <cstdint>
#include <optional>

#include "core/scan.h"
#include "core/grid.h"
#include "relief/foot_axis.h"
#include "relief/stamp_geometry.h"

namespace pedaform {

// Millimetres behind the forefoot's pressure peak that "依蹠骨頭放置" puts the dome's distal
// edge by default.
constexpr double kDomeBehindHeadsMm = 8.0;
// The furthest behind the peak a dome step may put the dome's distal edge (mm).
constexpr double kDomeBehindHeadsMaxMm = 30.0;
// The dome's distal edge: where its rise falls below this share of the apex's.
constexpr double kDomeEdgeShare = 0.1;
// The forefoot's pressure peak is looked for this far each way beyond the rows of the heads.
constexpr double kForefootBandMm = 15.0;
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

// The forefoot's pressure peak: the highest cell of the scan's pressure grid in the band of
// rows from kForefootBandMm below the lower of the heads' landmarks (0 and 1) to as far above
// the higher, between the heads' columns (both included); the middle of the cells that hold the
// highest value when several do. None when the band holds no pressure.
[[nodiscard]] std::optional<GridPoint> forefoot_peak(const Scan &scan);

// How far the dome reaches toe-ward of its apex along `toe_ward` (unit), mm: the largest
// (cell - apex cell) . toe_ward over the stamp's cells (stamp_apex_cell's frame) holding
// kDomeEdgeShare of its highest byte or more; 0 for a stamp of zeros. Beyond it the dome's
// rise is below that share of the apex's.
double dome_distal_reach(const uint8_t (&stamp)[kPadStampBytes], int32_t stride, double width,
                         double length, GridPoint apex_cell, GridDirection toe_ward);

// The apex cell that puts the dome's distal edge, `reach` toe-ward of the apex, `mm` behind
// `peak` along the foot's axis (foot_axis.h): on the line along the axis through the point 40 %
// of the way from the first head to the fifth, rounded to a whole cell. A foot without an axis
// gives dome_apex_behind_heads(scan, mm).
GridPoint dome_apex_behind_peak(const Scan &scan, GridPoint peak, double reach, double mm);

}  // namespace pedaform
