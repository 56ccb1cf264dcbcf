#include "relief/dome_placement.h"

#include <cmath>

namespace pedaform {

GridPoint stamp_apex_cell(const uint8_t (&stamp)[kPadStampBytes], int32_t stride, double width,
                          double length) {
    const int columns = static_cast<int>(width + 2 * kStampMargin);
    const int rows = static_cast<int>(length + 2 * kStampMargin);
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
    if (count == 0)
        return {static_cast<float>(std::floor(width / 2) + kStampMargin),
                static_cast<float>(std::floor(length / 2) + kStampMargin)};
    return {static_cast<float>(std::round(sum_i / count)),
            static_cast<float>(std::round(sum_j / count))};
}

// The stamp's bottom-left cell for a point, as the composition places it.
static GridPoint stamp_origin(GridPoint point, double width, double length) {
    const int stamp_width = static_cast<int>(width + 2 * kStampMargin);
    return {
        static_cast<float>(static_cast<int>(point.column) - stamp_width / 2),
        static_cast<float>(static_cast<int>(point.row) - static_cast<int>(length + kStampMargin))};
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

Landmark first_metatarsal_head(const Scan &scan) {
    return scan.landmarks[scan.template_mirrored == 1 ? 0 : 1];
}

Landmark fifth_metatarsal_head(const Scan &scan) {
    return scan.landmarks[scan.template_mirrored == 1 ? 1 : 0];
}

int medial_column_direction(const Scan &scan) {
    return scan.template_mirrored == 1 ? -1 : 1;
}

namespace {

// The unit normal of the heads' line pointing to the heel (landmark 3's side), as (column,
// row); zero when the heads coincide.
GridPoint heel_ward(const Scan &scan) {
    const Landmark &a = scan.landmarks[0], &b = scan.landmarks[1], &heel = scan.landmarks[3];
    const double dc = b.column - a.column, dr = b.row - a.row;
    const double n = std::hypot(dc, dr);
    if (!(n > 0)) return {0, 0};
    double nc = -dr / n, nr = dc / n;
    if (nc * (heel.column - a.column) + nr * (heel.row - a.row) < 0) nc = -nc, nr = -nr;
    return {static_cast<float>(nc), static_cast<float>(nr)};
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

bool insole_cell(const Scan &scan, const uint8_t *template_grid, int32_t template_row_offset,
                 int column, int row) {
    if (column < 0 || column >= kGridWidth || row < 0 || row >= kGridHeight) return false;
    if (scan.base_grid[row * kGridWidth + column] != 0) return true;
    if (template_grid == nullptr) return false;
    const int template_row = row - template_row_offset;
    if (template_row < 0 || template_row >= kGridHeight) return false;
    const int template_column = scan.template_mirrored == 1 ? kGridWidth - 1 - column : column;
    return template_grid[template_row * kGridWidth + template_column] != 0;
}

GridPoint nearest_insole_cell(const Scan &scan, const uint8_t *template_grid,
                              int32_t template_row_offset, GridPoint p) {
    const int to_x = static_cast<int>(p.column), to_y = static_cast<int>(p.row);
    int x = to_x, y = to_y;
    if (!insole_cell(scan, template_grid, template_row_offset, x, y)) {
        long nearest = -1;  // squared distance
        for (int cy = 0; cy < kGridHeight; ++cy)
            for (int cx = 0; cx < kGridWidth; ++cx) {
                const long d = long{cx - to_x} * (cx - to_x) + long{cy - to_y} * (cy - to_y);
                if ((nearest < 0 || d < nearest) &&
                    insole_cell(scan, template_grid, template_row_offset, cx, cy))
                    nearest = d, x = cx, y = cy;
            }
    }
    return {static_cast<float>(x), static_cast<float>(y)};
}

}  // namespace pedaform
