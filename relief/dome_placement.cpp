#include "relief/dome_placement.h"

#include <cmath>

#include "relief/foot_axis.h"

namespace pedaform {

GridPoint stamp_apex_cell(const uint8_t (&stamp)[kPadStampBytes], int32_t stride, double width,
                          double length) {
    const std::optional<StampSize> size = stamp_size(width, length);
    const int columns = size ? size->columns : 0, rows = size ? size->rows : 0;
    int peak = 0;
    double sum_i = 0, sum_j = 0, count = 0;
    for (int j = 0; j < rows && stride > 0; ++j)
        for (int i = 0; i < columns; ++i) {
            const long at = static_cast<long>(j) * stride + i;
            if (at >= kPadStampBytes) break;
            const int v = stamp[at];
            if (v < peak || v == 0) continue;
            if (v > peak) peak = v, sum_i = sum_j = count = 0;
            sum_i += i, sum_j += j, ++count;
        }
    if (count == 0) return stamp_centre_cell(width, length);
    return {static_cast<float>(std::round(sum_i / count)),
            static_cast<float>(std::round(sum_j / count))};
}

GridPoint dome_apex_of_point(GridPoint point, GridPoint apex_cell, double width, double length) {
    const GridPoint origin = stamp_origin(point, width, length);
    return {origin.column + apex_cell.column, origin.row + apex_cell.row};
}

GridPoint point_of_dome_apex(GridPoint apex, GridPoint apex_cell, double width, double length) {
    const GridPoint zero = stamp_origin({0, 0}, width, length);
    return {std::round(apex.column) - apex_cell.column - zero.column,
            std::round(apex.row) - apex_cell.row - zero.row};
}

namespace {

// The heel-ward normal of the heads' line rounded to floats, in which the dome's placement is
// worked out; zero when the heads coincide.
GridPoint heel_ward(const Scan &scan) {
    const std::optional<GridDirection> n =
        heel_ward_normal(scan, scan.landmarks[0], scan.landmarks[1]);
    if (!n) return {0, 0};
    return {static_cast<float>(n->column), static_cast<float>(n->row)};
}

}  // namespace

double mm_behind_heads(const Scan &scan, GridPoint p) {
    const GridPoint n = heel_ward(scan);
    const Landmark &a = scan.landmarks[0];
    // One cell is one millimetre.
    return n.column * (p.column - a.column) + n.row * (p.row - a.row);
}

GridPoint dome_apex_behind_heads(const Scan &scan, double mm) {
    const Landmark first = first_metatarsal_head(scan), fifth = fifth_metatarsal_head(scan);
    const GridPoint n = heel_ward(scan);
    const double column = first.column + kDomeAlongHeads * (fifth.column - first.column);
    const double row = first.row + kDomeAlongHeads * (fifth.row - first.row);
    return {static_cast<float>(std::round(column + mm * n.column)),
            static_cast<float>(std::round(row + mm * n.row))};
}

}  // namespace pedaform
