#include "import/foot_measures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pedaform {

namespace {

// 0, 1 or 2 for a row in the rear, middle or front third of the toe-less footprint (rows
// heel_row .. ball_end - 1), else -1.
int third_of(const FootRaster &r, int ball_end, int y) {
    const int length = ball_end - r.heel_row;
    if (y < r.heel_row || y >= ball_end || length <= 0) return -1;
    return std::min(2, 3 * (y - r.heel_row) / length);
}

struct Centre {
    double sx = 0, sy = 0, sw = 0;
    void add(int x, int y, double w) { sx += x * w, sy += y * w, sw += w; }
    bool any() const { return sw > 0; }
    double x() const { return sx / sw; }
    double y() const { return sy / sw; }
};

// The centre of the contact cells of rows y0..y1 and columns x0..x1, weighted by pressure
// (by_pressure) or by area; by area when they bear no pressure.
Centre centre_of(const FootRaster &r, int y0, int y1, double x0, double x1, bool by_pressure) {
    Centre area, load;
    for (int y = std::max(0, y0); y <= std::min(r.h - 1, y1); ++y)
        for (int x = 0; x < r.w; ++x) {
            if (!r.contact_at(x, y) || x < x0 || x > x1) continue;
            area.add(x, y, 1);
            load.add(x, y, r.pressure_at(x, y));
        }
    return by_pressure && load.any() ? load : area;
}

struct Thirds {
    int rear0, rear1, mid0, mid1, front0, front1;  // row ranges
};

Thirds thirds_of(const FootRaster &r, int ball_end) {
    Thirds t{};
    int *bounds[3][2] = {{&t.rear0, &t.rear1}, {&t.mid0, &t.mid1}, {&t.front0, &t.front1}};
    for (auto &b : bounds)
        *b[0] = r.h, *b[1] = -1;
    for (int y = r.heel_row; y < ball_end; ++y) {
        const int k = third_of(r, ball_end, y);
        *bounds[k][0] = std::min(*bounds[k][0], y), *bounds[k][1] = y;
    }
    return t;
}

RasterPoint nearest_contact(const FootRaster &r, double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) x = r.w / 2.0, y = (r.heel_row + r.toe_row) / 2.0;
    RasterPoint p{static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
    if (p.x >= 0 && p.x < r.w && p.y >= 0 && p.y < r.h && r.contact_at(p.x, p.y)) return p;
    double best = 1e30;
    RasterPoint found = p;
    for (int j = r.heel_row; j <= r.toe_row; ++j)
        for (int i = 0; i < r.w; ++i) {
            const double d = (i - x) * (i - x) + (j - y) * (j - y);
            if (r.contact_at(i, j) && d < best) best = d, found = {i, j};
        }
    return found;
}

// The contact's left and right edges on row y, or on the nearest row that has contact.
void row_edges(const FootRaster &r, int y, int &left, int &right) {
    for (int d = 0; d < r.h; ++d)
        for (const int yy : {y - d, y + d}) {
            if (yy < 0 || yy >= r.h) continue;
            left = r.w, right = -1;
            for (int x = 0; x < r.w; ++x)
                if (r.contact_at(x, yy)) left = std::min(left, x), right = x;
            if (right >= 0) return;
        }
}

// The rows' pressure summed across the contact, averaged over 9 rows (mm).
std::vector<double> row_load(const FootRaster &r) {
    std::vector<double> load(r.h, 0.0), smooth(r.h, 0.0);
    for (int y = r.heel_row; y <= r.toe_row; ++y)
        for (int x = 0; x < r.w; ++x)
            if (r.contact_at(x, y)) load[y] += r.pressure_at(x, y);
    constexpr int kHalf = 4;
    for (int y = r.heel_row; y <= r.toe_row; ++y) {
        int n = 0;
        for (int k = std::max(r.heel_row, y - kHalf); k <= std::min(r.toe_row, y + kHalf); ++k)
            smooth[y] += load[k], ++n;
        smooth[y] /= n;
    }
    return smooth;
}

// The row of the ball's highest load: in the front half, short of the toes' search end.
int ball_row(const FootRaster &r, const std::vector<double> &load) {
    const int length = r.toe_row - r.heel_row + 1;
    const int from = r.heel_row + length / 2;
    const int to = r.heel_row + static_cast<int>(kToeSearchTo * length);
    int ball = from;
    for (int y = from; y <= to; ++y)
        if (load[y] > load[ball]) ball = y;
    return ball;
}

double side_score(const FootRaster &r, const Thirds &t, int toe_line) {
    const Centre heel = centre_of(r, t.rear0, t.rear1, 0, r.w, false);
    const Centre front = centre_of(r, t.front0, t.front1, 0, r.w, false);
    if (!heel.any() || !front.any() || front.y() == heel.y()) return 0;
    auto axis_x = [&](double y) {
        return heel.x() + (front.x() - heel.x()) * (y - heel.y()) / (front.y() - heel.y());
    };
    const Centre mid = centre_of(r, t.mid0, t.mid1, 0, r.w, false);
    const Centre toes = centre_of(r, toe_line, r.toe_row, 0, r.w, true);
    const double mid_right = mid.any() ? mid.x() - axis_x(mid.y()) : 0;
    const double toes_right = toes.any() ? toes.x() - axis_x(toes.y()) : 0;
    return toes_right - mid_right;
}

// A head's pressure centre: around the highest contact cell of rows y0..y1, columns x0..x1,
// within kHeadRadiusMm of it (and of the window).
RasterPoint head_centre(const FootRaster &r, int y0, int y1, double x0, double x1) {
    int px = -1, py = -1;
    for (int y = std::max(0, y0); y <= std::min(r.h - 1, y1); ++y)
        for (int x = std::max(0, static_cast<int>(std::ceil(x0)));
             x <= std::min(r.w - 1, static_cast<int>(x1)); ++x)
            if (r.contact_at(x, y) && (px < 0 || r.pressure_at(x, y) > r.pressure_at(px, py)))
                px = x, py = y;
    if (px < 0) return nearest_contact(r, (x0 + x1) / 2, (y0 + y1) / 2.0);
    Centre c;
    const int reach = static_cast<int>(kHeadRadiusMm);
    for (int y = std::max(y0, py - reach); y <= std::min(y1, py + reach); ++y)
        for (int x = std::max(px - reach, static_cast<int>(std::ceil(x0)));
             x <= std::min<int>(px + reach, static_cast<int>(x1)); ++x)
            if (r.contact_at(x, y) && (x - px) * (x - px) + (y - py) * (y - py) <= reach * reach)
                c.add(x, y, r.pressure_at(x, y));
    return c.any() ? nearest_contact(r, c.x(), c.y()) : RasterPoint{px, py};
}

void find_landmarks(const FootRaster &r, const Thirds &t, RasterPoint (&lm)[5]) {
    const Centre heel = centre_of(r, t.rear0, t.rear1, 0, r.w, true);
    lm[3] = nearest_contact(r, heel.x(), heel.y());
    double left = r.w, right = -1;
    for (int y = t.front0; y <= t.front1; ++y)
        for (int x = 0; x < r.w; ++x)
            if (r.contact_at(x, y))
                left = std::min<double>(left, x), right = std::max<double>(right, x);
    const double cut = (right - left) / 3;
    lm[0] = head_centre(r, t.front0, t.front1, left, left + cut);
    lm[1] = head_centre(r, t.front0, t.front1, right - cut, right);
    const double heel_y = heel.any() ? heel.y() : r.heel_row;
    const int sides_row = std::clamp(static_cast<int>(std::lround(heel_y + kHeelSidesAheadMm)),
                                     r.heel_row, r.toe_row);
    int edge_left = 0, edge_right = 0;
    row_edges(r, sides_row, edge_left, edge_right);
    const double inset = std::min(kHeelSidesInsetMm, (edge_right - edge_left) / 2.0);
    lm[2] = nearest_contact(r, edge_left + inset, sides_row);
    lm[4] = nearest_contact(r, edge_right - inset, sides_row);
}

}  // namespace

int find_toe_line(const FootRaster &r) {
    const std::vector<double> load = row_load(r);
    const int length = r.toe_row - r.heel_row + 1;
    const int from = r.heel_row + static_cast<int>(kToeSearchFrom * length);
    const int to = r.heel_row + static_cast<int>(kToeSearchTo * length);
    int valley = -1;
    for (int y = from; y <= to; ++y)
        if (valley < 0 || load[y] < load[valley]) valley = y;
    if (valley < 0) return r.toe_row + 1;
    const double toes = *std::max_element(load.begin() + valley, load.begin() + r.toe_row + 1);
    if (load[valley] < kToeValleyShare * toes) return valley;
    // Toes that pressed too lightly for a valley: the ball's load falls away well before the
    // contact ends.
    const int ball = ball_row(r, load);
    for (int y = ball; y <= r.toe_row; ++y)
        if (load[y] < kBallEdgeShare * load[ball])
            return r.toe_row + 1 - y >= kMinToesMm ? y : r.toe_row + 1;
    return r.toe_row + 1;
}

int toe_less_end(const FootRaster &r, int toe_line) {
    for (int y = std::min(toe_line, r.toe_row + 1) - 1; y >= r.heel_row; --y)
        for (int x = 0; x < r.w; ++x)
            if (r.contact_at(x, y)) return y + 1;
    return r.heel_row;
}

double arch_index(const FootRaster &r, int toe_line) {
    const int ball_end = toe_less_end(r, toe_line);
    long area[3] = {0, 0, 0};
    for (int y = r.heel_row; y < ball_end; ++y) {
        const int k = third_of(r, ball_end, y);
        for (int x = 0; x < r.w; ++x)
            area[k] += r.contact_at(x, y);
    }
    const long total = area[0] + area[1] + area[2];
    return total > 0 ? static_cast<double>(area[1]) / total : 0.0;
}

FootMeasures measure_foot(const FootRaster &r) {
    FootMeasures m;
    if (r.empty()) return m;
    int left = r.w, right = -1;
    long cells = 0;
    for (int y = r.heel_row; y <= r.toe_row; ++y)
        for (int x = 0; x < r.w; ++x)
            if (r.contact_at(x, y)) left = std::min(left, x), right = std::max(right, x), ++cells;
    m.length_mm = r.toe_row - r.heel_row + 1;
    m.width_mm = right - left + 1;
    m.area_cm2 = cells / 100.0;
    m.toe_line = find_toe_line(r);
    m.arch_index = arch_index(r, m.toe_line);
    const Thirds t = thirds_of(r, toe_less_end(r, m.toe_line));
    const Centre heel = centre_of(r, t.rear0, t.rear1, 0, r.w, false);
    const Centre fore = centre_of(r, t.front0, t.front1, 0, r.w, false);
    if (heel.any() && fore.any())
        m.heel_x = heel.x(), m.heel_y = heel.y(), m.fore_x = fore.x(), m.fore_y = fore.y();
    m.side_score_mm = side_score(r, t, m.toe_line);
    m.side = m.side_score_mm >= 0 ? FootSide::kLeft : FootSide::kRight;
    find_landmarks(r, t, m.landmarks);
    return m;
}

}  // namespace pedaform
