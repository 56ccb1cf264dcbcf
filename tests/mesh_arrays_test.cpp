// The 3D view's surface vertices: which cells are drawn, at what heights, with which normals
// and colours.
#include <gtest/gtest.h>

#include <cstring>

#include "model3d/mesh_arrays.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

// The vertices of a workspace's surface; v(k) is vertex k's nine floats.
struct Mesh {
    std::vector<float> data = std::vector<float>(size_t{kMaxMeshVertices} * kMeshVertexFloats);
    int vertex_count = 0;
    const float *v(int k) const { return &data[size_t{kMeshVertexFloats} * k]; }
};

std::unique_ptr<Mesh> mesh_of(const Workspace &ws, bool pressure = false) {
    auto mesh = std::make_unique<Mesh>();
    mesh->vertex_count = build_mesh_vertices(ws, pressure, mesh->data.data());
    return mesh;
}

}  // namespace

TEST(MeshArrays, EveryCellDrawnGivesAllTriangles) {
    auto ws = std::make_unique<Workspace>();
    std::memset(ws->relief_grid, 10, kGridCells);
    EXPECT_EQ(mesh_of(*ws)->vertex_count, 3 * 106982);
}

TEST(MeshArrays, CellsBelowTenAreSkippedAndEdgesSlopeToTheirOwnHeights) {
    auto ws = std::make_unique<Workspace>();
    std::memset(ws->relief_grid, 9, kGridCells);
    EXPECT_EQ(mesh_of(*ws)->vertex_count, 0);
    // One cell of 10 at (row 100, column 50) touches four cells as a corner.
    ws->relief_grid[100 * 150 + 50] = 10;
    auto mesh = mesh_of(*ws);
    ASSERT_EQ(mesh->vertex_count, 4 * 6);
    // The first drawn cell is (row 99, column 49): P1 (99, 9 / 5, 49) ... P3 (100, 2, 50).
    const float *p1 = mesh->v(0), *p3 = mesh->v(2);
    EXPECT_EQ(p1[0], 99.0f);
    EXPECT_EQ(p1[1], 9 / 5.0f);
    EXPECT_EQ(p1[2], 49.0f);
    EXPECT_EQ(p3[0], 100.0f);
    EXPECT_EQ(p3[1], 2.0f);
    EXPECT_EQ(p3[2], 50.0f);
}

TEST(MeshArrays, FlatPatchNormalsPointUpAndColoursFollowTheButton) {
    auto ws = std::make_unique<Workspace>();
    test::fill_rect(ws->relief_grid, 10, 10, 20, 20, 50);
    ws->colour_grid[3 * (10 * 150 + 10)] = 255;
    ws->colour_grid[3 * (10 * 150 + 10) + 1] = 51;
    auto mesh = mesh_of(*ws);
    int inner = 0;
    for (int v = 0; v < mesh->vertex_count; ++v) {
        const float *pos = mesh->v(v);
        if (pos[0] < 11 || pos[0] > 19 || pos[2] < 11 || pos[2] > 19) continue;
        ++inner;
        const float *n = pos + 3;
        EXPECT_EQ(n[0], 0.0f);
        EXPECT_GT(n[1], 0.0f);
        EXPECT_EQ(n[2], 0.0f);
        EXPECT_EQ(pos[8], 0.8f);
    }
    EXPECT_GT(inner, 0);
    // With "Foot Pressure" on, a cell takes the colour of its first corner cell (r, c).
    auto coloured = mesh_of(*ws, true);
    for (int v = 0; v < coloured->vertex_count; ++v) {
        const float *pos = coloured->v(v);
        if (pos[0] == 10 && pos[2] == 10 && v % 6 == 0) {
            EXPECT_EQ(pos[6], 1.0f);
            EXPECT_EQ(pos[7], 0.2f);
            EXPECT_EQ(pos[8], 0.0f);
        }
    }
}
