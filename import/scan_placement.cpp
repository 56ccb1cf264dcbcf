#include "import/scan_placement.h"

#include <algorithm>
#include <cmath>

#include "analysis/size_bin.h"
#include "import/binary_morphology.h"

namespace pedaform {

namespace {

constexpr int kTopRow = kGridHeight - 1;  // the metadata scanline

std::vector<uint8_t> outline_of(const FootRaster &r) {
    const MaskGrid g{r.w, r.h, 1, 1};
    std::vector<uint8_t> closed = r.contact, outline(closed.size());
    close_disc(g, closed.data(), kOutlineCloseMm);
    dilate_disc(g, closed.data(), kOutlineMarginMm, outline.data());
    return outline;
}

struct Extent {
    int x0, x1, y0, y1;
};

Extent extent_of(const std::vector<uint8_t> &mask, int w, int h) {
    Extent e{w, -1, h, -1};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (mask[static_cast<size_t>(y) * w + x])
                e.x0 = std::min(e.x0, x), e.x1 = std::max(e.x1, x), e.y0 = std::min(e.y0, y),
                e.y1 = y;
    return e;
}

// The column shift that keeps the outline on the grid and lets its margins read as `side`
// (a left foot: left margin smaller than the right one).
int column_shift(const Extent &e, int shift, FootSide side) {
    shift = std::clamp(shift, -e.x0, kGridWidth - 1 - e.x1);
    const int left = e.x0 + shift, right = kGridWidth - 1 - (e.x1 + shift);
    if (side == FootSide::kLeft && left >= right) shift -= (left - right) / 2 + 1;
    if (side == FootSide::kRight && left < right) shift += (right - left + 1) / 2;
    return std::clamp(shift, -e.x0, kGridWidth - 1 - e.x1);
}

void write_metadata(uint8_t *pixels, const PlacedScan &s, double arch_index, int kpa_at_255) {
    uint8_t *top = pixels + static_cast<size_t>(kTopRow) * kGridWidth * 4;
    for (int k = 0; k < 5; ++k) {
        const int n = kTopRow - static_cast<int>(s.landmarks[k].row);
        top[k * 4 + 0] = static_cast<uint8_t>(n / 256);
        top[k * 4 + 1] = static_cast<uint8_t>(n % 256);
        top[k * 4 + 2] = static_cast<uint8_t>(s.landmarks[k].column);
    }
    top[5 * 4 + 0] = static_cast<uint8_t>(kpa_at_255 / 256);
    top[5 * 4 + 1] = static_cast<uint8_t>(kpa_at_255 % 256);
    top[5 * 4 + 2] = static_cast<uint8_t>(std::clamp(std::lround(arch_index * 100), 0L, 255L));
}

}  // namespace

double placement_turn_degrees(const FootMeasures &m, FootSide side) {
    if (m.fore_y == m.heel_y) return 0;
    const double lean = std::atan2(m.fore_x - m.heel_x, m.fore_y - m.heel_y) * 180 / M_PI;
    return lean - (side == FootSide::kLeft ? kForefootLeanDegrees : -kForefootLeanDegrees);
}

Result<PlacedScan> place_foot(const FootRaster &r, const FootMeasures &m, FootSide side,
                              double units_at_255, int kpa_at_255) {
    const std::vector<uint8_t> outline = outline_of(r);
    const Extent e = extent_of(outline, r.w, r.h);
    PlacedScan s;
    s.outline_length = e.y1 - e.y0 + 1;
    if (s.outline_length > kTopRow || e.x1 - e.x0 + 1 > kGridWidth)
        return Failure{"the foot's outline is " + std::to_string(s.outline_length) + " x " +
                       std::to_string(e.x1 - e.x0 + 1) + " mm; a scan holds 359 x 150"};
    const SizeBin &bin = nearest_size_bin(s.outline_length);
    s.bin_length = bin.length;
    const double heel_middle = bin.heel_column + (bin.heel_width - 1) / 2.0;
    const double target = side == FootSide::kLeft ? heel_middle : kGridWidth - 1 - heel_middle;
    const int dx = column_shift(e, static_cast<int>(std::lround(target - m.landmarks[3].x)), side);
    const int left = e.x0 + dx, right = kGridWidth - 1 - (e.x1 + dx);
    if ((left < right) != (side == FootSide::kLeft))
        return Failure{"the foot's outline is " + std::to_string(e.x1 - e.x0 + 1) +
                       " mm wide: too wide to lie on its side of the scan"};
    const int dy = std::min(bin.heel_row - e.y0, kTopRow - 1 - e.y1);
    s.pixels.assign(static_cast<size_t>(kGridCells) * 4, 0);
    for (int y = e.y0; y <= e.y1; ++y)
        for (int x = e.x0; x <= e.x1; ++x) {
            const size_t k = static_cast<size_t>(y) * r.w + x;
            if (!outline[k]) continue;
            uint8_t *px = &s.pixels[(static_cast<size_t>(y + dy) * kGridWidth + (x + dx)) * 4];
            px[0] = kImportedBase;
            const double share = units_at_255 > 0 ? r.pressure[k] / units_at_255 : 0.0;
            px[3] = static_cast<uint8_t>(std::clamp(std::lround(255 * share), 0L, 255L));
        }
    for (int k = 0; k < 5; ++k)
        s.landmarks[k] = {static_cast<float>(m.landmarks[k].y + dy),
                          static_cast<float>(m.landmarks[k].x + dx)};
    write_metadata(s.pixels.data(), s, m.arch_index, kpa_at_255);
    return s;
}

}  // namespace pedaform
