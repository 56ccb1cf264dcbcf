#include "relief/template_placement.h"

#include <cstring>

namespace pedaform {

PlacedTemplate::PlacedTemplate(const uint8_t *grid, int32_t mirrored, int32_t row_offset)
    : grid_(mirrored == 0 || mirrored == 1 ? grid : nullptr),
      mirrored_(mirrored == 1),
      row_offset_(row_offset) {}

PlacedTemplate::PlacedTemplate(const Resources &resources, const Scan &scan,
                               const DesignResults &results)
    : PlacedTemplate(results.template_index && *results.template_index >= 0 &&
                             *results.template_index < kTemplateCount
                         ? resources.templates[*results.template_index]
                         : nullptr,
                     scan.template_mirrored, results.template_row_offset) {}

bool PlacedTemplate::row_under(int row, uint8_t (&out)[kGridWidth]) const {
    const std::optional<int> first = cell_under(0, row);
    if (!first) return false;
    const int start = *first - (mirrored_ ? kGridWidth - 1 : 0);
    const uint8_t *from = grid_ + start;
    if (!mirrored_) {
        std::memcpy(out, from, kGridWidth);
        return true;
    }
    for (int x = 0; x < kGridWidth; ++x)
        out[x] = from[kGridWidth - 1 - x];
    return true;
}

bool insole_cell(const Scan &scan, const PlacedTemplate &placed, int column, int row) {
    if (column < 0 || column >= kGridWidth || row < 0 || row >= kGridHeight) return false;
    return scan.base_grid[row * kGridWidth + column] != 0 || placed.height_under(column, row) != 0;
}

GridPoint nearest_insole_cell(const Scan &scan, const PlacedTemplate &placed, GridPoint p) {
    const int to_x = static_cast<int>(p.column), to_y = static_cast<int>(p.row);
    int x = to_x, y = to_y;
    if (!insole_cell(scan, placed, x, y)) {
        long nearest = -1;  // squared distance
        for (int cy = 0; cy < kGridHeight; ++cy)
            for (int cx = 0; cx < kGridWidth; ++cx) {
                const long d = long{cx - to_x} * (cx - to_x) + long{cy - to_y} * (cy - to_y);
                if ((nearest < 0 || d < nearest) && insole_cell(scan, placed, cx, cy))
                    nearest = d, x = cx, y = cy;
            }
    }
    return {static_cast<float>(x), static_cast<float>(y)};
}

int32_t row_offset_to_heel(const uint8_t *template_grid, const Scan &scan) {
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (template_grid[y * kGridWidth + x] != 0) return scan.outline_bottom_row - y;
    return 0;
}

}  // namespace pedaform
