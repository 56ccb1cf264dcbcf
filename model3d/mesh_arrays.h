// The 3D view's relief surface as vertex and index arrays, ready for buffer objects: the two
// triangles of every drawn cell, each with its own normal and its cell's colour, drawn with
// flat shading.
// Cell (row r, column c) maps to the model point (r, relief / 5, c); rows run along x, columns
// along z, heights along y.
#pragma once

#include <cstdint>

#include "core/grid.h"
#include "model3d/surface_cells.h"

namespace pedaform {

constexpr int kMaxMeshTriangles = 2 * (kGridWidth - 1) * (kGridHeight - 1);  // 106,982
constexpr int kMaxMeshIndices = 3 * kMaxMeshTriangles;
// Two vertices per grid point: flat shading takes a triangle's colour from its last vertex,
// and each point is the last vertex of at most two triangles (see build_surface_arrays).
constexpr int kMeshVertices = 2 * kGridCells;
// Floats per vertex: position x, y, z; the normal x, y, z of the triangle it ends; colour R, G,
// B in 0..1.
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

// Fills `vertices` (kMeshVertices vertices) and `indices` (room for kMaxMeshIndices) for the
// surface of `relief` (kGridCells heights) and returns the number of indices: for every drawn
// cell, rows outer and columns inner, its triangles P1 P2 P3 and P3 P4 P1 as cell_quad gives
// them. Grid point i has vertices 2 i, the last of triangle P1 P2 P3 of the cell whose P3 it
// is, and 2 i + 1, the last of triangle P3 P4 P1 of the cell whose P1 it is; each carries that
// triangle's normal and its cell's colour: kSurfaceColour, or with `colours` (kGridCells R, G,
// B triples) the cell's colour / 255. Only writes; both arrays may be mapped buffer memory.
int build_surface_arrays(const uint8_t *relief, const uint8_t *colours, float *vertices,
                         uint32_t *indices);

}  // namespace pedaform
