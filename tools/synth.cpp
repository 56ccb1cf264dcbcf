#include "tools/synth.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <random>

#include "relief/engraving_bmp.h"
#include "workspace/size_table.h"

namespace pedaform {
namespace synth {

namespace {

double clamp01(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

double smoothstep(double a, double b, double t) {
    const double x = clamp01((t - a) / (b - a));
    return x * x * (3 - 2 * x);
}

// Turns the foot's pixels and landmarks by `degrees` counter-clockwise about the outline's
// centre (nearest cell; what turns out of the grid is lost).
void turn(Picture &p, Landmark (&lm)[5], const Outline &o, double degrees) {
    const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    const double cx = (kGridWidth - 1) / 2.0, cy = o.bottom + (o.length - 1) / 2.0;
    const std::vector<uint8_t> source = p.bits;
    for (int y = 0; y < kGridHeight - 1; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            // The source of each cell: the inverse turn.
            const double dx = x - cx, dy = y - cy;
            const long sx = std::lround(cx + c * dx + s * dy);
            const long sy = std::lround(cy - s * dx + c * dy);
            uint8_t *px = &p.bits[(static_cast<size_t>(y) * kGridWidth + x) * 4];
            const bool inside = sx >= 0 && sx < kGridWidth && sy >= 0 && sy < kGridHeight - 1;
            const uint8_t *from =
                inside ? &source[(static_cast<size_t>(sy) * kGridWidth + sx) * 4] : nullptr;
            px[0] = inside ? from[0] : 0;
            px[3] = inside ? from[3] : 0;
        }
    for (Landmark &l : lm) {
        const double dx = l.column - cx, dy = l.row - cy;
        l.column = static_cast<float>(std::lround(cx + c * dx - s * dy));
        l.row = static_cast<float>(std::lround(cy + s * dx + c * dy));
    }
}

}  // namespace

const std::vector<BinPlacement> &bin_placements() {
    // Where each bin of the size table lies, in its order; the larger bins' cells come in
    // mirror pairs: the bottom row of a left foot spans first_column .. 149 - (the other
    // cell's column).
    static const int kPlace[kSizeBinTotal][3] = {
        {70, 48, 12}, {64, 47, 12}, {58, 46, 13}, {52, 45, 13}, {46, 44, 14}, {84, 41, 14},
        {68, 44, 13}, {52, 44, 12}, {35, 43, 16}, {29, 45, 15}, {28, 51, 7},  {27, 46, 18},
    };
    static const std::vector<BinPlacement> bins = [] {
        std::vector<BinPlacement> b;
        for (int i = 0; i < kSizeBinTotal; ++i)
            b.push_back({kSizeBins[i].length, kPlace[i][0], kPlace[i][1], kPlace[i][2]});
        return b;
    }();
    return bins;
}

const BinPlacement *placement_for(int length) {
    for (const BinPlacement &b : bin_placements())
        if (b.length == length) return &b;
    return nullptr;
}

Outline insole_outline(int length, int bottom, int first_column, int bottom_width, bool right_foot,
                       bool wide_heel) {
    Outline o;
    o.bottom = bottom;
    o.length = length;
    for (int y = 0; y < kGridHeight; ++y) {
        o.left[y] = 1;
        o.right[y] = 0;
    }
    // Widths relative to the length: heel about a quarter, forefoot about 0.38.
    const double heel = 0.25 * length, fore = 0.37 * length;
    const double heel_centre = first_column + (bottom_width - 1) / 2.0;
    for (int k = 0; k < length; ++k) {
        const double t = length > 1 ? static_cast<double>(k) / (length - 1) : 0;
        // Lateral (left) and medial (right) edges, as offsets from the heel's centre line.
        const double cap = std::sqrt(clamp01(t / 0.1) * (2 - clamp01(t / 0.1)));
        double half = bottom_width / 2.0 + (heel / 2 - bottom_width / 2.0) * cap;
        half += (fore - heel) / 2 * smoothstep(0.3, 0.68, t);
        // Toe end: rounded, narrowing to a few cells in the last row.
        const double toe = clamp01((t - 0.86) / 0.14);
        half = 2 + (half - 2) * std::sqrt(1 - toe * toe);
        // The forefoot leans to the big-toe side; the arch draws the medial edge in.
        const double lean = 0.06 * length * smoothstep(0.35, 0.8, t);
        const double arch = 0.07 * length * std::sin(M_PI * clamp01((t - 0.25) / 0.4));
        double l = heel_centre - half + lean * 0.4;
        double r = heel_centre + half + lean - arch;
        // A heel that bulges medially past the forefoot's medial edge.
        if (wide_heel) r += 0.2 * length * std::sin(M_PI * clamp01(t / 0.4)) * cap;
        if (k == 0) {
            l = first_column;
            r = first_column + bottom_width - 1;
        }
        const int y = bottom + k;
        o.left[y] = static_cast<int>(std::lround(l));
        o.right[y] = std::max(o.left[y], static_cast<int>(std::lround(r)));
    }
    if (right_foot)
        for (int y = bottom; y < bottom + length; ++y) {
            const int l = o.left[y];
            o.left[y] = kGridWidth - 1 - o.right[y];
            o.right[y] = kGridWidth - 1 - l;
        }
    return o;
}

void template_grid(const Outline &outline, uint8_t floor, uint8_t (&grid)[kGridCells]) {
    std::memset(grid, 0, sizeof grid);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = outline.left[y]; x <= outline.right[y]; ++x)
            if (x >= 0 && x < kGridWidth) grid[y * kGridWidth + x] = floor;
}

void scan_landmarks(const Outline &o, Landmark (&lm)[5], bool measured, bool right_foot) {
    const int meta = o.bottom + static_cast<int>(0.7 * o.length);
    const int fifth = measured ? o.bottom + static_cast<int>(0.6 * o.length) : meta;
    const int first = measured ? o.bottom + static_cast<int>(0.71 * o.length) : meta;
    // Landmark 0 lies on the left edge, 1 on the right: lateral and medial for a left foot.
    const int left_head = right_foot ? first : fifth, right_head = right_foot ? fifth : first;
    const int heel = o.bottom + static_cast<int>((measured ? 0.14 : 0.2) * o.length);
    const int end = o.bottom + static_cast<int>(0.08 * o.length);
    auto at = [](int row, int column) {
        return Landmark{static_cast<float>(row), static_cast<float>(column)};
    };
    lm[0] = at(left_head, o.left[left_head] + 3);
    lm[1] = at(right_head, o.right[right_head] - 3);
    lm[2] = at(heel, o.left[heel] + 3);
    lm[3] = at(end, (o.left[end] + o.right[end]) / 2);
    lm[4] = at(heel + 2, o.right[heel + 2] - 3);
}

Picture make_scan(const ScanRecipe &recipe, Outline *outline_out) {
    const BinPlacement *bin = placement_for(recipe.length);
    BinPlacement place =
        bin != nullptr ? *bin
                       : BinPlacement{recipe.length, (kGridHeight - recipe.length) / 2, 45, 13};
    if (!recipe.second_family) place.first_column += 2;
    const Outline o = insole_outline(place.length, place.bottom, place.first_column,
                                     place.bottom_width, recipe.right_foot, recipe.wide_heel);
    if (outline_out != nullptr) *outline_out = o;

    Picture p;
    p.width = kGridWidth;
    p.height = kGridHeight;
    p.bpp = 32;
    p.pitch = p.line_bytes = kGridWidth * 4;
    p.dib_size = 40 + kGridCells * 4;
    p.bits.assign(static_cast<size_t>(kGridCells) * 4, 0);

    std::mt19937 rng(recipe.seed);
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    const double j1 = jitter(rng), j2 = jitter(rng), j3 = jitter(rng);

    for (int y = o.bottom; y < o.bottom + o.length; ++y) {
        const double t = static_cast<double>(y - o.bottom) / (o.length - 1);
        const double width = std::max(1, o.right[y] - o.left[y]);
        for (int x = o.left[y]; x <= o.right[y]; ++x) {
            // Across the foot from the lateral (0) to the medial (1) edge.
            double u = (x - o.left[y]) / width;
            if (recipe.right_foot) u = 1 - u;
            // Base: a floor, a heel cup and the arch support on the medial side.
            const double arch =
                30 * std::sin(M_PI * clamp01((t - 0.22) / 0.45)) * smoothstep(0.35, 0.95, u);
            const double cup = 8 * (1 - smoothstep(0, 0.3, t)) * std::fabs(2 * u - 1);
            const int base = static_cast<int>(std::lround(14 + arch + cup));
            // Pressure: heel, the metatarsal heads and the big toe.
            auto blob = [&](double bt, double bu, double st, double su, double peak) {
                const double dt = (t - bt) / st, du = (u - bu) / su;
                return peak * std::exp(-(dt * dt + du * du));
            };
            const bool m = recipe.measured;
            double pressure = blob((m ? 0.14 : 0.1) + 0.01 * j1, 0.5, 0.08, 0.35, 220) +
                              blob((m ? 0.6 : 0.7) + 0.01 * j2, 0.3, 0.07, 0.2, 170) +
                              blob(m ? 0.71 : 0.72, 0.75 + 0.03 * j3, 0.06, 0.18, 200) +
                              blob(m ? 0.9 : 0.93, 0.8, 0.04, 0.15, 150) +
                              blob(0.45, 0.15, 0.12, 0.15, 60);
            pressure = std::min(255.0, pressure);
            uint8_t *px = &p.bits[(static_cast<size_t>(y) * kGridWidth + x) * 4];
            px[0] = static_cast<uint8_t>(std::clamp(base, 12, 60));
            px[3] = static_cast<uint8_t>(pressure);
        }
    }

    Landmark lm[5];
    scan_landmarks(o, lm, recipe.measured, recipe.right_foot);
    if (recipe.turn_degrees != 0) turn(p, lm, o, recipe.turn_degrees);
    uint8_t *meta = &p.bits[static_cast<size_t>(kGridHeight - 1) * kGridWidth * 4];
    for (int k = 0; k < 5; ++k) {
        const int n = kGridHeight - 1 - static_cast<int>(lm[k].row);
        meta[k * 4 + 0] = static_cast<uint8_t>(n / 256);
        meta[k * 4 + 1] = static_cast<uint8_t>(n % 256);
        meta[k * 4 + 2] = static_cast<uint8_t>(lm[k].column);
        meta[k * 4 + 3] = static_cast<uint8_t>(40 + 10 * k);
    }
    meta[5 * 4 + 2] = recipe.ai;
    return p;
}

std::vector<uint8_t> scan_bmp(const Picture &scan) {
    std::vector<uint8_t> file;
    encode_bmp32(scan.bits.data(), scan.width, scan.height, file);
    return file;
}

void colour_map(uint8_t (&table)[256][3]) {
    // A perceptually ordered rainbow ("turbo"-like) from a polynomial fit per channel.
    for (int i = 0; i < 256; ++i) {
        const double x = i / 255.0;
        const double r =
            0.13572138 +
            x * (4.61539260 +
                 x * (-42.66032258 + x * (132.13108234 + x * (-152.94239396 + x * 59.28637943))));
        const double g =
            0.09140261 +
            x * (2.19418839 +
                 x * (4.84296658 + x * (-14.18503333 + x * (4.27729857 + x * 2.82956604))));
        const double b =
            0.10667330 +
            x * (12.64194608 +
                 x * (-60.58204836 + x * (110.36276771 + x * (-89.90310912 + x * 27.34824973))));
        table[i][0] = static_cast<uint8_t>(std::lround(255 * clamp01(r)));
        table[i][1] = static_cast<uint8_t>(std::lround(255 * clamp01(g)));
        table[i][2] = static_cast<uint8_t>(std::lround(255 * clamp01(b)));
    }
}

void pad_dome(uint8_t (&pixels)[kPadShapeSize * kPadShapeSize]) {
    const double c = (kPadShapeSize - 1) / 2.0;
    for (int y = 0; y < kPadShapeSize; ++y)
        for (int x = 0; x < kPadShapeSize; ++x) {
            const double r = std::hypot(x - c, y - c) / (c + 0.5);
            const double v = r >= 1 ? 0 : std::pow(1 - r * r, 2.0);
            pixels[y * kPadShapeSize + x] = static_cast<uint8_t>(std::lround(255 * v));
        }
}

}  // namespace synth
}  // namespace pedaform
