#include "model3d/bed_placement.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace pedaform {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Box {
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0;
    double x1 = -std::numeric_limits<double>::infinity(), y1 = x1;
    void add(double x, double y) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
};

// One foot turned: its points' x and y, and their box.
struct Turned {
    std::vector<double> x, y;
    Box box;
};

void turn(const std::vector<Vertex> &points, double degrees, Turned &out) {
    const double c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    out.x.resize(points.size());
    out.y.resize(points.size());
    out.box = Box();
    for (size_t k = 0; k < points.size(); ++k) {
        out.x[k] = points[k].x * c - points[k].y * s;
        out.y[k] = points[k].x * s + points[k].y * c;
        out.box.add(out.x[k], out.y[k]);
    }
}

// How far right of the left foot the right foot must move (its y moved by `dy`) for the gap.
double shift_for_gap(const Turned &left, const Turned &right, double dy) {
    const double y0 = std::min(left.box.y0, right.box.y0 + dy);
    const double y1 = std::max(left.box.y1, right.box.y1 + dy);
    const size_t bands = static_cast<size_t>(std::floor(y1 - y0)) + 1;
    const double none = std::numeric_limits<double>::infinity();
    std::vector<double> left_max(bands, -none), right_min(bands, none);
    for (size_t k = 0; k < left.x.size(); ++k) {
        double &m = left_max[static_cast<size_t>(left.y[k] - y0)];
        m = std::max(m, left.x[k]);
    }
    for (size_t k = 0; k < right.x.size(); ++k) {
        double &m = right_min[static_cast<size_t>(right.y[k] + dy - y0)];
        m = std::min(m, right.x[k]);
    }
    // Points in bands k apart lie at least k - 1 apart along y, so that x must part them by
    // sqrt(gap² - (k - 1)²) at most; bands more than the gap + 1 apart need nothing.
    const long window = static_cast<long>(std::ceil(kPairGapMm)) + 1;
    double shift = left.box.x1 + kPairGapMm - right.box.x0;
    bool any = false;
    for (long b = 0; b < static_cast<long>(bands); ++b) {
        if (right_min[b] == none) continue;
        for (long n = std::max(0L, b - window); n <= b + window && n < static_cast<long>(bands);
             ++n) {
            if (left_max[n] == -none) continue;
            const double apart = std::max(0L, std::labs(n - b) - 1);
            const double across = std::sqrt(std::max(0.0, kPairGapMm * kPairGapMm - apart * apart));
            const double need = left_max[n] + across - right_min[b];
            shift = any ? std::max(shift, need) : need;
            any = true;
        }
    }
    return shift;
}

}  // namespace

Vertex placed(const ItemPlacement &p, const Vertex &v) {
    const double c = std::cos(p.degrees * kPi / 180), s = std::sin(p.degrees * kPi / 180);
    return {static_cast<float>(v.x * c - v.y * s + p.x),
            static_cast<float>(v.x * s + v.y * c + p.y), v.z};
}

std::string placement_transform(const ItemPlacement &p) {
    const double c = std::cos(p.degrees * kPi / 180), s = std::sin(p.degrees * kPi / 180);
    const double m[12] = {c, s, 0, -s, c, 0, 0, 0, 1, p.x, p.y, 0};
    std::string text;
    for (double v : m) {
        char buffer[32];
        const std::to_chars_result r =
            std::to_chars(buffer, buffer + sizeof buffer, v == 0 ? 0 : v);
        if (!text.empty()) text += ' ';
        text.append(buffer, r.ptr);
    }
    return text;
}

std::optional<std::array<ItemPlacement, 2>> place_pair_on_bed(
    const std::array<std::vector<Vertex>, 2> &points, const BedSize &bed) {
    if (points[0].empty() || points[1].empty()) return std::nullopt;
    Turned left, right;
    for (int step = 0; step <= 2 * static_cast<int>(kMaxTurnDegrees); ++step) {
        const double degrees = (step + 1) / 2 * (step % 2 == 1 ? 1 : -1);
        turn(points[0], degrees, left);
        turn(points[1], degrees, right);
        const double dy = (left.box.y0 + left.box.y1 - right.box.y0 - right.box.y1) / 2;
        const double dx = shift_for_gap(left, right, dy);
        Box both = left.box;
        both.add(right.box.x0 + dx, right.box.y0 + dy);
        both.add(right.box.x1 + dx, right.box.y1 + dy);
        if (both.x1 - both.x0 > bed.width || both.y1 - both.y0 > bed.depth) continue;
        const double x = bed.width / 2 - (both.x0 + both.x1) / 2;
        const double y = bed.depth / 2 - (both.y0 + both.y1) / 2;
        return std::array<ItemPlacement, 2>{ItemPlacement{degrees, x, y},
                                            ItemPlacement{degrees, x + dx, y + dy}};
    }
    return std::nullopt;
}

}  // namespace pedaform
