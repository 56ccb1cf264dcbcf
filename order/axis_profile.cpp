#include "order/axis_profile.h"

#include <algorithm>
#include <cmath>

namespace pedaform {

AxisProfile axis_profile(const uint8_t *relief, const FootAxis &axis) {
    AxisProfile profile;
    if (!axis.toe_ward) return profile;
    const GridPoint heel = axis.heel;
    const double length = std::hypot(axis.heads.column - heel.column, axis.heads.row - heel.row);
    const double dc = axis.toe_ward->column, dr = axis.toe_ward->row;
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
