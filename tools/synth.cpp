#include "tools/synth.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <random>

#include "relief/engraving_bmp.h"
#include "core/size_table.h"

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
    static const std::vector<BinPlacement> bins = [] {
        std::vector<BinPlacement> b;
        for (const SizeBin &bin : kSizeBins)
            b.push_back({bin.length, bin.heel_row, bin.heel_column, bin.heel_width});
        return b;
    }();
    return bins;
}

const BinPlacement *placement_for(int length) {
    for (const BinPlacement &b : bin_placements())
        if (b.length == length) return &b;
    return nullptr;
}

namespace {

// The insole's proportions, as shares of its length L (rows 0 .. L - 1, t = row / (L - 1)), to
// look like a last's bottom: heel about 0.28 L wide and rounded over its first tenth, a
// straight lateral border that flares a little up to the fifth metatarsal head at 0.63 L, a
// medial border that runs out to the ball at 0.72 L without an arch notch, and a toe box
// rounding into a blunt toe end whose middle lies toward the big toe.
constexpr double kHeelHalf = 0.14, kHeelRound = 0.1, kFlare = 0.02, kFifth = 0.63;
constexpr double kBall = 0.72, kBallOut = 0.115, kToeMiddle = 0.06, kToeHalf = 0.04;

// Quarter ellipse rising from 0 to 1 as s goes 0 .. 1, upright at 1.
double quarter(double s) {
    const double x = clamp01(s);
    return std::sqrt(x * (2 - x));
}

struct Edges {
    double lateral, medial;  // offsets from the heel's middle column, lateral negative
};

// The insole's edges at t for a left foot, around a heel end of half width `end_half`.
Edges last_edges(double t, int length, double end_half) {
    const double heel = kHeelHalf * length;
    if (t < kHeelRound) {
        const double half = end_half + (heel - end_half) * quarter(t / kHeelRound);
        return {-half, half};
    }
    const double fifth = -heel - kFlare * length, ball = heel + kBallOut * length;
    const double tip_lateral = (kToeMiddle - kToeHalf) * length;
    const double tip_medial = (kToeMiddle + kToeHalf) * length;
    Edges e;
    if (t <= kFifth)
        e.lateral = -heel - kFlare * length * (t - kHeelRound) / (kFifth - kHeelRound);
    else
        e.lateral = tip_lateral + (fifth - tip_lateral) * quarter(1 - (t - kFifth) / (1 - kFifth));
    if (t <= kBall)
        e.medial = heel + (ball - heel) * smoothstep(kHeelRound, kBall, t);
    else
        e.medial = tip_medial + (ball - tip_medial) * quarter(1 - (t - kBall) / (1 - kBall));
    return e;
}

// An outline of `length` rows from `bottom` whose bottom row spans first_column ..
// first_column + bottom_width - 1, with `edges(t)` around the middle of that row; mirrored
// for a right foot.
template <typename EdgesAt>
Outline outline_of(int length, int bottom, int first_column, int bottom_width, bool right_foot,
                   EdgesAt edges) {
    Outline o;
    o.bottom = bottom;
    o.length = length;
    for (int y = 0; y < kGridHeight; ++y) {
        o.left[y] = 1;
        o.right[y] = 0;
    }
    const double middle = first_column + (bottom_width - 1) / 2.0;
    for (int k = 0; k < length; ++k) {
        const double t = length > 1 ? static_cast<double>(k) / (length - 1) : 0;
        const Edges e = edges(t);
        const int y = bottom + k;
        o.left[y] = k == 0 ? first_column : static_cast<int>(std::lround(middle + e.lateral));
        o.right[y] = k == 0 ? first_column + bottom_width - 1
                            : std::max(o.left[y], static_cast<int>(std::lround(middle + e.medial)));
    }
    if (right_foot)
        for (int y = bottom; y < bottom + length; ++y) {
            const int l = o.left[y];
            o.left[y] = kGridWidth - 1 - o.right[y];
            o.right[y] = kGridWidth - 1 - l;
        }
    return o;
}

}  // namespace

Outline insole_outline(int length, int bottom, int first_column, int bottom_width,
                       bool right_foot) {
    // The heel end reaches past both families' bottom rows (the first lies two columns in).
    const int end_width = bottom_width + 10;
    return outline_of(length, bottom, first_column - 4, end_width, right_foot,
                      [&](double t) { return last_edges(t, length, end_width / 2.0); });
}

Outline foot_outline(int length, int bottom, int first_column, int bottom_width, bool right_foot,
                     bool wide_heel) {
    // The footprint keeps clear of the insole's edges by a few cells, more at the heel, so that
    // either family's foot (a column off the insole's middle) stays inside, and the wide heel
    // turned as the sample is; its medial arch leaves the footprint's notch.
    const double heel_lateral = wide_heel ? 7 : 5, heel_medial = wide_heel ? 2 : 5;
    const double fore_lateral = wide_heel ? 10 : 3, fore_medial = wide_heel ? 4 : 3;
    const double end_half = bottom_width / 2.0;
    return outline_of(length, bottom, first_column, bottom_width, right_foot, [&](double t) {
        const double heel = kHeelHalf * length;
        if (t < kHeelRound) {
            const double q = quarter(t / kHeelRound);
            return Edges{-(end_half + (heel - heel_lateral - end_half) * q),
                         end_half + (heel - heel_medial - end_half) * q};
        }
        const Edges last = last_edges(t, length, end_half);
        const double fore = smoothstep(kHeelRound, 0.6, t), toe = smoothstep(0.85, 1, t);
        const double arch = 0.08 * length * std::sin(M_PI * clamp01((t - 0.25) / 0.4));
        return Edges{
            last.lateral + heel_lateral + (fore_lateral - heel_lateral) * fore + toe,
            last.medial - heel_medial - (fore_medial - heel_medial) * fore - arch - 4 * toe};
    });
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

namespace {

// The foot of `o` as the scanner's pixels: blue the base, alpha the pressure.
Picture draw_foot(const ScanRecipe &recipe, const Outline &o) {
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

    return p;
}

// The lowest row of the foot's pixels (below the metadata row); kGridHeight when there is none.
int lowest_foot_row(const Picture &p) {
    for (int y = 0; y < kGridHeight - 1; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (p.bits[(static_cast<size_t>(y) * kGridWidth + x) * 4] != 0) return y;
    return kGridHeight;
}

int highest_foot_row(const Picture &p) {
    for (int y = kGridHeight - 2; y >= 0; --y)
        for (int x = 0; x < kGridWidth; ++x)
            if (p.bits[(static_cast<size_t>(y) * kGridWidth + x) * 4] != 0) return y;
    return -1;
}

// Moves the foot's pixels and landmarks `down` rows towards row 0 (or up when negative), rows
// below the metadata row only.
void move_down(Picture &p, Landmark (&lm)[5], int down) {
    const size_t line = static_cast<size_t>(kGridWidth) * 4;
    uint8_t *bits = p.bits.data();
    for (int k = 0; k < kGridHeight - 1; ++k) {
        // Rows are written in the order that reads each source before it is overwritten.
        const int y = down >= 0 ? k : kGridHeight - 2 - k, from = y + down;
        if (from >= 0 && from < kGridHeight - 1)
            std::memmove(bits + y * line, bits + from * line, line);
        else
            std::memset(bits + y * line, 0, line);
    }
    for (Landmark &l : lm)
        l.row -= static_cast<float>(down);
}

}  // namespace

Picture make_scan(const ScanRecipe &recipe, Outline *outline_out) {
    const BinPlacement *bin = placement_for(recipe.length);
    BinPlacement place =
        bin != nullptr ? *bin
                       : BinPlacement{recipe.length, (kGridHeight - recipe.length) / 2, 45, 13};
    if (!recipe.second_family) place.first_column += 2;
    // A turn shortens or lengthens the outline by a row or so: a turned foot is drawn as long
    // as it must be to span `length` rows once turned, and is set back on the heel end row.
    Picture p;
    Landmark lm[5];
    for (const int extra : {0, 1, -1, 2, -2}) {
        const Outline o = foot_outline(place.length + extra, place.bottom, place.first_column,
                                       place.bottom_width, recipe.right_foot, recipe.wide_heel);
        if (outline_out != nullptr) *outline_out = o;
        p = draw_foot(recipe, o);
        scan_landmarks(o, lm, recipe.measured, recipe.right_foot);
        if (recipe.turn_degrees == 0) break;
        turn(p, lm, o, recipe.turn_degrees);
        move_down(p, lm, lowest_foot_row(p) - place.bottom);
        if (highest_foot_row(p) == place.bottom + place.length - 1) break;
    }
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

namespace {

// The teardrop's outline in picture units (0..1 across and along, row 0 the narrow end): tip at
// 0.04, wide end at 0.98, its highest point a third of that length from the wide end (on row
// 166, so that a pixel holds the full 255), half width 0.46 there.
constexpr double kDropTip = 0.04, kDropEnd = 0.98, kDropHalf = 0.46;
constexpr double kDropApex = kDropEnd - (kDropEnd - kDropTip) / 3;

// s from 0 at the highest point to 1 at either end, rounded over the first few hundredths so
// that the top is smooth yet one cell stays highest once the pad is rendered and quantised.
double rounded(double s) {
    constexpr double kRound = 0.03;
    return std::sqrt(s * s + kRound * kRound) - kRound;
}

}  // namespace

void pad_dome(uint8_t (&pixels)[kPadShapeSize * kPadShapeSize]) {
    constexpr double n = kPadShapeSize - 1;
    for (int y = 0; y < kPadShapeSize; ++y)
        for (int x = 0; x < kPadShapeSize; ++x) {
            const double across = std::fabs(x / n - 0.5), along = y / n;
            // Along the pad: towards the wide end a steep fall, (1 - s)^4, that leaves under
            // half the height a fifth of the way to the front edge, where the metatarsal heads
            // lie when the top sits 5-10 mm behind them; towards the tip a long (1 - s)^2.
            // Across: (1 - w^2)^2 of the outline's half width at that row. Each part is 0 with
            // a flat slope at the outline.
            const bool ahead = along >= kDropApex;
            const double s = ahead ? (along - kDropApex) / (kDropEnd - kDropApex)
                                   : (kDropApex - along) / (kDropApex - kDropTip);
            double v = 0;
            if (s < 1) {
                // The front is half an ellipse; behind, a quarter ellipse squeezed towards the
                // tip, so that the outline has no corner where they meet.
                const double half =
                    kDropHalf * std::sqrt(1 - s * s) * (ahead ? 1 : 1 - 0.5 * s * s);
                const double w = across / half, fall = 1 - rounded(s);
                if (w < 1)
                    v = (ahead ? fall * fall * fall * fall : fall * fall) * (1 - w * w) *
                        (1 - w * w);
            }
            pixels[y * kPadShapeSize + x] = static_cast<uint8_t>(std::lround(255 * v));
        }
}

}  // namespace synth
}  // namespace pedaform
