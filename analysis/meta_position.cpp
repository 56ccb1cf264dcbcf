#include "analysis/meta_position.h"

#include <cmath>
#include <optional>

#include "core/console.h"

namespace pedaform {

namespace {

void mark_missing(Scan &scan, const char *why) {
    scan.meta_point_found = 0;
    console_printf("Meta Position not found: %s\n", why);
}

}  // namespace

namespace {

// L1: the widest points of the outline (strict tests, so the lowest row wins a tie), and the
// lowest and highest rows with an outline cell.
struct Widest {
    std::optional<GridPoint> p1, p2;
    int lowest_row = -1, highest_row = -1;
};

Widest widest_points(const uint8_t *base) {
    Widest w;
    int smallest = kGridWidth, largest = 0;
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            if (base[y * kGridWidth + x] < kFootThreshold) continue;
            if (w.lowest_row < 0) w.lowest_row = y;
            w.highest_row = y;
            if (x < smallest) {
                smallest = x;
                w.p1 = GridPoint{static_cast<float>(x), static_cast<float>(y)};
            }
            if (x > largest) {
                largest = x;
                w.p2 = GridPoint{static_cast<float>(x), static_cast<float>(y)};
            }
        }
    return w;
}

// The first (or last) outline cell of row y; none in a row without one.
std::optional<GridPoint> row_end(const uint8_t *base, int y, bool rightmost) {
    std::optional<GridPoint> q;
    for (int x = 0; x < kGridWidth; ++x) {
        if (base[y * kGridWidth + x] < kFootThreshold) continue;
        q = GridPoint{static_cast<float>(x), static_cast<float>(y)};
        if (!rightmost) break;
    }
    return q;
}

}  // namespace

void find_meta_position(Scan &scan) {
    const uint8_t *base = scan.base_grid;
    const Widest w = widest_points(base);
    if (!w.p1) return mark_missing(scan, "no outline cell of 10 or more");
    if (!w.p2) return mark_missing(scan, "every outline cell lies in column 0");
    const GridPoint p1 = *w.p1, p2 = *w.p2;

    // Side choice: 1 when the outline lies nearer the left edge or in the middle.
    const float left_margin = p1.column;
    const float right_margin = 149.0f - p2.column;
    const int side = left_margin > right_margin ? 2 : 1;

    // L2 along that side, lowest row to highest row.
    const GridPoint q1 = *row_end(base, w.lowest_row, side == 2);
    std::optional<GridPoint> far;
    // On the left side a cell of row 0 never becomes the far point.
    if (side == 2 || w.highest_row != 0) far = row_end(base, w.highest_row, side == 2);
    if (!far) return mark_missing(scan, "every outline cell lies in row 0");
    const GridPoint q2 = *far;

    // Crossing of the two infinite lines, in double precision.
    const double x1 = p1.column, y1 = p1.row, x2 = p2.column, y2 = p2.row;
    const double s1 = q1.column, t1 = q1.row, s2 = q2.column, t2 = q2.row;
    console_printf("L1 p1 %0.2f %0.2f  p2 %0.2f %0.2f\n", x1, y1, x2, y2);
    console_printf("L2 p1 %0.2f %0.2f  p2 %0.2f %0.2f\n", s1, t1, s2, t2);
    const double d = (x1 - x2) * (t1 - t2) - (y1 - y2) * (s1 - s2);
    if (d == 0.0) return mark_missing(scan, "the two lines are parallel or a line has no length");
    const double a = x1 * y2 - y1 * x2;
    const double b = s1 * t2 - t1 * s2;
    const float column = static_cast<float>((a * (s1 - s2) - (x1 - x2) * b) / d);
    const float row = static_cast<float>((a * (t1 - t2) - (y1 - y2) * b) / d);
    if (!std::isfinite(column) || !std::isfinite(row))
        return mark_missing(scan, "the crossing lies at infinity");
    scan.meta_column = column;
    scan.meta_row = row;
    scan.meta_point_found = 1;
    console_printf("Meta Position %0.2f %0.2f\n", scan.meta_column, scan.meta_row);
}

}  // namespace pedaform
