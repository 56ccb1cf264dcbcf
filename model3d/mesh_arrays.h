// The 3D view's relief surface as one interleaved vertex array: the triangles of every drawn
// cell, with per-triangle normals and per-cell colours, ready for a vertex buffer.
// Cell (row r, column c) maps to the model point (r, relief / 5, c); rows run along x, columns
// along z, heights along y.
#pragma once

#include <cstdint>

#include "workspace/workspace.h"

namespace pedaform {

constexpr int kMaxMeshTriangles = 2 * (kGridWidth - 1) * (kGridHeight - 1);  // 106,982
constexpr int kMaxMeshVertices = 3 * kMaxMeshTriangles;
// Floats per vertex: position x, y, z; the triangle's normal x, y, z (repeated over its three
// vertices); colour R, G, B in 0..1.
constexpr int kMeshVertexFloats = 9;

// The base colour of the surface when pressure colours are off.
constexpr float kSurfaceColour[3] = {1.0f, 1.0f, 0.8f};

// A cell is drawn unless all four corners (r, c), (r+1, c), (r+1, c+1), (r, c+1) are below 10.
inline bool mesh_cell_drawn(const uint8_t *relief, int r, int c) {
    const int i = r * kGridWidth + c;
    return relief[i] >= kFootThreshold || relief[i + kGridWidth] >= kFootThreshold ||
           relief[i + kGridWidth + 1] >= kFootThreshold || relief[i + 1] >= kFootThreshold;
}

// The surface of one cell: corners P1 = (r, relief[r][c] / 5, c), P2 = (r+1, ., c),
// P3 = (r+1, ., c+1), P4 = (r, ., c+1), and the normals of its two triangles P1 P2 P3 and
// P3 P4 P1: (P3 - P1) x (P2 - P1) and (P4 - P1) x (P3 - P1), not normalised.
struct CellQuad {
    float p[4][3];
    float n1[3];
    float n2[3];
};
CellQuad cell_quad(const uint8_t *relief, int r, int c);

// Writes the vertices of the surface of `relief` (kGridCells heights) to `out` (room for
// kMaxMeshVertices vertices) and returns how many: for every drawn cell, rows outer and columns
// inner, its triangles P1 P2 P3 and P3 P4 P1 as cell_quad gives them, coloured kSurfaceColour,
// or, with `colours` (kGridCells R, G, B triples), cell (r, c)'s colour / 255. Only writes;
// `out` may be mapped buffer memory.
int build_mesh_vertices(const uint8_t *relief, const uint8_t *colours, float *out);

}  // namespace pedaform
