#include "relief/smoothing.h"

#include <cmath>
#include <cstring>

namespace pedaform {

namespace {

constexpr int kRadius = 3;  // 7 x 7 window
constexpr int kCounted = 10;

}  // namespace

void apply_template_floor(Workspace &ws) {
    if (ws.template_index < 0 || ws.template_index >= kTemplateCount) return;
    const uint8_t *t = ws.templates[ws.template_index];
    uint8_t *relief = ws.relief_grid;
    if (ws.template_mirrored == 0) {
        for (int i = 0; i < kGridCells; ++i)
            if (relief[i] < t[i]) relief[i] = t[i];
    } else if (ws.template_mirrored == 1) {
        for (int y = 0; y < kGridHeight; ++y) {
            uint8_t *row = relief + y * kGridWidth;
            const uint8_t *trow = t + y * kGridWidth;
            for (int x = 0; x < kGridWidth; ++x) {
                const uint8_t v = trow[kGridWidth - 1 - x];
                if (row[x] < v) row[x] = v;
            }
        }
    }
}

// The window sums come from running column sums: for each row, the 7-row sums of every
// column (value and count of values >= 10) are updated by one row in and one row out, and the
// 7-column window slides along them. Each result uses the same integers S and N and the same
// float division as a direct 49-cell sum.
void smooth_pass(uint8_t *grid, int round_up) {
    uint8_t snapshot[kGridCells];
    std::memcpy(snapshot, grid, sizeof snapshot);

    int col_sum[kGridWidth] = {};
    int col_count[kGridWidth] = {};
    for (int y = 0; y < 2 * kRadius; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            const uint8_t v = snapshot[y * kGridWidth + x];
            col_sum[x] += v;
            col_count[x] += v >= kCounted;
        }

    for (int y = kRadius; y < kGridHeight - kRadius; ++y) {
        const uint8_t *in = snapshot + (y + kRadius) * kGridWidth;
        for (int x = 0; x < kGridWidth; ++x) {
            col_sum[x] += in[x];
            col_count[x] += in[x] >= kCounted;
        }
        if (y > kRadius) {
            const uint8_t *out = snapshot + (y - kRadius - 1) * kGridWidth;
            for (int x = 0; x < kGridWidth; ++x) {
                col_sum[x] -= out[x];
                col_count[x] -= out[x] >= kCounted;
            }
        }

        int s = 0, n = 0;
        for (int x = 0; x < 2 * kRadius; ++x) {
            s += col_sum[x];
            n += col_count[x];
        }
        const uint8_t *snap_row = snapshot + y * kGridWidth;
        uint8_t *grid_row = grid + y * kGridWidth;
        for (int x = kRadius; x < kGridWidth - kRadius; ++x) {
            s += col_sum[x + kRadius];
            n += col_count[x + kRadius];
            if (snap_row[x] != 0 && n != 0) {
                const float a = static_cast<float>(s) / static_cast<float>(n);
                const float r = round_up ? std::ceil(a) : std::floor(a);
                grid_row[x] = r > 255.0f ? 255 : static_cast<uint8_t>(r);
            }
            s -= col_sum[x - kRadius];
            n -= col_count[x - kRadius];
        }
    }
}

void smooth_relief(Workspace &ws) {
    apply_template_floor(ws);
    smooth_pass(ws.relief_grid, 1);
    smooth_pass(ws.relief_grid, 0);
    apply_template_floor(ws);
}

}  // namespace pedaform
