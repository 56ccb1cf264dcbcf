#include "import/foot_raster.h"

#include <algorithm>
#include <cmath>

#include "import/binary_morphology.h"

namespace pedaform {

namespace {

struct Vec {
    double x, y;
};

double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}

// A member sensel's centre in millimetres from the window's corner: x across the columns, y
// down the rows.
Vec centre_of(const Footprint &f, int k, double rp, double cp) {
    return {(k % f.cols + 0.5) * cp, (k / f.cols + 0.5) * rp};
}

// The centroid and the principal axis of the member sensels' centres.
void principal_axis(const Footprint &f, double rp, double cp, Vec &centre, Vec &axis) {
    double n = 0, sx = 0, sy = 0;
    for (size_t k = 0; k < f.member.size(); ++k)
        if (f.member[k]) {
            const Vec p = centre_of(f, static_cast<int>(k), rp, cp);
            n += 1, sx += p.x, sy += p.y;
        }
    centre = {sx / n, sy / n};
    double sxx = 0, syy = 0, sxy = 0;
    for (size_t k = 0; k < f.member.size(); ++k)
        if (f.member[k]) {
            const Vec p = centre_of(f, static_cast<int>(k), rp, cp);
            const double dx = p.x - centre.x, dy = p.y - centre.y;
            sxx += dx * dx, syy += dy * dy, sxy += dx * dy;
        }
    const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    axis = {std::cos(angle), std::sin(angle)};
}

// +1 when the footprint's end toward -axis was loaded first (the heel lies there), -1 when the
// end toward +axis was, 0 when the timing does not tell.
int heel_by_timing(const Footprint &f, double rp, double cp, Vec centre, Vec axis) {
    double tmin = 1e30, tmax = -1e30;
    for (size_t k = 0; k < f.member.size(); ++k)
        if (f.member[k]) {
            const Vec p = centre_of(f, static_cast<int>(k), rp, cp);
            const double t = dot({p.x - centre.x, p.y - centre.y}, axis);
            tmin = std::min(tmin, t), tmax = std::max(tmax, t);
        }
    const double third = (tmax - tmin) / 3;
    double rear = 0, front = 0;
    int nrear = 0, nfront = 0;
    for (size_t k = 0; k < f.member.size(); ++k) {
        if (!f.member[k] || f.first_loaded[k] < 0) continue;
        const Vec p = centre_of(f, static_cast<int>(k), rp, cp);
        const double t = dot({p.x - centre.x, p.y - centre.y}, axis);
        if (t < tmin + third) rear += f.first_loaded[k], ++nrear;
        if (t > tmax - third) front += f.first_loaded[k], ++nfront;
    }
    if (nrear == 0 || nfront == 0) return 0;
    rear /= nrear, front /= nfront;
    if (std::fabs(rear - front) < kHeelLeadFrames) return 0;
    return rear < front ? 1 : -1;
}

}  // namespace

// Y runs along the frame (heel to toe) and X to its right as seen from above: the recording's
// y grows down its rows, so the right of `along` is (-along.y, along.x).
FootRaster sample_footprint(const Footprint &f, double rp, double cp, const FootFrame &frame) {
    const Vec centre{frame.centre_x, frame.centre_y}, along{frame.along_x, frame.along_y};
    const Vec across{-along.y, along.x};
    double xmin = 1e30, xmax = -1e30, ymin = 1e30, ymax = -1e30;
    for (size_t k = 0; k < f.member.size(); ++k)
        if (f.member[k]) {
            const Vec p = centre_of(f, static_cast<int>(k), rp, cp);
            const Vec d{p.x - centre.x, p.y - centre.y};
            xmin = std::min(xmin, dot(d, across)), xmax = std::max(xmax, dot(d, across));
            ymin = std::min(ymin, dot(d, along)), ymax = std::max(ymax, dot(d, along));
        }
    const double reach = 0.5 * std::hypot(rp, cp) + kRasterPadMm;
    const double x0 = std::floor(xmin - reach), y0 = std::floor(ymin - reach);
    FootRaster out;
    out.w = static_cast<int>(std::ceil(xmax + reach) - x0);
    out.h = static_cast<int>(std::ceil(ymax + reach) - y0);
    out.contact.assign(static_cast<size_t>(out.w) * out.h, 0);
    out.pressure.assign(out.contact.size(), 0.0f);
    const std::vector<float> member(f.member.begin(), f.member.end());
    for (int j = 0; j < out.h; ++j)
        for (int i = 0; i < out.w; ++i) {
            const double x = x0 + i + 0.5, y = y0 + j + 0.5;
            const double px = centre.x + x * across.x + y * along.x;
            const double py = centre.y + x * across.y + y * along.y;
            const double row = py / rp - 0.5, col = px / cp - 0.5;
            const size_t k = static_cast<size_t>(j) * out.w + i;
            out.contact[k] = bilinear(member.data(), f.rows, f.cols, row, col) >= 0.5f;
            out.pressure[k] = bilinear(f.peak.data(), f.rows, f.cols, row, col);
        }
    close_disc(MaskGrid{out.w, out.h, 1, 1}, out.contact.data(), kContactCloseMm);
    out.heel_row = out.h, out.toe_row = -1;
    for (int j = 0; j < out.h; ++j)
        for (int i = 0; i < out.w; ++i)
            if (out.contact_at(i, j)) out.heel_row = std::min(out.heel_row, j), out.toe_row = j;
    out.heel_from_timing = frame.heel_from_timing;
    return out;
}

namespace {

// The widest part of the contact (rows' contact counted over 9 mm) lies in the front half.
bool widest_in_front(const FootRaster &r) {
    std::vector<int> width(r.h, 0);
    for (int j = 0; j < r.h; ++j)
        for (int i = 0; i < r.w; ++i)
            width[j] += r.contact_at(i, j);
    int best = r.heel_row, best_sum = -1;
    for (int j = r.heel_row; j <= r.toe_row; ++j) {
        int sum = 0;
        for (int k = std::max(0, j - 4); k <= std::min(r.h - 1, j + 4); ++k)
            sum += width[k];
        if (sum > best_sum) best_sum = sum, best = j;
    }
    return 2 * best > r.heel_row + r.toe_row;
}

}  // namespace

float bilinear(const float *map, int rows, int cols, double row, double col) {
    const double r0 = std::floor(row), c0 = std::floor(col);
    const double fr = row - r0, fc = col - c0;
    auto at = [&](double r, double c) -> double {
        if (r < 0 || c < 0 || r >= rows || c >= cols) return 0;
        return map[static_cast<size_t>(r) * cols + static_cast<size_t>(c)];
    };
    const double top = at(r0, c0) * (1 - fc) + at(r0, c0 + 1) * fc;
    const double bottom = at(r0 + 1, c0) * (1 - fc) + at(r0 + 1, c0 + 1) * fc;
    return static_cast<float>(top * (1 - fr) + bottom * fr);
}

FootFrame turned(const FootFrame &frame, double degrees) {
    const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    FootFrame t = frame;
    // along' = cos a along + sin a across, across = (-along.y, along.x).
    t.along_x = c * frame.along_x - s * frame.along_y;
    t.along_y = c * frame.along_y + s * frame.along_x;
    return t;
}

FootFrame find_foot_frame(const Footprint &f, double rp, double cp, RecordingLayout layout) {
    Vec centre{0, 0}, axis{0, 1};
    principal_axis(f, rp, cp, centre, axis);
    FootFrame frame{centre.x, centre.y, axis.x, axis.y, false};
    if (layout == RecordingLayout::kInShoe) {
        // The toes toward row 1: the heel-to-toe direction climbs toward lower rows.
        if (axis.y > 0) frame.along_x = -axis.x, frame.along_y = -axis.y;
        return frame;
    }
    if (const int heel = heel_by_timing(f, rp, cp, centre, axis); heel != 0) {
        frame.along_x = heel * axis.x, frame.along_y = heel * axis.y;
        frame.heel_from_timing = true;
        return frame;
    }
    if (!widest_in_front(sample_footprint(f, rp, cp, frame)))
        frame.along_x = -axis.x, frame.along_y = -axis.y;
    return frame;
}

}  // namespace pedaform
