// Where the two insoles of a pair stand on the printer's bed in one 3MF file: side by side, the
// left foot's on the left, kPairGapMm apart where they come nearest, the pair centred on the bed
// and, where that makes them fit, both turned by the same angle of up to kMaxTurnDegrees. The
// placement is each build item's transform; the meshes keep their grid coordinates (one cell is
// 1 mm, model3d/print_3mf.h).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model3d/mesh.h"

namespace pedaform {

// The printable area, millimetres: x across (width), y front to back (depth).
struct BedSize {
    double width = 256;
    double depth = 256;
};
// The bed sizes the front ends take, mm.
constexpr double kMinBedMm = 50, kMaxBedMm = 2000;
constexpr double kPairGapMm = 10.0;
constexpr double kMaxTurnDegrees = 45.0;

// A build item's placement: the mesh turned by `degrees` about the z axis (counter-clockwise
// seen from above), then moved by (x, y) mm.
struct ItemPlacement {
    double degrees = 0;
    double x = 0, y = 0;
};
Vertex placed(const ItemPlacement &placement, const Vertex &v);
// The 3MF "transform" attribute of the placement: "m00 m01 m02 m10 m11 m12 m20 m21 m22 m30 m31
// m32" for row vectors, (x y z 1) x M.
std::string placement_transform(const ItemPlacement &placement);

// Places the feet whose meshes' vertices are `points` (left, right; z is ignored): the smallest
// turn in whole degrees, tried 0, +1, -1, +2, ... up to kMaxTurnDegrees, with which the pair's
// bounding box fits within the bed. The gap is worked out on 1 mm bands across the feet (y):
// the right foot moves right until each of its bands lies, along x, sqrt(g² - (k - 1)²) right of
// the left foot's band k bands away (g = kPairGapMm, k <= g + 1, and g itself for k = 0), so
// that no two points come nearer than g and, where the feet's facing edges are straight, not
// much further. The feet are centred on each other front to back. None when no turn fits them.
std::optional<std::array<ItemPlacement, 2>> place_pair_on_bed(
    const std::array<std::vector<Vertex>, 2> &points, const BedSize &bed);

}  // namespace pedaform
