// Fewer triangles for a height surface, within a stated vertical error.
#pragma once

#include <cstdint>
#include <vector>

#include "model3d/mesh.h"

namespace pedaform {

// The exact surface a simplification must stay near: one height per point of a lattice whose
// point (i, j) stands at (origin_x + i, origin_y + j) mm, row by row.
struct LatticeHeights {
    int width = 0, height = 0;  // points
    float origin_x = 0, origin_y = 0;
    const float *z = nullptr;  // mm
};

// Removes vertices of the surface `triangles` (indices into `vertices`) by collapsing each into
// a neighbour while
//  - every lattice point under the surface keeps its exact height within `tolerance` mm,
//    measured vertically (which bounds the distance to the surface from above);
//  - every triangle still faces up with positive area seen from above, so the surface stays
//    a height field over the same footprint;
//  - vertices with `locked[v]` (the border, where side walls meet the surface) stay, so the
//    surface keeps every border edge and a solid built around it stays closed.
// The triangles must face up, cover the footprint once, and have every lattice point of the
// footprint as a vertex (at most 0.01 mm off, as pinched corners are) with the lattice's height.
// Their order after the call follows the original order of the survivors. Tolerance 0 merges
// only exactly coplanar triangles.
void simplify_height_surface(const std::vector<Vertex> &vertices,
                             const std::vector<uint8_t> &locked, const LatticeHeights &lattice,
                             double tolerance, std::vector<Triangle> &triangles);

}  // namespace pedaform
