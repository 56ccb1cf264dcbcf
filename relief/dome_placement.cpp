#include "relief/dome_placement.h"

#include <algorithm>
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

// The point kDomeAlongHeads of the way from the first head to the fifth.
GridDirection along_heads(const Scan &scan) {
    const Landmark first = first_metatarsal_head(scan), fifth = fifth_metatarsal_head(scan);
    return {first.column + kDomeAlongHeads * (fifth.column - first.column),
            first.row + kDomeAlongHeads * (fifth.row - first.row)};
}

}  // namespace

double mm_behind_heads(const Scan &scan, GridPoint p) {
    const GridPoint n = heel_ward(scan);
    const Landmark &a = scan.landmarks[0];
    // One cell is one millimetre.
    return n.column * (p.column - a.column) + n.row * (p.row - a.row);
}

GridPoint dome_apex_behind_heads(const Scan &scan, double mm) {
    const GridPoint n = heel_ward(scan);
    const GridDirection at = along_heads(scan);
    return {static_cast<float>(std::round(at.column + mm * n.column)),
            static_cast<float>(std::round(at.row + mm * n.row))};
}

std::optional<GridPoint> forefoot_peak(const Scan &scan) {
    const Landmark &a = scan.landmarks[0], &b = scan.landmarks[1];
    const int low =
        std::max(0, static_cast<int>(std::ceil(std::min(a.row, b.row) - kForefootBandMm)));
    const int high = std::min(
        kGridHeight - 1, static_cast<int>(std::floor(std::max(a.row, b.row) + kForefootBandMm)));
    const int left = std::max(0, static_cast<int>(std::ceil(std::min(a.column, b.column))));
    const int right =
        std::min(kGridWidth - 1, static_cast<int>(std::floor(std::max(a.column, b.column))));
    int peak = 0;
    double sum_x = 0, sum_y = 0, count = 0;
    for (int y = low; y <= high; ++y)
        for (int x = left; x <= right; ++x) {
            const int v = scan.pressure_grid[y * kGridWidth + x];
            if (v == 0 || v < peak) continue;
            if (v > peak) peak = v, sum_x = sum_y = count = 0;
            sum_x += x, sum_y += y, ++count;
        }
    if (count == 0) return std::nullopt;
    return GridPoint{static_cast<float>(sum_x / count), static_cast<float>(sum_y / count)};
}

double dome_distal_reach(const uint8_t (&stamp)[kPadStampBytes], int32_t stride, double width,
                         double length, GridPoint apex_cell, GridDirection toe_ward) {
    const std::optional<StampSize> size = stamp_size(width, length);
    if (!size || stride <= 0) return 0;
    int top = 0;
    for (int j = 0; j < size->rows; ++j)
        for (int i = 0; i < size->columns; ++i) {
            const long at = static_cast<long>(j) * stride + i;
            if (at < kPadStampBytes) top = std::max(top, static_cast<int>(stamp[at]));
        }
    double reach = 0;
    for (int j = 0; j < size->rows; ++j)
        for (int i = 0; i < size->columns; ++i) {
            const long at = static_cast<long>(j) * stride + i;
            if (top == 0 || at >= kPadStampBytes || stamp[at] < kDomeEdgeShare * top) continue;
            reach = std::max(reach, (i - apex_cell.column) * toe_ward.column +
                                        (j - apex_cell.row) * toe_ward.row);
        }
    return reach;
}

GridPoint dome_apex_behind_peak(const Scan &scan, GridPoint peak, double reach, double mm) {
    const FootAxis axis = foot_axis(scan);
    if (!axis.toe_ward) return dome_apex_behind_heads(scan, mm);
    const GridDirection t = *axis.toe_ward, at = along_heads(scan);
    const double ahead = (peak.column - at.column) * t.column + (peak.row - at.row) * t.row;
    const double move = ahead - mm - reach;
    return {static_cast<float>(std::round(at.column + move * t.column)),
            static_cast<float>(std::round(at.row + move * t.row))};
}

}  // namespace pedaform
