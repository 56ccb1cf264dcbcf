// The foot's directions, from its landmarks (core/scan.h): the axis from the heel to the
// metatarsal heads, and which way is heel-ward across a line of landmarks. Which landmark is
// the first metatarsal head or the medial heel depends on the side of the foot.
//
// Landmarks: 0 and 1 the metatarsal heads (0 the fifth of a left foot, the first of a right
// one), 2 and 4 the sides of the heel (4 medial on a left foot), 3 the heel's centre. A left
// foot is a scan whose template is not mirrored (template_mirrored 0).
#pragma once

#include <optional>

#include "core/scan.h"

namespace pedaform {

// Which foot a scan is of: a left foot's template is not mirrored.
enum class Foot { kLeft, kRight };
constexpr int kFootCount = 2;
Foot foot_of(const Scan &scan);
const char *foot_name(Foot foot);  // "left" or "right"
inline Foot other_foot(Foot foot) {
    return foot == Foot::kLeft ? Foot::kRight : Foot::kLeft;
}
inline int foot_index(Foot foot) {
    return foot == Foot::kLeft ? 0 : 1;
}

// A direction on the grid in double precision, {column, row}.
struct GridDirection {
    double column = 0;
    double row = 0;
};

Landmark first_metatarsal_head(const Scan &scan);  // medial: landmark 1 of a left foot
Landmark fifth_metatarsal_head(const Scan &scan);  // lateral: landmark 0 of a left foot
Landmark medial_heel(const Scan &scan);            // landmark 4 of a left foot, 2 of a right
// Which way along the columns the medial side lies: +1 toward high columns (a left foot), -1
// toward low columns (a right foot).
int medial_column_direction(const Scan &scan);

// The foot's axis: from the heel's centre (landmark 3) to the midpoint of the metatarsal
// heads (landmarks 0 and 1); `toe_ward` is its unit direction, none when the two points
// coincide.
struct FootAxis {
    GridPoint heel;
    GridPoint heads;
    std::optional<GridDirection> toe_ward;
};
FootAxis foot_axis(const Scan &scan);
FootAxis foot_axis(const Landmark (&landmarks)[5]);
// The axis from `heel` to `heads`.
FootAxis foot_axis_through(GridPoint heel, GridPoint heads);

// A point placed on one foot carried to the other foot of the pair: it keeps its distance along
// the axis as a share of the axis's length (heel centre 0, heads' midpoint 1) and its distance
// across the axis in millimetres, on the other side of the axis. For a foot and its mirror image
// on the grid this is the mirror image of the point. A degenerate axis on either foot (its two
// points coincide) leaves the point where it is.
GridPoint mirrored_to_other_foot(GridPoint point, const FootAxis &from, const FootAxis &to);

// The unit normal of the line through `a` and `b` on the side of the heel's centre (landmark
// 3), computed in double precision; a point p lies n . (p - a) heel-ward of the line (one cell
// is one millimetre). None when `a` and `b` coincide. A heel centre on the line gives the
// normal (-(b - a).row, (b - a).column) / |b - a|.
[[nodiscard]] std::optional<GridDirection> heel_ward_normal(const Scan &scan, Landmark a,
                                                            Landmark b);

}  // namespace pedaform
