#include "relief/posts.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "relief/foot_axis.h"
#include "relief/orthotics.h"

namespace pedaform {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Where a cell stands: across the foot's axis and behind the metatarsal line, in mm.
struct PostFrame {
    GridPoint heel;           // landmark 3, the axis's heel end
    GridDirection medial;     // unit, square to the axis, toward the first head's side
    Landmark head;            // landmark 0, on the metatarsal line
    GridDirection heel_ward;  // unit normal of the metatarsal line, toward the heel
    double seat = 0;          // how far the heel seat's line lies behind it, at its middle

    double across(int x, int y) const {
        return medial.column * (x - heel.column) + medial.row * (y - heel.row);
    }
    double behind(double x, double y) const {
        return heel_ward.column * (x - head.column) + heel_ward.row * (y - head.row);
    }
};

std::optional<PostFrame> post_frame(const Scan &scan) {
    const FootAxis axis = foot_axis(scan);
    const Landmark *l = scan.landmarks;
    const std::optional<GridDirection> n = heel_ward_normal(scan, l[0], l[1]);
    if (!axis.toe_ward || !n) return std::nullopt;
    PostFrame f;
    f.heel = axis.heel;
    f.medial = {-axis.toe_ward->row, axis.toe_ward->column};
    if (f.medial.column * medial_column_direction(scan) < 0)
        f.medial = {-f.medial.column, -f.medial.row};
    f.head = l[0];
    f.heel_ward = *n;
    f.seat = f.behind((l[2].column + l[4].column) / 2.0, (l[2].row + l[4].row) / 2.0);
    return f;
}

// The rearfoot's share: 1 at and behind the heel seat's line, 0 at and ahead of the
// metatarsal line; none for a seat on or ahead of that line.
double rearfoot_share(const PostFrame &f, int x, int y) {
    return f.seat > 0 ? smoothstep(f.behind(x, y) / f.seat) : 0;
}

double forefoot_share(const PostFrame &f, int x, int y) {
    return smoothstep((kForefootPostFallMm - f.behind(x, y)) / kForefootPostFallMm);
}

// The tilt of `degrees` about the axis, times each insole cell's share; the low border is the
// lowest cell of those with the full share.
void tilt(const LayerInputs &in, float (&layer)[kGridCells], float degrees,
          double (*share)(const PostFrame &, int, int)) {
    std::memset(layer, 0, sizeof layer);
    const std::optional<PostFrame> f = post_frame(in.scan);
    if (degrees == 0.0f || !f) return;
    const double sign = degrees > 0 ? 1 : -1;
    const double per_mm = std::tan(std::fabs(degrees) * kPi / 180.0) * kGreyLevelsPerMm;
    // The low border: the least of sign x across over the cells with the full share.
    double low = 0;
    bool any = false;
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (in.insole(x, y) && share(*f, x, y) >= 1) {
                const double s = sign * f->across(x, y);
                low = any ? std::fmin(low, s) : s;
                any = true;
            }
    if (!any) return;
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x) {
            if (!in.insole(x, y)) continue;
            const double rise = std::fmax(0, sign * f->across(x, y) - low);
            layer[y * kGridWidth + x] = static_cast<float>(per_mm * rise * share(*f, x, y));
        }
}

}  // namespace

void build_rearfoot_post_layer(const LayerInputs &in, float (&layer)[kGridCells], float degrees) {
    tilt(in, layer, degrees, rearfoot_share);
}

void build_forefoot_post_layer(const LayerInputs &in, float (&layer)[kGridCells], float degrees) {
    tilt(in, layer, degrees, forefoot_share);
}

void build_heel_lift_layer(const LayerInputs &in, float (&layer)[kGridCells], float mm) {
    std::memset(layer, 0, sizeof layer);
    const std::optional<PostFrame> f = post_frame(in.scan);
    if (mm == 0.0f || !f) return;
    const double full = mm * static_cast<double>(kGreyLevelsPerMm);
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (in.insole(x, y))
                layer[y * kGridWidth + x] = static_cast<float>(full * rearfoot_share(*f, x, y));
}

}  // namespace pedaform
