#include "order/insole_render.h"

#include <algorithm>
#include <cmath>

namespace pedaform {

namespace {

Direction unit(Direction d) {
    const double n = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(n > 0)) return {0, 0, 1};
    return {d.x / n, d.y / n, d.z / n};
}

uint8_t shade(const Direction &normal, const Direction &light) {
    const double lambert = normal.x * light.x + normal.y * light.y + normal.z * light.z;
    const double v = 255.0 * (kAmbient + kDiffuse * std::max(0.0, lambert));
    return static_cast<uint8_t>(std::lround(std::min(v, 255.0)));
}

// The height of cell (x, y) in mm; off the insole or beyond the grid, the height of (x0, y0).
double height_mm(const uint8_t *heights, int x, int y, int x0, int y0) {
    if (x < 0 || x >= kGridWidth || y < 0 || y >= kGridHeight || heights[y * kGridWidth + x] == 0)
        x = x0, y = y0;
    return heights[y * kGridWidth + x] * kMmPerGreyLevel;
}

}  // namespace

std::vector<Direction> surface_normals(const uint8_t *heights) {
    std::vector<Direction> own(kGridCells);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            // Central differences over 2 mm.
            const double dx =
                (height_mm(heights, x + 1, y, x, y) - height_mm(heights, x - 1, y, x, y)) / 2;
            const double dy =
                (height_mm(heights, x, y + 1, x, y) - height_mm(heights, x, y - 1, x, y)) / 2;
            own[y * kGridWidth + x] = unit({-dx, -dy, 1});
        }
    std::vector<Direction> averaged(kGridCells);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            Direction sum{0, 0, 0};
            for (int j = std::max(0, y - kNormalReach);
                 j <= std::min(kGridHeight - 1, y + kNormalReach); ++j)
                for (int i = std::max(0, x - kNormalReach);
                     i <= std::min(kGridWidth - 1, x + kNormalReach); ++i) {
                    // Cells off the insole stay out of the insole's normals.
                    if (heights[j * kGridWidth + i] == 0 && heights[y * kGridWidth + x] != 0)
                        continue;
                    const Direction &n = own[j * kGridWidth + i];
                    sum.x += n.x, sum.y += n.y, sum.z += n.z;
                }
            averaged[y * kGridWidth + x] = unit(sum);
        }
    return averaged;
}

LitPicture render_from_above(const uint8_t *heights, Direction light) {
    const Direction l = unit(light);
    const std::vector<Direction> normals = surface_normals(heights);
    LitPicture p;
    p.width = kGridWidth;
    p.height = kGridHeight;
    p.grey.assign(kGridCells, kBackgroundGrey);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            const int i = y * kGridWidth + x;
            if (heights[i] != 0)
                p.grey[(kGridHeight - 1 - y) * kGridWidth + x] = shade(normals[i], l);
        }
    return p;
}

LitPicture render_from_side(const uint8_t *heights, bool from_high_columns, Direction light,
                            int pixels_per_mm) {
    int first_row = kGridHeight, last_row = -1, top = 0;
    for (int i = 0; i < kGridCells; ++i)
        if (heights[i] != 0) {
            first_row = std::min(first_row, i / kGridWidth);
            last_row = std::max(last_row, i / kGridWidth);
            top = std::max<int>(top, heights[i]);
        }
    LitPicture p;
    if (last_row < 0 || pixels_per_mm < 1) return p;
    const Direction l = unit(light);
    const std::vector<Direction> normals = surface_normals(heights);
    p.width = (last_row - first_row + 1) * pixels_per_mm;
    p.height = static_cast<int>(std::ceil(top * kMmPerGreyLevel * pixels_per_mm)) + 1;
    p.grey.assign(static_cast<size_t>(p.width) * p.height, kBackgroundGrey);
    for (int y = first_row; y <= last_row; ++y) {
        const int left =
            from_high_columns ? (y - first_row) * pixels_per_mm : (last_row - y) * pixels_per_mm;
        int seen = 0;  // pixel rows from the bottom already covered by nearer cells
        for (int k = 0; k < kGridWidth; ++k) {
            const int x = from_high_columns ? kGridWidth - 1 - k : k;
            const int i = y * kGridWidth + x;
            // Pixel rows whose centre lies at or below the cell's surface.
            const int reach =
                static_cast<int>(std::floor(heights[i] * kMmPerGreyLevel * pixels_per_mm + 0.5));
            if (heights[i] == 0 || reach <= seen) continue;
            const uint8_t g = shade(normals[i], l);
            for (int v = seen; v < reach; ++v)
                for (int u = left; u < left + pixels_per_mm; ++u)
                    p.grey[static_cast<size_t>(p.height - 1 - v) * p.width + u] = g;
            seen = reach;
        }
    }
    return p;
}

}  // namespace pedaform
