#include "relief/orthotics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "relief/foot_axis.h"
#include "relief/foot_span.h"

namespace pedaform {

double smoothstep(double t) {
    if (!(t > 0)) return 0;
    if (t >= 1) return 1;
    return t * t * (3 - 2 * t);
}

namespace {

// The squared distance transform of one line (Felzenszwalb and Huttenlocher, "Distance
// Transforms of Sampled Functions", 2012): d[q] = min over p of (q - p)^2 + f[p].
void distance_1d(const float *f, int n, float *d, int *v, float *z) {
    constexpr float kInfinity = 1e20f;
    int k = 0;
    v[0] = 0;
    z[0] = -kInfinity;
    z[1] = kInfinity;
    for (int q = 1; q < n; ++q) {
        float s = ((f[q] + q * q) - (f[v[k]] + v[k] * v[k])) / (2.0f * q - 2.0f * v[k]);
        while (s <= z[k]) {
            --k;
            s = ((f[q] + q * q) - (f[v[k]] + v[k] * v[k])) / (2.0f * q - 2.0f * v[k]);
        }
        ++k;
        v[k] = q;
        z[k] = s;
        z[k + 1] = kInfinity;
    }
    k = 0;
    for (int q = 0; q < n; ++q) {
        while (z[k + 1] < q)
            ++k;
        d[q] = static_cast<float>((q - v[k]) * (q - v[k])) + f[v[k]];
    }
}

// The cells a distance is wanted for: rows first..last, columns left..right.
struct Window {
    int first, last, left, right;
};

// For each cell of the window, the Euclidean distance in cells to the nearest cell outside the
// insole (the grid's surroundings count as outside), row by row from the window's corner. The
// cells around the window, kHeelCupMm + 2 each way, are taken into account: nearer ones decide
// every distance up to that.
std::vector<float> distance_inward(const uint8_t *mask, const Window &win) {
    const int reach = static_cast<int>(kHeelCupMm) + 2;
    const int x0 = std::max(0, win.left - reach), x1 = std::min(kGridWidth - 1, win.right + reach);
    const int y0 = std::max(0, win.first - reach), y1 = std::min(kGridHeight - 1, win.last + reach);
    // One cell all round: outside where it is the grid's surroundings, else as the mask says.
    const int w = x1 - x0 + 3, h = y1 - y0 + 3;
    // Squared distances of up to (150 + 360)^2 are exact in floats.
    constexpr float kFar = 1e12f;
    std::vector<float> grid(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int gx = x0 + x - 1, gy = y0 + y - 1;
            const bool inside = gx >= 0 && gx < kGridWidth && gy >= 0 && gy < kGridHeight &&
                                mask[gy * kGridWidth + gx] != 0;
            grid[static_cast<size_t>(y) * w + x] = inside ? kFar : 0;
        }
    const int n = std::max(w, h);
    std::vector<float> f(n), d(n), z(n + 1);
    std::vector<int> v(n);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y)
            f[y] = grid[static_cast<size_t>(y) * w + x];
        distance_1d(f.data(), h, d.data(), v.data(), z.data());
        for (int y = 0; y < h; ++y)
            grid[static_cast<size_t>(y) * w + x] = d[y];
    }
    for (int y = 0; y < h; ++y) {
        float *row = &grid[static_cast<size_t>(y) * w];
        distance_1d(row, w, d.data(), v.data(), z.data());
        std::copy(d.begin(), d.begin() + w, row);
    }
    const int cw = win.right - win.left + 1;
    std::vector<float> out(static_cast<size_t>(win.last - win.first + 1) * cw);
    for (int y = win.first; y <= win.last; ++y)
        for (int x = win.left; x <= win.right; ++x)
            out[static_cast<size_t>(y - win.first) * cw + (x - win.left)] =
                std::sqrt(grid[static_cast<size_t>(y - y0 + 1) * w + (x - x0 + 1)]);
    return out;
}

}  // namespace

namespace {

// The arch support's course along the foot: t runs 0 at the medial heel landmark's row to 1 at
// the first metatarsal head's, the crest at `peak`.
struct ArchCourse {
    double heel_row = 0, along = 0, peak = 0.5;
    bool valid = false;
    double t(int y) const { return (y - heel_row) / along; }
    // The rise along the foot, 0 .. 1: smooth from 0 at t = 0 to 1 at the crest and back to 0 at
    // t = 1.
    double rise(int y) const {
        const double v = t(y);
        return v < peak ? smoothstep(v / peak) : smoothstep((1 - v) / (1 - peak));
    }
    // What the heel cup's medial rim keeps toward the crest: 1 - rise before the crest (1 behind
    // the medial heel landmark), 0 from the crest on. With the rise it makes 1 all the way.
    double flange(int y) const { return !valid || t(y) >= peak ? 0 : 1 - rise(y); }
};

ArchCourse arch_course(const Scan &scan) {
    ArchCourse c;
    const Landmark heel = medial_heel(scan), head = first_metatarsal_head(scan);
    c.heel_row = heel.row;
    c.along = head.row - heel.row;
    if (!(std::fabs(c.along) >= 1)) return c;  // no arch between landmarks on one row
    const double peak_row = scan.outline_bottom_row + kArchPeakShare * scan.insole_length;
    c.peak = std::clamp((peak_row - heel.row) / c.along, 0.1, 0.9);
    c.valid = true;
    return c;
}

// A row's insole cells: its first and last, and which of them is the medial border.
struct InsoleRow {
    int left = -1, right = -1, medial = -1;
    double width = 1;  // from the medial border to the lateral one, at least 1
    // How far across the row `x` lies from the medial border, as a share of the width.
    double across(int x) const { return std::abs(x - medial) / width; }
};

InsoleRow insole_row(const uint8_t *mask_row, bool medial_right) {
    InsoleRow r;
    const RowSpan span = foot_span(mask_row);
    if (span.first > span.last) return r;
    r.left = span.first, r.right = span.last;
    r.medial = medial_right ? r.right : r.left;
    r.width = std::max(1, r.right - r.left);
    return r;
}

}  // namespace

void build_arch_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    std::memset(layer, 0, sizeof layer);
    if (amount == 0.0f) return;
    const double full = amount * static_cast<double>(kGreyLevelsPerMm);
    const ArchCourse course = arch_course(in.scan);
    if (!course.valid) return;
    const bool medial_right = medial_column_direction(in.scan) > 0;
    for (int y = 0; y < kGridHeight; ++y) {
        const double rise = course.rise(y);
        if (rise == 0) continue;
        const InsoleRow row = insole_row(in.results.insole_grid + y * kGridWidth, medial_right);
        for (int x = row.left; x >= 0 && x <= row.right; ++x)
            if (in.insole(x, y))
                layer[y * kGridWidth + x] =
                    static_cast<float>(full * rise * (1 - smoothstep(row.across(x) / kArchReach)));
    }
}

namespace {

// The rows and columns the heel cup can reach: rows with an insole cell heel-ward of the line
// through landmarks 2 and 4, or with a medial flange.
template <typename Behind>
Window heel_cup_window(const uint8_t *mask, const ArchCourse &course, Behind behind) {
    Window win{kGridHeight, -1, kGridWidth, -1};
    for (int y = 0; y < kGridHeight; ++y) {
        const RowSpan span = foot_span(mask + y * kGridWidth);
        if (span.first > span.last) continue;
        // The depth is linear along a row: deepest at one end of the row's insole cells.
        const bool cupped = std::max(behind(span.first, y), behind(span.last, y)) > 0;
        if (!cupped && course.flange(y) == 0) continue;
        win.first = std::min(win.first, y), win.last = y;
        win.left = std::min(win.left, span.first), win.right = std::max(win.right, span.last);
    }
    return win;
}

}  // namespace

void build_heel_cup_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    std::memset(layer, 0, sizeof layer);
    if (amount == 0.0f) return;
    const double full = amount * static_cast<double>(kGreyLevelsPerMm);
    const Landmark &a = in.scan.landmarks[2];
    const std::optional<GridDirection> n = heel_ward_normal(in.scan, a, in.scan.landmarks[4]);
    if (!n) return;
    const double nc = n->column, nr = n->row;
    auto behind = [&](int x, int y) { return nc * (x - a.column) + nr * (y - a.row); };
    const ArchCourse course = arch_course(in.scan);
    const bool medial_right = medial_column_direction(in.scan) > 0;
    const uint8_t *mask = in.results.insole_grid;
    const Window win = heel_cup_window(mask, course, behind);
    if (win.last < 0) return;
    const std::vector<float> inward = distance_inward(mask, win);
    const int cw = win.right - win.left + 1;
    for (int y = win.first; y <= win.last; ++y) {
        const InsoleRow row = insole_row(mask + y * kGridWidth, medial_right);
        const double flange = course.flange(y);
        for (int x = win.left; x <= win.right; ++x) {
            const int i = y * kGridWidth + x;
            const double d = inward[static_cast<size_t>(y - win.first) * cw + (x - win.left)];
            if (!mask[i] || d > kHeelCupMm + 1) continue;
            const double depth = behind(x, y);
            const double fade = depth > 0 ? smoothstep(depth / kHeelCupMm) : 0;
            const double side = flange * (1 - smoothstep(row.across(x) / kFlangeReach));
            const double rim = 1 - smoothstep((d - 1) / kHeelCupMm);
            layer[i] = static_cast<float>(full * std::max(fade, side) * rim);
        }
    }
}

void build_base_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    std::memset(layer, 0, sizeof layer);
    if (amount == 0.0f) return;
    const float full = amount * static_cast<float>(kGreyLevelsPerMm);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (in.insole(x, y)) layer[y * kGridWidth + x] = full;
}

void build_heel_recess_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    std::memset(layer, 0, sizeof layer);
    if (amount == 0.0f) return;
    const double full = amount * static_cast<double>(kGreyLevelsPerMm);
    const Landmark &centre = in.scan.landmarks[3];
    const double reach = kHeelRecessRadiusMm + kHeelRecessBlendMm;
    const int y0 = std::max(0, static_cast<int>(std::floor(centre.row - reach)));
    const int y1 = std::min(kGridHeight - 1, static_cast<int>(std::ceil(centre.row + reach)));
    const int x0 = std::max(0, static_cast<int>(std::floor(centre.column - reach)));
    const int x1 = std::min(kGridWidth - 1, static_cast<int>(std::ceil(centre.column + reach)));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if (!in.insole(x, y)) continue;
            const double r = std::hypot(x - centre.column, y - centre.row);
            const double rim = smoothstep((r - kHeelRecessRadiusMm) / kHeelRecessBlendMm);
            layer[y * kGridWidth + x] = static_cast<float>(-full * (1 - rim));
        }
}

void build_top_cover_layer(const LayerInputs &in, float (&layer)[kGridCells], float amount) {
    build_base_layer(in, layer, amount);
}

}  // namespace pedaform
