#include "relief/foot_axis.h"

#include <cmath>

namespace pedaform {

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
    FootAxis axis;
    axis.heel = {l[3].column, l[3].row};
    axis.heads = {(l[0].column + l[1].column) / 2, (l[0].row + l[1].row) / 2};
    const double dc = axis.heads.column - axis.heel.column, dr = axis.heads.row - axis.heel.row;
    const double n = std::hypot(dc, dr);
    if (n > 0) axis.toe_ward = GridDirection{dc / n, dr / n};
    return axis;
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
