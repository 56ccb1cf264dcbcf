#include "relief/smoothing.h"

#include <cmath>
#include <cstring>

#include "relief/layers.h"

namespace pedaform {

namespace {

constexpr int kRadius = 3;  // 7 x 7 window

}  // namespace

void apply_template_floor(const Resources &resources, const Scan &scan, DesignResults &results) {
    const PlacedTemplate placed(resources, scan, results);
    const int rise = uniform_rise(results);
    uint8_t floor[kGridWidth];
    for (int y = 0; y < kGridHeight; ++y) {
        if (!placed.row_under(y, floor)) continue;
        uint8_t *row = results.relief_grid + y * kGridWidth;
        for (int x = 0; x < kGridWidth; ++x) {
            const int raised = floor[x] == 0 ? 0 : floor[x] + rise;
            const uint8_t level = static_cast<uint8_t>(raised > 255 ? 255 : raised);
            row[x] = row[x] < level ? level : row[x];
        }
    }
}

// The window sums come from running column sums: for each row, the 7-row sums of every column
// are updated by one row in and one row out, and each window is the difference of two prefix
// sums along the row. A column sum packs the count of values >= 10 above bit 16 next to the
// sum of values (at most 49 x 255 < 2^16), so one addition keeps both. The average is the same
// float quotient S / N as a direct 49-cell sum gives, rounded the same way; the loop over a row
// has no branches, so the compiler averages several cells at once.
void smooth_pass(uint8_t *grid, int round_up) {
    uint8_t snapshot[kGridCells];
    std::memcpy(snapshot, grid, sizeof snapshot);

    auto packed = [](uint32_t v) { return v + (static_cast<uint32_t>(v >= kFootThreshold) << 16); };
    uint32_t column[kGridWidth] = {};
    for (int y = 0; y < 2 * kRadius; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            column[x] += packed(snapshot[y * kGridWidth + x]);

    uint32_t prefix[kGridWidth + 1];
    const int up = round_up ? 1 : 0;
    for (int y = kRadius; y < kGridHeight - kRadius; ++y) {
        const uint8_t *in = snapshot + (y + kRadius) * kGridWidth;
        for (int x = 0; x < kGridWidth; ++x)
            column[x] += packed(in[x]);
        if (y > kRadius) {
            const uint8_t *out = snapshot + (y - kRadius - 1) * kGridWidth;
            for (int x = 0; x < kGridWidth; ++x)
                column[x] -= packed(out[x]);
        }
        const uint8_t *snap_row = snapshot + y * kGridWidth;
        // Rows without a non-zero cell keep every value.
        int first = kRadius, last = kGridWidth - 1 - kRadius;
        while (first <= last && snap_row[first] == 0)
            ++first;
        while (last >= first && snap_row[last] == 0)
            --last;
        if (first > last) continue;

        prefix[first - kRadius] = 0;
        for (int x = first - kRadius; x <= last + kRadius; ++x)
            prefix[x + 1] = prefix[x] + column[x];

        uint8_t *grid_row = grid + y * kGridWidth;
        for (int x = first; x <= last; ++x) {
            const uint32_t window = prefix[x + kRadius + 1] - prefix[x - kRadius];
            const int s = static_cast<int>(window & 0xFFFF), n = static_cast<int>(window >> 16);
            const float a = static_cast<float>(s) / static_cast<float>(n + (n == 0));
            // a is positive: truncation is the floor, one more where it cut something the ceiling.
            const int below = static_cast<int>(a);
            int r = below + (up & (static_cast<float>(below) < a));
            r = r > 255 ? 255 : r;
            const bool keep = (snap_row[x] == 0) | (n == 0);
            grid_row[x] = keep ? grid_row[x] : static_cast<uint8_t>(r);
        }
    }
}

void smooth_relief(const Resources &resources, const Scan &scan, DesignResults &results) {
    apply_template_floor(resources, scan, results);
    smooth_pass(results.relief_grid, 1);
    smooth_pass(results.relief_grid, 0);
    apply_template_floor(resources, scan, results);
}

}  // namespace pedaform
