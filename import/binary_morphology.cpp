#include "import/binary_morphology.h"

#include <algorithm>
#include <cmath>

namespace pedaform {

namespace {

// Per row of the disc, from -reach to reach, the half width in columns.
std::vector<int> disc_half_widths(const MaskGrid &g, double radius, int &reach) {
    reach = static_cast<int>(std::floor(radius / g.row_pitch + 1e-9));
    std::vector<int> half(2 * reach + 1);
    for (int dr = -reach; dr <= reach; ++dr) {
        const double d = dr * g.row_pitch;
        half[dr + reach] = static_cast<int>(
            std::floor(std::sqrt(std::max(0.0, radius * radius - d * d)) / g.col_pitch + 1e-9));
    }
    return half;
}

// Per row, the running count of set cells: prefix[r * (w + 1) + c] = cells set in 0..c-1.
std::vector<int> row_prefix(const MaskGrid &g, const uint8_t *in) {
    std::vector<int> prefix(static_cast<size_t>(g.h) * (g.w + 1));
    for (int r = 0; r < g.h; ++r) {
        int *p = &prefix[static_cast<size_t>(r) * (g.w + 1)];
        for (int c = 0; c < g.w; ++c)
            p[c + 1] = p[c] + (in[static_cast<size_t>(r) * g.w + c] != 0);
    }
    return prefix;
}

}  // namespace

void dilate_disc(const MaskGrid &g, const uint8_t *in, double radius, uint8_t *out) {
    int reach = 0;
    const std::vector<int> half = disc_half_widths(g, radius, reach);
    const std::vector<int> prefix = row_prefix(g, in);
    for (int r = 0; r < g.h; ++r)
        for (int c = 0; c < g.w; ++c) {
            uint8_t hit = 0;
            for (int dr = -reach; dr <= reach && !hit; ++dr) {
                const int rr = r + dr;
                if (rr < 0 || rr >= g.h) continue;
                const int lo = std::max(0, c - half[dr + reach]);
                const int hi = std::min(g.w - 1, c + half[dr + reach]);
                const int *p = &prefix[static_cast<size_t>(rr) * (g.w + 1)];
                hit = p[hi + 1] - p[lo] > 0;
            }
            out[static_cast<size_t>(r) * g.w + c] = hit;
        }
}

void erode_disc(const MaskGrid &g, const uint8_t *in, double radius, uint8_t *out) {
    int reach = 0;
    const std::vector<int> half = disc_half_widths(g, radius, reach);
    const std::vector<int> prefix = row_prefix(g, in);
    for (int r = 0; r < g.h; ++r)
        for (int c = 0; c < g.w; ++c) {
            uint8_t whole = 1;
            for (int dr = -reach; dr <= reach && whole; ++dr) {
                const int rr = r + dr, lo = c - half[dr + reach], hi = c + half[dr + reach];
                if (rr < 0 || rr >= g.h || lo < 0 || hi >= g.w) {
                    whole = 0;
                    break;
                }
                const int *p = &prefix[static_cast<size_t>(rr) * (g.w + 1)];
                whole = p[hi + 1] - p[lo] == hi - lo + 1;
            }
            out[static_cast<size_t>(r) * g.w + c] = whole;
        }
}

void close_disc(const MaskGrid &g, uint8_t *mask, double radius) {
    std::vector<uint8_t> grown(static_cast<size_t>(g.w) * g.h);
    dilate_disc(g, mask, radius, grown.data());
    erode_disc(g, grown.data(), radius, mask);
}

}  // namespace pedaform
