#include "model3d/mesh_arrays.h"

#include <cmath>

namespace pedaform {

namespace {

inline void cross(const float *a, const float *b, float *out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

inline void put3(float *dst, const float *src) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
}

constexpr float kLevels = static_cast<float>(kGreyLevelsPerMm);
constexpr int kCellColumns = kGridWidth - 1, kCellRows = kGridHeight - 1;
constexpr int kWindow = 2 * kNormalReach;

// The corners of a cell's triangles P1 P2 P3 and P3 P4 P1, as offsets from P1's index.
constexpr int kTriangleCorners[2][3] = {{0, kGridWidth, kGridWidth + 1}, {kGridWidth + 1, 1, 0}};

// Whether triangle t (0: P1 P2 P3, 1: P3 P4 P1) of cell (r, c) lies on the top: all three
// corners of the foot.
bool on_top(const uint8_t *relief, int r, int c, int t) {
    const uint8_t *p1 = relief + r * kGridWidth + c;
    for (int k : kTriangleCorners[t])
        if (p1[k] < kFootThreshold) return false;
    return true;
}

// The weighted sums, for every point column, over one row of cells (kNormalWeights across the
// columns): the weight of its top cells and their slopes along the rows and along the columns,
// each the sum of the cell's two edges' (grey levels per cell); the sum of its wall cells'
// normals.
struct RowSums {
    int32_t weight[kGridWidth];
    int32_t along_rows[kGridWidth];
    int32_t along_columns[kGridWidth];
    float wall[kGridWidth][3];
};

void row_sums(const uint8_t *relief, int r, RowSums &out) {
    int32_t top[kCellColumns], along_rows[kCellColumns], along_columns[kCellColumns];
    float wall[kCellColumns][3];
    const uint8_t *low = relief + r * kGridWidth, *high = low + kGridWidth;
    for (int c = 0; c < kCellColumns; ++c) {
        top[c] = mesh_cell_top(relief, r, c) ? 1 : 0;
        along_rows[c] = top[c] * (high[c] - low[c] + high[c + 1] - low[c + 1]);
        along_columns[c] = top[c] * (low[c + 1] - low[c] + high[c + 1] - high[c]);
        const bool drawn = top[c] == 0 && mesh_cell_drawn(relief, r, c);
        const CellQuad q = drawn ? cell_quad(relief, r, c) : CellQuad{};
        const float first = drawn && !on_top(relief, r, c, 0) ? 1.0f : 0.0f;
        const float second = drawn && !on_top(relief, r, c, 1) ? 1.0f : 0.0f;
        for (int a = 0; a < 3; ++a)
            wall[c][a] = first * q.n1[a] + second * q.n2[a];
    }
    for (int c = 0; c < kGridWidth; ++c) {
        int32_t weight = 0, x = 0, z = 0;
        float side[3] = {0, 0, 0};
        for (int j = 0; j < kWindow; ++j) {
            const int cell = c - kNormalReach + j, w = kNormalWeights[j];
            if (cell < 0 || cell >= kCellColumns) continue;
            weight += w * top[cell];
            x += w * along_rows[cell];
            z += w * along_columns[cell];
            for (int a = 0; a < 3; ++a)
                side[a] += static_cast<float>(w) * wall[cell][a];
        }
        out.weight[c] = weight;
        out.along_rows[c] = x;
        out.along_columns[c] = z;
        put3(out.wall[c], side);
    }
}

void put_unit(float *dst, float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    dst[0] = x / length;
    dst[1] = y / length;
    dst[2] = z / length;
}

// Both vertices of the points of row r: positions, colours and normals, from the row sums of
// the cell rows r - kNormalReach .. r + kNormalReach - 1 (ring slot: cell row % kWindow).
void put_point_row(const uint8_t *relief, const uint8_t *colours, int r,
                   const RowSums (&ring)[kWindow], float *vertices) {
    for (int c = 0; c < kGridWidth; ++c) {
        int32_t w = 0, x = 0, z = 0;
        float side[3] = {0, 0, 0};
        for (int i = 0; i < kWindow; ++i) {
            const int cell_row = r - kNormalReach + i;
            if (cell_row < 0 || cell_row >= kCellRows) continue;
            const RowSums &sums = ring[cell_row % kWindow];
            w += kNormalWeights[i] * sums.weight[c];
            x += kNormalWeights[i] * sums.along_rows[c];
            z += kNormalWeights[i] * sums.along_columns[c];
            for (int a = 0; a < 3; ++a)
                side[a] += static_cast<float>(kNormalWeights[i]) * sums.wall[c][a];
        }
        const int point = r * kGridWidth + c;
        float *top = vertices + 2 * kMeshVertexFloats * point, *wall = top + kMeshVertexFloats;
        top[0] = static_cast<float>(r);
        top[1] = relief[point] / kLevels;
        top[2] = static_cast<float>(c);
        // Mean slopes in mm per cell: sums of two edges, over the weight, over 5 levels a mm.
        const float per = 2.0f * kLevels * static_cast<float>(w);
        if (w == 0)
            put_unit(top + 3, 0, 1, 0);
        else
            put_unit(top + 3, -(static_cast<float>(x) / per), 1, -(static_cast<float>(z) / per));
        if (colours != nullptr)
            for (int k = 0; k < 3; ++k)
                top[6 + k] = colours[3 * point + k] / 255.0f;
        else
            put3(top + 6, kSurfaceColour);
        put3(wall, top);
        if (side[0] == 0 && side[1] == 0 && side[2] == 0)
            put3(wall + 3, top + 3);
        else
            put_unit(wall + 3, side[0], side[1], side[2]);
        put3(wall + 6, top + 6);
    }
}

}  // namespace

CellQuad cell_quad(const uint8_t *relief, int r, int c) {
    const int i = r * kGridWidth + c;
    const float fr = static_cast<float>(r), fc = static_cast<float>(c);
    CellQuad q = {{{fr, relief[i] / kLevels, fc},
                   {fr + 1, relief[i + kGridWidth] / kLevels, fc},
                   {fr + 1, relief[i + kGridWidth + 1] / kLevels, fc + 1},
                   {fr, relief[i + 1] / kLevels, fc + 1}},
                  {},
                  {}};
    float d[4][3];
    for (int k = 1; k < 4; ++k)
        for (int a = 0; a < 3; ++a)
            d[k][a] = q.p[k][a] - q.p[0][a];
    cross(d[2], d[1], q.n1);
    cross(d[3], d[2], q.n2);
    return q;
}

int build_surface_arrays(const uint8_t *relief, const uint8_t *colours, float *vertices,
                         uint32_t *indices) {
    RowSums ring[kWindow];
    for (int cell_row = 0; cell_row < kNormalReach - 1; ++cell_row)
        row_sums(relief, cell_row, ring[cell_row % kWindow]);
    for (int r = 0; r < kGridHeight; ++r) {
        const int newest = r + kNormalReach - 1;
        if (newest < kCellRows) row_sums(relief, newest, ring[newest % kWindow]);
        put_point_row(relief, colours, r, ring, vertices);
    }
    int n = 0;
    for (int r = 0; r < kCellRows; ++r)
        for (int c = 0; c < kCellColumns; ++c) {
            if (!mesh_cell_drawn(relief, r, c)) continue;
            const int p1 = r * kGridWidth + c;
            for (int t = 0; t < 2; ++t) {
                const int side = on_top(relief, r, c, t) ? 0 : 1;
                for (int k : kTriangleCorners[t])
                    indices[n++] = static_cast<uint32_t>(2 * (p1 + k) + side);
            }
        }
    return n;
}

}  // namespace pedaform
