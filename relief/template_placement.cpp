#include "relief/template_placement.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "relief/foot_span.h"

namespace pedaform {

PlacedTemplate::PlacedTemplate(const uint8_t *grid, int32_t mirrored, int32_t row_offset)
    : grid_(mirrored == 0 || mirrored == 1 ? grid : nullptr),
      mirrored_(mirrored == 1),
      row_offset_(row_offset) {}

PlacedTemplate::PlacedTemplate(const Resources &resources, const Scan &scan,
                               const DesignResults &results)
    : PlacedTemplate(results.template_index && *results.template_index >= 0 &&
                             *results.template_index < kTemplateCount
                         ? resources.templates[*results.template_index]
                         : nullptr,
                     scan.template_mirrored, results.template_row_offset) {}

bool PlacedTemplate::row_under(int row, uint8_t (&out)[kGridWidth]) const {
    const std::optional<int> first = cell_under(0, row);
    if (!first) return false;
    const int start = *first - (mirrored_ ? kGridWidth - 1 : 0);
    const uint8_t *from = grid_ + start;
    if (!mirrored_) {
        std::memcpy(out, from, kGridWidth);
        return true;
    }
    for (int x = 0; x < kGridWidth; ++x)
        out[x] = from[kGridWidth - 1 - x];
    return true;
}

GridPoint nearest_insole_cell(const uint8_t *insole, GridPoint p) {
    const int to_x = static_cast<int>(p.column), to_y = static_cast<int>(p.row);
    auto in = [&](int x, int y) {
        return x >= 0 && x < kGridWidth && y >= 0 && y < kGridHeight &&
               insole[y * kGridWidth + x] != 0;
    };
    int x = to_x, y = to_y;
    if (!in(x, y)) {
        long nearest = -1;  // squared distance
        for (int cy = 0; cy < kGridHeight; ++cy)
            for (int cx = 0; cx < kGridWidth; ++cx) {
                const long d = long{cx - to_x} * (cx - to_x) + long{cy - to_y} * (cy - to_y);
                if ((nearest < 0 || d < nearest) && in(cx, cy)) nearest = d, x = cx, y = cy;
            }
    }
    return {static_cast<float>(x), static_cast<float>(y)};
}

int32_t row_offset_to_heel(const uint8_t *template_grid, const Scan &scan) {
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (template_grid[y * kGridWidth + x] != 0) return scan.outline_bottom_row - y;
    return 0;
}

namespace {

// A quarter ellipse rising from 0 to 1 as x goes 0 .. 1, upright at 1: the rounded heel and toe.
double quarter(double x) {
    const double c = std::clamp(x, 0.0, 1.0);
    return std::sqrt(c * (2 - c));
}

double smoothstep01(double x) {
    const double c = std::clamp(x, 0.0, 1.0);
    return c * c * (3 - 2 * c);
}

}  // namespace

OutlineFit::Shape OutlineFit::shape(double s) const {
    const double round = kHeelRoundShare * length, ball = kBallStartShare * length;
    const double toe = kToeStartShare * length;
    const double heel_full = std::max(round, heel_line);
    if (s < round) {
        const double q = quarter(s / round);
        return {q, 0, q, 0, 0};
    }
    if (s <= heel_full) return {1, 0, 1, 0, 0};
    if (s < ball) {
        const double b = smoothstep01((s - heel_full) / (ball - heel_full));
        return {1 - b, b, 1 - b, b, b};
    }
    if (s <= toe) return {0, 1, 0, 1, 1};
    const double q = quarter(1 - (s - toe) / (length - toe));
    return {0, q, 0, kToeEndShare + (1 - kToeEndShare) * q, 1};
}

OutlineFit::Edges OutlineFit::edges(double s) const {
    const Shape f = shape(s);
    const double middle = heel_middle + f.to_ball * (ball_middle - heel_middle);
    Edges e{middle - f.heel_lateral * heel_half - f.ball_lateral * ball_half,
            middle + f.heel_medial * heel_half + f.ball_medial * ball_half};
    const long k = std::lround(s);
    if (k >= 0 && k < static_cast<long>(held.size()) && held[k].lateral <= held[k].medial) {
        e.lateral = std::max(e.lateral, held[k].lateral);
        e.medial = std::min(e.medial, held[k].medial);
    }
    return e;
}

double OutlineFit::station(GridPoint p) const {
    return (p.column - heel_end.column) * toe_ward.column + (p.row - heel_end.row) * toe_ward.row;
}

double OutlineFit::across(GridPoint p) const {
    return (p.column - heel_end.column) * medial.column + (p.row - heel_end.row) * medial.row;
}

bool OutlineFit::contains(GridPoint p) const {
    const double s = station(p);
    if (!(s >= 0 && s <= length)) return false;
    const Edges e = edges(s);
    const double u = across(p);
    return u >= e.lateral && u <= e.medial;
}

namespace {

constexpr double kLineReach = 0.5;  // cells within this of a line lie on it, mm

// Calls each(x, y, station, across) for every foot cell (the scan's base cells), the station
// along the axis (t) and the offset across it (m) measured from landmark 3.
template <typename Each>
void for_each_foot_cell(const Scan &scan, GridDirection t, GridDirection m, Each each) {
    const Landmark &heel = scan.landmarks[3];
    for (int y = 0; y < kGridHeight; ++y) {
        const uint8_t *row = scan.base_grid + y * kGridWidth;
        const RowSpan span = foot_span(row);
        for (int x = span.first; x <= span.last; ++x) {
            if (row[x] == 0) continue;
            const double dc = x - heel.column, dr = y - heel.row;
            each(x, y, dc * t.column + dr * t.row, dc * m.column + dr * m.row);
        }
    }
}

// What the fit reads of the foot: its across extent on the heel line, its extent along the
// metatarsal line from landmark 0 (d), and its across extent at each whole station behind
// `hold` (stations from the foot's heel end).
struct FootMeasures {
    double heel_low = 1e9, heel_high = -1e9;
    double met_low = 1e9, met_high = -1e9;
    std::vector<OutlineFit::Edges> held;
};

FootMeasures measure_foot(const Scan &scan, GridDirection t, GridDirection m,
                          std::optional<GridDirection> d, double lowest, double hold) {
    const Landmark &head = scan.landmarks[0];
    FootMeasures f;
    f.held.assign(static_cast<size_t>(std::max(0.0, std::ceil(hold))), {1e9, -1e9});
    for_each_foot_cell(scan, t, m, [&](int x, int y, double s, double u) {
        if (std::fabs(s - kHeelLineMm) <= kLineReach)
            f.heel_low = std::min(f.heel_low, u), f.heel_high = std::max(f.heel_high, u);
        const long k = std::lround(s - lowest);
        if (k >= 0 && k < static_cast<long>(f.held.size())) {
            OutlineFit::Edges &e = f.held[static_cast<size_t>(k)];
            e.lateral = std::min(e.lateral, u), e.medial = std::max(e.medial, u);
        }
        if (!d) return;
        const double hc = x - head.column, hr = y - head.row;
        if (std::fabs(hr * d->column - hc * d->row) > kLineReach) return;
        const double along = hc * d->column + hr * d->row;
        f.met_low = std::min(f.met_low, along), f.met_high = std::max(f.met_high, along);
    });
    return f;
}

// The heel's middle on the foot's across the heel line, and its half width giving the nominal
// margin there within the bounds.
void fit_heel(OutlineFit &fit, const FootMeasures &f) {
    const double nominal = kHeelWidthShare / 2 * fit.length;
    fit.heel_half = nominal;
    if (f.heel_low > f.heel_high) return;
    fit.heel_middle = (f.heel_low + f.heel_high) / 2;
    const double reached = fit.shape(fit.heel_line).heel_lateral;
    if (reached < 0.2) return;  // a heel line in the heel's rounding says little of its width
    const double foot_half = (f.heel_high - f.heel_low) / 2;
    const double margin = std::clamp(nominal * reached - foot_half, kMinMarginMm, kMaxMarginMm);
    fit.heel_half = (foot_half + margin) / reached;
}

// Where the outline crosses the metatarsal line: the foot's two ends on it, each moved out by
// the margin along the line.
struct MetLine {
    GridPoint lateral, medial;  // the foot's ends
    double out_across;          // how far a millimetre out along the line moves across the axis
    double out_along;           // and along it, at the lateral end
};

// The ball's middle and half width that put the outline's edges `margin` beyond both ends, or
// (free_margin) the margin the nominal half width gives when centred. False when the line's
// crossings tell nothing (both in the heel, say).
bool solve_ball(OutlineFit &fit, const MetLine &line, double &margin, bool free_margin) {
    const double k = line.out_across;
    const OutlineFit::Shape l = fit.shape(fit.station(line.lateral) + margin * line.out_along);
    const OutlineFit::Shape m = fit.shape(fit.station(line.medial) - margin * line.out_along);
    const double hl = l.heel_lateral * fit.heel_half, hm = m.heel_medial * fit.heel_half;
    const double ul = fit.across(line.lateral) + (1 - l.to_ball) * -fit.heel_middle + hl;
    const double um = fit.across(line.medial) + (1 - m.to_ball) * -fit.heel_middle - hm;
    if (free_margin) {
        const double rl = ul + l.ball_lateral * fit.ball_half;
        const double rm = um - m.ball_medial * fit.ball_half;
        if (l.to_ball + m.to_ball < 0.5) return false;
        margin = (m.to_ball * rl - l.to_ball * rm) / (k * (l.to_ball + m.to_ball));
        return true;
    }
    const double rl = ul - margin * k, rm = um + margin * k;
    const double det = l.to_ball * m.ball_medial + m.to_ball * l.ball_lateral;
    if (det < 0.3) return false;
    const double half = (l.to_ball * rm - m.to_ball * rl) / det;
    if (!(half > 0)) return false;
    fit.ball_middle = (rl * m.ball_medial + l.ball_lateral * rm) / det;
    fit.ball_half = half;
    return true;
}

void fit_ball(OutlineFit &fit, const FootMeasures &f, const Scan &scan,
              std::optional<GridDirection> d) {
    fit.ball_half = kBallWidthShare / 2 * fit.length;
    fit.ball_middle = fit.heel_middle;
    if (!d || f.met_low > f.met_high) return;
    const Landmark &head = scan.landmarks[0];
    const GridPoint a{static_cast<float>(head.column + f.met_low * d->column),
                      static_cast<float>(head.row + f.met_low * d->row)};
    const GridPoint b{static_cast<float>(head.column + f.met_high * d->column),
                      static_cast<float>(head.row + f.met_high * d->row)};
    const bool a_lateral = fit.across(a) < fit.across(b);
    const GridDirection out = a_lateral ? GridDirection{-d->column, -d->row} : *d;
    const MetLine line{a_lateral ? a : b, a_lateral ? b : a,
                       -(out.column * fit.medial.column + out.row * fit.medial.row),
                       out.column * fit.toe_ward.column + out.row * fit.toe_ward.row};
    if (line.out_across < 0.3) return;  // a line nearly along the axis says little of widths
    const OutlineFit nominal = fit;
    double margin = kMinMarginMm;
    for (int pass = 0; pass < 2; ++pass) {
        OutlineFit centred = nominal;
        if (!solve_ball(centred, line, margin, true)) return;
        margin = std::clamp(margin, kMinMarginMm, kMaxMarginMm);
        if (!solve_ball(fit, line, margin, false)) return;
    }
}

}  // namespace

std::optional<OutlineFit> fit_outline(const Scan &scan, int length) {
    const FootAxis axis = foot_axis(scan);
    if (length <= 0 || !axis.toe_ward) return std::nullopt;
    const GridDirection t = *axis.toe_ward;
    const int side = medial_column_direction(scan);
    const GridDirection m{side * t.row, -side * t.column};
    const Landmark &l0 = scan.landmarks[0], &l1 = scan.landmarks[1];
    const double dc = l1.column - l0.column, dr = l1.row - l0.row, n = std::hypot(dc, dr);
    std::optional<GridDirection> d;
    if (n > 0) d = GridDirection{dc / n, dr / n};
    bool any = false;
    double lowest = 0;
    for_each_foot_cell(scan, t, m, [&](int, int, double s, double) {
        lowest = any ? std::min(lowest, s) : s;
        any = true;
    });
    if (!any) return std::nullopt;
    OutlineFit fit;
    fit.heel_end = {static_cast<float>(axis.heel.column + lowest * t.column),
                    static_cast<float>(axis.heel.row + lowest * t.row)};
    fit.toe_ward = t;
    fit.medial = m;
    fit.length = length;
    fit.heel_line = std::clamp(kHeelLineMm - lowest, 0.0, kBallStartShare * length - 1);
    // The heel cup reaches to the line through landmarks 2 and 4.
    double cup = fit.heel_line;
    for (int k : {2, 4})
        cup = std::max(cup, fit.station({scan.landmarks[k].column, scan.landmarks[k].row}));
    FootMeasures f = measure_foot(scan, t, m, d, lowest, std::min(cup, fit.heel_line + 40));
    fit_heel(fit, f);
    fit_ball(fit, f, scan, d);
    for (OutlineFit::Edges &e : f.held)
        if (e.lateral <= e.medial) e.lateral -= kMaxMarginMm, e.medial += kMaxMarginMm;
    fit.held = std::move(f.held);
    return fit;
}

uint8_t template_level(const uint8_t *template_grid) {
    int count[256] = {};
    for (int i = 0; i < kGridCells; ++i)
        ++count[template_grid[i]];
    int level = 0;
    for (int v = 1; v < 256; ++v)
        if (count[v] > 0 && (level == 0 || count[v] > count[level])) level = v;
    return static_cast<uint8_t>(level);
}

void mark_outline_cells(const OutlineFit &fit, uint8_t *mask) {
    const double low = std::min(fit.heel_middle - fit.heel_half, fit.ball_middle - fit.ball_half);
    const double high = std::max(fit.heel_middle + fit.heel_half, fit.ball_middle + fit.ball_half);
    double x0 = kGridWidth, x1 = -1, y0 = kGridHeight, y1 = -1;
    for (double s : {0.0, fit.length})
        for (double u : {low, high}) {
            const double x = fit.heel_end.column + s * fit.toe_ward.column + u * fit.medial.column;
            const double y = fit.heel_end.row + s * fit.toe_ward.row + u * fit.medial.row;
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    const int first_x = std::max(0, static_cast<int>(std::floor(x0)));
    const int last_x = std::min(kGridWidth - 1, static_cast<int>(std::ceil(x1)));
    const int first_y = std::max(0, static_cast<int>(std::floor(y0)));
    const int last_y = std::min(kGridHeight - 1, static_cast<int>(std::ceil(y1)));
    for (int y = first_y; y <= last_y; ++y)
        for (int x = first_x; x <= last_x; ++x)
            if (fit.contains({static_cast<float>(x), static_cast<float>(y)}))
                mask[y * kGridWidth + x] = 1;
}

void close_insole_blocks(uint8_t *mask) {
    auto at = [&](int x, int y) {
        return x >= 0 && x < kGridWidth && y >= 0 && y < kGridHeight &&
               mask[y * kGridWidth + x] != 0;
    };
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            if (!at(x, y)) continue;
            int best = -1, most = -1;
            bool whole = false;
            for (int k = 0; k < 4 && !whole; ++k) {
                const int bx = x - 1 + k % 2, by = y - 1 + k / 2;  // the block's lower-left cell
                if (bx < 0 || by < 0 || bx + 1 >= kGridWidth || by + 1 >= kGridHeight) continue;
                const int held = at(bx, by) + at(bx + 1, by) + at(bx, by + 1) + at(bx + 1, by + 1);
                whole = held == 4;
                if (held > most) best = k, most = held;
            }
            if (whole || best < 0) continue;
            const int bx = x - 1 + best % 2, by = y - 1 + best / 2;
            for (int c : {by * kGridWidth + bx, by * kGridWidth + bx + 1,
                          (by + 1) * kGridWidth + bx, (by + 1) * kGridWidth + bx + 1})
                mask[c] = 1;
        }
}

}  // namespace pedaform
