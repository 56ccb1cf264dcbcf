#include "relief/composition.h"

#include <cassert>
#include <cmath>
#include <cstring>

#include "relief/foot_span.h"
#include "relief/pad_layer.h"

namespace pedaform {

namespace {

void add_pad_stamp(const Scan &scan, DesignResults &results, const StampControls &stamp) {
    // Sizes the stamp buffer cannot hold (or not numbers) place nothing, before any conversion.
    auto fits = [](double side) {
        return side + 2 * kStampMargin > 0 && side + 2 * kStampMargin <= kPadStampBytes;
    };
    if (!fits(stamp.width) || !fits(stamp.length)) return;
    const int stamp_width = static_cast<int>(stamp.width + 2 * kStampMargin);
    const int stamp_rows = static_cast<int>(stamp.length + 2 * kStampMargin);
    // A point far outside the grid places nothing; the bound also keeps the sums below in int.
    if (!(std::fabs(results.meta_column) < 1e6f) || !(std::fabs(results.meta_row) < 1e6f)) return;
    const int first_row =
        static_cast<int>(results.meta_row) - static_cast<int>(stamp.length + kStampMargin);
    const int first_col = static_cast<int>(results.meta_column) - stamp_width / 2;
    for (int i = 0; i < stamp_width; ++i) {
        const int x = first_col + i;
        if (x < 0 || x >= kGridWidth) continue;
        for (int j = 0; j < stamp_rows; ++j) {
            const int y = first_row + j;
            if (y < 0 || y >= kGridHeight) continue;
            const int t = y * kGridWidth + x;
            // Only foot cells, the ones step 1 has just rebuilt; others would grow each time.
            if (scan.base_grid[t] == 0) continue;
            const size_t s = static_cast<size_t>(j) * results.pad_stamp_stride + i;
            if (s >= sizeof results.pad_stamp) continue;
            const int v = results.relief_grid[t] + results.pad_stamp[s];
            results.relief_grid[t] = static_cast<uint8_t>(v > 255 ? 255 : v);
        }
    }
}

}  // namespace

void compose_relief(const Resources &resources, const Scan &scan, DesignResults &results,
                    const StampControls &stamp) {
    const float *l0 = results.layers[0], *l1 = results.layers[1], *l2 = results.layers[2];
    const float *l3 = results.layers[3], *l4 = results.layers[4], *l5 = results.layers[5];
    for (int y = 0; y < kGridHeight; ++y) {
        const int row = y * kGridWidth;
        const RowSpan span = foot_span(scan.base_grid + row);
        for (int i = row + span.first; i <= row + span.last; ++i) {
            const float s = ((((l0[i] + l1[i]) + l2[i]) + l3[i]) + l4[i]) + l5[i];
            float v = static_cast<float>(scan.base_grid[i]) + s;
            v = v > 255.0f ? 255.0f : (v < static_cast<float>(kFootThreshold) ? kFootThreshold : v);
            const uint8_t composed = static_cast<uint8_t>(static_cast<int>(v));
            results.relief_grid[i] = scan.base_grid[i] != 0 ? composed : results.relief_grid[i];
        }
    }
    if (stamp.enabled && results.meta_point_found) add_pad_stamp(scan, results, stamp);
    update_relief_preview(resources, scan, results);
}

void update_relief_preview(const Resources &resources, const Scan &scan, DesignResults &results) {
    // Each preview cell is one of 256 colours (or 0): build them once as 4-byte words.
    uint32_t colour_of[256];
    for (int d = 0; d < 256; ++d) {
        const uint8_t px[4] = {resources.colour_table[d][0], resources.colour_table[d][1],
                               resources.colour_table[d][2], 0};
        std::memcpy(&colour_of[d], px, 4);
    }
    for (int y = 0; y < kGridHeight; ++y) {
        const int row = y * kGridWidth;
        const RowSpan span = foot_span(scan.base_grid + row);
        // Outside the span the base is 0, and so is the preview.
        const int begin = span.first <= span.last ? span.first : kGridWidth;
        const int end = span.first <= span.last ? span.last + 1 : kGridWidth;
        uint8_t *preview = results.relief_preview + 4 * static_cast<size_t>(row);
        std::memset(preview, 0, 4 * static_cast<size_t>(begin));
        std::memset(preview + 4 * end, 0, 4 * static_cast<size_t>(kGridWidth - end));
        for (int x = begin; x < end; ++x) {
            const int base = scan.base_grid[row + x];
            int d = 3 * (results.relief_grid[row + x] - base) + 128;
            d = d < 0 ? 0 : (d > 255 ? 255 : d);
            const uint32_t word = base < kFootThreshold ? 0u : colour_of[d];
            std::memcpy(preview + 4 * x, &word, 4);
        }
    }
}

int pad_stamp_stride_for(double width) {
    if (!(width + 2 * kStampMargin > 0 && width + 2 * kStampMargin <= kPadStampBytes)) return 0;
    const int bytes = static_cast<int>(width + 2 * kStampMargin);
    return (bytes + 3) / 4 * 4;
}

float lowering_amount(double meta1, double meta2) {
    return static_cast<float>((meta1 + meta2) * -3.0);
}

void build_layer(const Scan &scan, DesignResults &results, int layer, float amount) {
    assert(layer >= 0 && layer < kLayerCount);
    const Landmark *lm = scan.landmarks;
    float(&out)[kGridCells] = results.layers[layer];
    switch (layer) {
        case 0:
            build_pad_layer(scan, out, amount, lm[1], lm[2], lm[0]);
            break;
        case 1:
            build_pad_layer(scan, out, amount, lm[0], lm[4], lm[1]);
            break;
        case 2:
            build_pad_layer(scan, out, amount, lm[0], lm[4], lm[2]);
            break;
        case 3:
            build_pad_layer(scan, out, amount, lm[0], lm[1], lm[3]);
            break;
        case 4:
            build_pad_layer(scan, out, amount, lm[1], lm[2], lm[4]);
            break;
        default: {
            const Landmark a = {lm[0].row - 30, lm[0].column};
            const Landmark b = {lm[1].row - 30, lm[1].column};
            const Landmark anchor = {static_cast<float>(scan.outline_top_row), lm[0].column};
            build_pad_layer(scan, out, amount, a, b, anchor);
        }
    }
}

int slider_layer(PadSlider slider) {
    static const int kLayerOf[] = {0, 1, 2, 4, 3};
    return kLayerOf[static_cast<int>(slider)];
}

PadSliderBuilds pad_slider_builds(PadSlider slider, const PadSliderValues &values) {
    const double own[] = {values.meta1, values.meta2, values.heel1, values.heel2, values.heel3};
    const double value = own[static_cast<int>(slider)];
    const bool metatarsal = slider == PadSlider::kMeta1 || slider == PadSlider::kMeta2;
    PadSliderBuilds out;
    if (metatarsal && value > 0)
        out.builds[out.count++] = {kLoweringLayer, lowering_amount(values.meta1, values.meta2)};
    out.builds[out.count++] = {slider_layer(slider), static_cast<float>(value)};
    return out;
}

}  // namespace pedaform
