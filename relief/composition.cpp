#include "relief/composition.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "relief/dome_placement.h"
#include "relief/foot_span.h"
#include "relief/pad_layer.h"
#include "relief/shell_length.h"
#include "relief/stamp_geometry.h"
#include "core/size_table.h"

namespace pedaform {

namespace {

void add_pad_stamp(const Scan &scan, DesignResults &results, const StampControls &stamp) {
    // Sizes the stamp buffer cannot hold (or not numbers) place nothing, before any conversion.
    const std::optional<StampSize> size = stamp_size(stamp.width, stamp.length);
    if (!size) return;
    // A point far outside the grid places nothing; the bound also keeps the sums below in int.
    if (!(std::fabs(results.meta_column) < 1e6f) || !(std::fabs(results.meta_row) < 1e6f)) return;
    const GridPoint origin =
        stamp_origin({results.meta_column, results.meta_row}, stamp.width, stamp.length);
    const int first_row = static_cast<int>(origin.row);
    const int first_col = static_cast<int>(origin.column);
    const int stamp_width = size->columns, stamp_rows = size->rows;
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

void fill_insole_grid(const Resources &resources, const Scan &scan, DesignResults &results) {
    for (int i = 0; i < kGridCells; ++i)
        results.insole_grid[i] = scan.base_grid[i] != 0 ? 1 : 0;
    results.insole_floor = kFootThreshold;
    const std::optional<int32_t> t = results.template_index;
    if (t && *t >= 0 && *t < kTemplateCount) {
        const uint8_t level = template_level(resources.templates[*t]);
        results.insole_floor = level > kFootThreshold ? level : kFootThreshold;
        if (const std::optional<OutlineFit> fit = fit_outline(scan, template_length(*t)))
            mark_outline_cells(*fit, results.insole_grid);
    }
    close_insole_blocks(results.insole_grid);
}

int uniform_rise(const DesignResults &results) {
    float levels = 0;
    for (Layer layer : kUniformLayers)
        levels = levels + results.layer_amount[index(layer)] * static_cast<float>(kGreyLevelsPerMm);
    return static_cast<int>(levels);
}

namespace {

// The cells of a list of layers, summed in the list's order (the sum's rounding depends on it).
template <size_t N>
struct LayerCells {
    const float *cells[N];
    float sum(int i) const {
        float s = cells[0][i];
        for (size_t k = 1; k < N; ++k)
            s = s + cells[k][i];
        return s;
    }
};
template <size_t N>
LayerCells<N> layer_cells(const DesignResults &results, const Layer (&layers)[N]) {
    LayerCells<N> out;
    for (size_t k = 0; k < N; ++k)
        out.cells[k] = results.layer_cells(index(layers[k]));
    return out;
}

// A height and the shaped layers' sum, floored at kFootThreshold and capped at 255, truncated;
// then the uniform layers' rise on top, saturating at 255; then the cuts' sum (0 or below), the
// result truncated and never below kFootThreshold.
uint8_t composed_height(float height, float shaped, int rise, float cut) {
    float v = height + shaped;
    v = v > 255.0f ? 255.0f : (v < static_cast<float>(kFootThreshold) ? kFootThreshold : v);
    int raised = static_cast<int>(v) + rise;
    raised = raised > 255 ? 255 : raised;
    if (cut < 0)
        raised = std::max(kFootThreshold, static_cast<int>(static_cast<float>(raised) + cut));
    return static_cast<uint8_t>(raised);
}

// The insole's cells outside the foot where the template stands: its height plus the orthotic
// layers, so that the shaped insole is whole in the relief as well.
void raise_template_cells(const LayerInputs &in, DesignResults &results) {
    const LayerCells shaped = layer_cells(results, kShapedInsoleLayers);
    const LayerCells cut = layer_cells(results, kCutLayers);
    const int rise = uniform_rise(results);
    const PlacedTemplate placed = in.placed_template();
    for (int y = 0; y < kGridHeight; ++y) {
        const RowSpan span = foot_span(results.insole_grid + y * kGridWidth);
        for (int x = span.first; x <= span.last; ++x) {
            const int i = y * kGridWidth + x;
            if (in.scan.base_grid[i] != 0 || results.insole_grid[i] == 0) continue;
            const uint8_t floor = placed.height_under(x, y);
            if (floor == 0) continue;
            results.relief_grid[i] = composed_height(floor, shaped.sum(i), rise, cut.sum(i));
        }
    }
}

bool any_orthotic_layer(const DesignResults &results) {
    for (Layer layer : kInsoleLayers)
        if (results.layer_amount[index(layer)] != 0.0f) return true;
    return false;
}

}  // namespace

void compose_relief(const Resources &resources, const Scan &scan, DesignResults &results,
                    const StampControls &stamp) {
    const LayerCells foot = layer_cells(results, kFootLayers);
    const LayerCells shaped = layer_cells(results, kShapedInsoleLayers);
    const LayerCells cut = layer_cells(results, kCutLayers);
    const bool orthotics = any_orthotic_layer(results);
    const int rise = uniform_rise(results);
    for (int y = 0; y < kGridHeight; ++y) {
        const int row = y * kGridWidth;
        const RowSpan span = foot_span(scan.base_grid + row);
        for (int i = row + span.first; i <= row + span.last; ++i) {
            // The orthotic layers last: their zeros would change no sum of the pads.
            float s = foot.sum(i);
            if (orthotics) s = s + shaped.sum(i);
            const uint8_t composed =
                composed_height(scan.base_grid[i], s, rise, orthotics ? cut.sum(i) : 0.0f);
            results.relief_grid[i] = scan.base_grid[i] != 0 ? composed : results.relief_grid[i];
        }
    }
    const LayerInputs in{resources, scan, results};
    if (orthotics) raise_template_cells(in, results);
    if (stamp.enabled && results.meta_point_found) add_pad_stamp(scan, results, stamp);
    fill_insole_relief(scan, results);
    update_relief_preview(resources, scan, results);
}

void fill_insole_relief(const Scan &scan, DesignResults &results) {
    const LayerCells shaped = layer_cells(results, kShapedInsoleLayers);
    const LayerCells cut = layer_cells(results, kCutLayers);
    const int rise = uniform_rise(results);
    const float floor = results.insole_floor;
    for (int i = 0; i < kGridCells; ++i) {
        const uint8_t relief = results.relief_grid[i];
        const uint8_t bare =
            relief != 0 ? relief : composed_height(floor, shaped.sum(i), rise, cut.sum(i));
        results.insole_relief[i] = results.insole_grid[i] != 0 ? bare : 0;
    }
    end_shell(scan, results);
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
            const int d = preview_colour_index(results.relief_grid[row + x] - base);
            const uint32_t word = base < kFootThreshold ? 0u : colour_of[d];
            std::memcpy(preview + 4 * x, &word, 4);
        }
    }
    if (!any_orthotic_layer(results)) return;
    // With the orthotic layers in use the outline's cells are part of the insole: they show how
    // far above its floor they stand.
    for (int y = 0; y < kGridHeight; ++y) {
        const RowSpan span = foot_span(results.insole_grid + y * kGridWidth);
        for (int x = span.first; x <= span.last; ++x) {
            const int i = y * kGridWidth + x;
            if (scan.base_grid[i] >= kFootThreshold || results.insole_grid[i] == 0) continue;
            const int d = preview_colour_index(results.insole_relief[i] - results.insole_floor);
            std::memcpy(results.relief_preview + 4 * static_cast<size_t>(i), &colour_of[d], 4);
        }
    }
}

float lowering_amount(double meta1, double meta2) {
    return static_cast<float>((meta1 + meta2) * -3.0);
}

namespace {

void pad_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount, int line_1,
               int line_2, int anchor) {
    const Landmark *lm = in.scan.landmarks;
    build_pad_layer(in.scan, layer, amount, lm[line_1], lm[line_2], lm[anchor]);
}

}  // namespace

void build_meta1_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    pad_layer(in, layer, amount, 1, 2, 0);
}
void build_meta2_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    pad_layer(in, layer, amount, 0, 4, 1);
}
void build_heel1_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    pad_layer(in, layer, amount, 0, 4, 2);
}
void build_heel3_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    pad_layer(in, layer, amount, 0, 1, 3);
}
void build_heel2_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    pad_layer(in, layer, amount, 1, 2, 4);
}
void build_lowering_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    const Landmark *lm = in.scan.landmarks;
    const Landmark a = {lm[0].row - 30, lm[0].column};
    const Landmark b = {lm[1].row - 30, lm[1].column};
    const Landmark anchor = {static_cast<float>(in.scan.outline_top_row), lm[0].column};
    build_pad_layer(in.scan, layer, amount, a, b, anchor);
}

}  // namespace pedaform
