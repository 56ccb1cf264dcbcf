#include "order/axis_profile.h"

#include <algorithm>
#include <cmath>

namespace pedaform {

AxisProfile axis_profile(const uint8_t *relief, const Landmark (&landmarks)[5]) {
    AxisProfile profile;
    const Landmark &heel = landmarks[3];
    const double mid_column = (landmarks[0].column + landmarks[1].column) / 2.0;
    const double mid_row = (landmarks[0].row + landmarks[1].row) / 2.0;
    const double length = std::hypot(mid_column - heel.column, mid_row - heel.row);
    if (!(length > 0)) return profile;
    const double dc = (mid_column - heel.column) / length, dr = (mid_row - heel.row) / length;
    // Any point of the grid lies within its diagonal of the heel centre.
    const int reach = static_cast<int>(std::ceil(std::hypot(kGridWidth, kGridHeight)));
    auto height_at = [&](int t) {
        const long column = std::lround(heel.column + t * dc), row = std::lround(heel.row + t * dr);
        if (column < 0 || column >= kGridWidth || row < 0 || row >= kGridHeight) return -1;
        return static_cast<int>(relief[row * kGridWidth + column]);
    };
    int first = reach + 1, last = -reach - 1;
    for (int t = -reach; t <= reach; ++t)
        if (height_at(t) > 0) {
            if (t < first) first = t;
            last = t;
        }
    if (last < first) return profile;
    for (int t = first; t <= last; ++t)
        profile.thickness_mm.push_back(std::max(0, height_at(t)) * kMmPerGreyLevel);
    profile.heel_mm = -first;
    profile.heads_mm = length - first;
    return profile;
}

}  // namespace pedaform
