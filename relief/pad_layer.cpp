#include "relief/pad_layer.h"

#include <cmath>
#include <cstring>

#include "relief/foot_span.h"
#include "core/console.h"

namespace pedaform {

namespace {

// Sign rule of the ramp: +1 above 0, otherwise -1 (so sign(0) = -1).
inline int sign(float v) {
    return v > 0.0f ? 1 : -1;
}

}  // namespace

void build_pad_layer(const Scan &scan, float (&layer)[kGridCells], float amount,
                     Landmark line_point_1, Landmark line_point_2, Landmark anchor) {
    float *out = layer;
    if (amount == 0.0f) {
        std::memset(out, 0, sizeof layer);
        return;
    }
    const float h = static_cast<float>(amount / kMmPerGreyLevel);

    // The line L: r - k c + e = 0 through both points; a vertical line gets a steep slope.
    const float r1 = line_point_1.row, c1 = line_point_1.column;
    const float r2 = line_point_2.row, c2 = line_point_2.column;
    const float dc = c1 - c2;
    const float k = dc != 0.0f ? (r1 - r2) / dc : static_cast<float>((r1 - r2) / 0.01);
    const float e = k * c1 - r1;
    const float n = std::sqrt(1.0f + k * k);
    const float k2 = k * k;
    const float one_k2 = 1.0f + k2;

    // The anchor's foot on L, its distance and side.
    const float rp = anchor.row, cp = anchor.column;
    const float fr = std::trunc((k2 * rp + k * cp - e) / one_k2);
    const float fc = std::trunc((cp + k * rp + k * e) / one_k2);
    const float dp = std::fabs(rp - k * cp + e) / n;
    const int s_r = sign(rp - fr), s_c = sign(cp - fc);
    const int t_r = sign(fr - rp), t_c = sign(fc - cp);
    const float e2 = k * cp - rp;  // L' through the anchor, parallel to L

    console_printf("p3 %d %d \n", static_cast<int>(rp), static_cast<int>(cp));
    // An anchor on L gives the ramp no length to rise over: the layer holds no pad.
    if (!(dp > 0.0f) || !std::isfinite(dp)) {
        std::memset(out, 0, sizeof layer);
        return;
    }

    const float ke = k * e, ke2 = k * e2;
    const bool s_r_up = s_r > 0, s_c_up = s_c > 0, t_r_up = t_r > 0, t_c_up = t_c > 0;
    for (int y = 0; y < kGridHeight; ++y) {
        const float fy = static_cast<float>(y);
        const uint8_t *base = scan.base_grid + y * kGridWidth;
        float *row = out + y * kGridWidth;
        // Only foot cells are written: run over the row's span of non-zero base cells.
        const RowSpan span = foot_span(base);
        // Branch-free body with bitwise tests, so that the compiler processes several cells at
        // once; every quantity is still evaluated per cell exactly as the ramp defines it.
        for (int x = span.first; x <= span.last; ++x) {
            const float fx = static_cast<float>(x);
            const float g_r = (k2 * fy + k * fx - e) / one_k2;
            const float g_c = (fx + k * fy + ke) / one_k2;
            const float g2_r = (k2 * fy + k * fx - e2) / one_k2;
            const float g2_c = (fx + k * fy + ke2) / one_k2;
            const float dq = std::fabs(fy - k * fx + e) / n;
            const bool same_side =
                ((fy - g_r > 0.0f) == s_r_up) & ((fx - g_c > 0.0f) == s_c_up) & (base[x] != 0);
            const bool between = ((fy - g2_r > 0.0f) == t_r_up) & ((fx - g2_c > 0.0f) == t_c_up);
            const float value = between ? dq * h / dp : h;
            row[x] = same_side ? value : row[x];
        }
    }
}

}  // namespace pedaform
