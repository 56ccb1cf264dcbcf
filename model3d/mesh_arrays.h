// The 3D view's relief surface as vertex and index arrays, ready for buffer objects: the two
// triangles of every drawn cell, drawn with smooth shading. The top of the insole is lit by
// normals averaged over the neighbouring cells, so that its 0.2 mm height levels read as the
// slope they step along rather than as terraces; the wall where the insole drops to the floor
// keeps normals of its own, so that the top's edge stays sharp.
// Cell (row r, column c) maps to the model point (r, relief / 5, c); rows run along x, columns
// along z, heights along y.
#pragma once

#include <cstdint>

#include "core/grid.h"
#include "model3d/surface_cells.h"

namespace pedaform {

constexpr int kMaxMeshTriangles = 2 * (kGridWidth - 1) * (kGridHeight - 1);  // 106,982
constexpr int kMaxMeshIndices = 3 * kMaxMeshTriangles;
// Two vertices per grid point: one for the top triangles it is a corner of, one for the wall
// triangles (see build_surface_arrays).
constexpr int kMeshVertices = 2 * kGridCells;
// Floats per vertex: position x, y, z; the unit normal x, y, z; colour R, G, B in 0..1.
constexpr int kMeshVertexFloats = 9;

// The base colour of the surface when pressure colours are off.
constexpr float kSurfaceColour[3] = {1.0f, 1.0f, 0.8f};

// The drawn cells: mesh_cell_drawn (surface_cells.h).

// The surface of one cell: corners P1 = (r, relief[r][c] / 5, c), P2 = (r+1, ., c),
// P3 = (r+1, ., c+1), P4 = (r, ., c+1), and the normals of its two triangles P1 P2 P3 and
// P3 P4 P1: (P3 - P1) x (P2 - P1) and (P4 - P1) x (P3 - P1), not normalised.
struct CellQuad {
    float p[4][3];
    float n1[3];
    float n2[3];
};
CellQuad cell_quad(const uint8_t *relief, int r, int c);

// A top cell: all four corners are of the foot. A triangle of a drawn cell with a corner below
// the foot is a wall triangle, where the surface drops toward the floor; the others are top
// triangles.
inline bool mesh_cell_top(const uint8_t *relief, int r, int c) {
    const int i = r * kGridWidth + c;
    return relief[i] >= kFootThreshold && relief[i + kGridWidth] >= kFootThreshold &&
           relief[i + kGridWidth + 1] >= kFootThreshold && relief[i + 1] >= kFootThreshold;
}

// How far the top normals average: the 6 x 6 cells around a grid point (rows and columns
// -3 .. +2 of the point's own), each weighted by the product of its row's and its column's
// weight, 1 2 3 3 2 1 from the farthest to the nearest and back. On a flat top, a 0.2 mm step
// between two columns thus tilts the normals of the six nearest columns of points, three on
// either side, by 1 2 3 3 2 1 twelfths of its slope: the light turns over them gradually.
constexpr int kNormalReach = 3;
constexpr int kNormalWeights[2 * kNormalReach] = {1, 2, 3, 3, 2, 1};

// Fills `vertices` (kMeshVertices vertices) and `indices` (room for kMaxMeshIndices) for the
// surface of `relief` (kGridCells heights) and returns the number of indices: for every drawn
// cell, rows outer and columns inner, its triangles P1 P2 P3 and P3 P4 P1 (cell_quad's
// corners). Grid point i (cell_quad's position) has two vertices, both in the colour of cell i:
// kSurfaceColour, or with `colours` (kGridCells R, G, B triples) that cell's colour / 255.
//  - 2 i, the corner of top triangles: the unit normal (-sx, 1, -sz) normalised, sx and sz the
//    weighted mean slopes (mm per cell, along the rows and along the columns) of the top cells
//    around the point (kNormalWeights), a cell's slope being the mean of its two edges' in
//    that direction; (0, 1, 0) when no top cell is near.
//  - 2 i + 1, the corner of wall triangles: the unit sum of cell_quad's normals (n1, n2) of
//    the wall triangles of the cells around the point, weighted alike, so that the wall along
//    a stepped outline reads as one wall; the top normal at a point of no wall triangle.
// Only writes; both arrays may be mapped buffer memory.
int build_surface_arrays(const uint8_t *relief, const uint8_t *colours, float *vertices,
                         uint32_t *indices);

}  // namespace pedaform
