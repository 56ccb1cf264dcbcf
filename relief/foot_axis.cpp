#include "relief/foot_axis.h"

#include <cmath>

namespace pedaform {

Foot foot_of(const Scan &scan) {
    return scan.template_mirrored == 1 ? Foot::kRight : Foot::kLeft;
}

const char *foot_name(Foot foot) {
    return foot == Foot::kRight ? "right" : "left";
}

Landmark first_metatarsal_head(const Scan &scan) {
    return scan.landmarks[scan.template_mirrored == 1 ? 0 : 1];
}

Landmark fifth_metatarsal_head(const Scan &scan) {
    return scan.landmarks[scan.template_mirrored == 1 ? 1 : 0];
}

Landmark medial_heel(const Scan &scan) {
    return scan.landmarks[scan.template_mirrored == 1 ? 2 : 4];
}

int medial_column_direction(const Scan &scan) {
    return scan.template_mirrored == 1 ? -1 : 1;
}

FootAxis foot_axis(const Scan &scan) {
    return foot_axis(scan.landmarks);
}

FootAxis foot_axis(const Landmark (&l)[5]) {
    return foot_axis_through({l[3].column, l[3].row},
                             {(l[0].column + l[1].column) / 2, (l[0].row + l[1].row) / 2});
}

FootAxis foot_axis_through(GridPoint heel, GridPoint heads) {
    FootAxis axis;
    axis.heel = heel;
    axis.heads = heads;
    const double dc = axis.heads.column - axis.heel.column, dr = axis.heads.row - axis.heel.row;
    const double n = std::hypot(dc, dr);
    if (n > 0) axis.toe_ward = GridDirection{dc / n, dr / n};
    return axis;
}

GridPoint mirrored_to_other_foot(GridPoint point, const FootAxis &from, const FootAxis &to) {
    if (!from.toe_ward || !to.toe_ward) return point;
    const double from_length =
        std::hypot(from.heads.column - from.heel.column, from.heads.row - from.heel.row);
    const double to_length =
        std::hypot(to.heads.column - to.heel.column, to.heads.row - to.heel.row);
    const GridDirection t = *from.toe_ward, u = *to.toe_ward;
    const double dc = point.column - from.heel.column, dr = point.row - from.heel.row;
    // Across: the left-hand normal (-t.row, t.column) of each axis.
    const double along = (dc * t.column + dr * t.row) / from_length;
    const double across = dc * -t.row + dr * t.column;
    const double column = to.heel.column + along * to_length * u.column - across * -u.row;
    const double row = to.heel.row + along * to_length * u.row - across * u.column;
    return {static_cast<float>(column), static_cast<float>(row)};
}

std::optional<GridDirection> heel_ward_normal(const Scan &scan, Landmark a, Landmark b) {
    const Landmark &heel = scan.landmarks[3];
    const double dc = b.column - a.column, dr = b.row - a.row;
    const double n = std::hypot(dc, dr);
    if (!(n > 0)) return std::nullopt;
    double nc = -dr / n, nr = dc / n;
    if (nc * (heel.column - a.column) + nr * (heel.row - a.row) < 0) nc = -nc, nr = -nr;
    return GridDirection{nc, nr};
}

}  // namespace pedaform
