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

// One row of cells, with kNormalReach empty cells on either side (cell c at c + kNormalReach):
// whether each is a top cell and its slopes along the rows and the columns (each the sum of its
// two edges', grey levels per cell), and the sum of the normals of its wall triangles (zero when
// it has none: a wall triangle's normal has y = 1). Then, for every point column, the top
// values' sums across the window's columns, weighted by kNormalWeights.
constexpr int kPadded = kCellColumns + 2 * kNormalReach;
struct CellRow {
    int32_t top[kPadded], along_rows[kPadded], along_columns[kPadded];
    float wall[kPadded][3];
    int32_t top_sum[kGridWidth], along_rows_sum[kGridWidth], along_columns_sum[kGridWidth];
};

void fill_cell_row(const uint8_t *relief, int r, CellRow &out) {
    const uint8_t *low = relief + r * kGridWidth, *high = low + kGridWidth;
    for (int p = 0; p < kPadded; ++p) {
        const int c = p - kNormalReach;
        const bool inside = c >= 0 && c < kCellColumns;
        const int32_t top = inside && mesh_cell_top(relief, r, c) ? 1 : 0;
        out.top[p] = top;
        out.along_rows[p] = top != 0 ? high[c] - low[c] + high[c + 1] - low[c + 1] : 0;
        out.along_columns[p] = top != 0 ? low[c + 1] - low[c] + high[c + 1] - high[c] : 0;
        const bool drawn = inside && top == 0 && mesh_cell_drawn(relief, r, c);
        const CellQuad q = drawn ? cell_quad(relief, r, c) : CellQuad{};
        const float first = drawn && !on_top(relief, r, c, 0) ? 1.0f : 0.0f;
        const float second = drawn && !on_top(relief, r, c, 1) ? 1.0f : 0.0f;
        for (int a = 0; a < 3; ++a)
            out.wall[p][a] = first * q.n1[a] + second * q.n2[a];
    }
    for (int c = 0; c < kGridWidth; ++c) {
        int32_t top = 0, x = 0, z = 0;
        for (int j = 0; j < kWindow; ++j) {  // padded cell c + j is cell c - kNormalReach + j
            top += kNormalWeights[j] * out.top[c + j];
            x += kNormalWeights[j] * out.along_rows[c + j];
            z += kNormalWeights[j] * out.along_columns[c + j];
        }
        out.top_sum[c] = top;
        out.along_rows_sum[c] = x;
        out.along_columns_sum[c] = z;
    }
}

void put_unit(float *dst, float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    dst[0] = x / length;
    dst[1] = y / length;
    dst[2] = z / length;
}

// The cell rows of a point row's window that lie on the grid, with their weights.
struct Window {
    const CellRow *rows[kWindow];
    int weights[kWindow];
    int count = 0;
};

// The top normal of point column c (see build_surface_arrays).
void put_top_normal(const Window &win, int c, float *out) {
    int32_t w = 0, x = 0, z = 0;
    for (int k = 0; k < win.count; ++k) {
        w += win.weights[k] * win.rows[k]->top_sum[c];
        x += win.weights[k] * win.rows[k]->along_rows_sum[c];
        z += win.weights[k] * win.rows[k]->along_columns_sum[c];
    }
    // Mean slopes in mm per cell: sums of two edges, over the weight, over 5 levels a mm.
    const float per = 2.0f * kLevels * static_cast<float>(w);
    if (w == 0) return put_unit(out, 0, 1, 0);
    put_unit(out, -(static_cast<float>(x) / per), 1, -(static_cast<float>(z) / per));
}

// The wall normal of point column c when a wall triangle of the cells it is a corner of (cell
// rows r - 1 and r: `below`, `own`, either may be null) has it as a corner; false otherwise.
bool put_wall_normal(const Window &win, const CellRow *below, const CellRow *own, int c,
                     float *out) {
    bool touches = false;
    for (const CellRow *row : {below, own})
        for (int p = c - 1 + kNormalReach; row != nullptr && p <= c + kNormalReach; ++p)
            touches = touches || row->wall[p][1] != 0;
    if (!touches) return false;
    float sum[3] = {0, 0, 0};
    for (int k = 0; k < win.count; ++k) {
        float across[3] = {0, 0, 0};
        for (int j = 0; j < kWindow; ++j)
            for (int a = 0; a < 3; ++a)
                across[a] += static_cast<float>(kNormalWeights[j]) * win.rows[k]->wall[c + j][a];
        for (int a = 0; a < 3; ++a)
            sum[a] += static_cast<float>(win.weights[k]) * across[a];
    }
    put_unit(out, sum[0], sum[1], sum[2]);
    return true;
}

// Both vertices of the points of row r: positions, colours and normals, from the cell rows
// r - kNormalReach .. r + kNormalReach - 1 (ring slot: cell row % kWindow).
void put_point_row(const uint8_t *relief, const uint8_t *colours, int r,
                   const CellRow (&ring)[kWindow], float *vertices) {
    Window win;
    const CellRow *below = nullptr, *own = nullptr;
    for (int i = 0; i < kWindow; ++i) {
        const int cell_row = r - kNormalReach + i;
        if (cell_row < 0 || cell_row >= kCellRows) continue;
        win.rows[win.count] = &ring[cell_row % kWindow];
        win.weights[win.count++] = kNormalWeights[i];
        if (cell_row == r - 1) below = &ring[cell_row % kWindow];
        if (cell_row == r) own = &ring[cell_row % kWindow];
    }
    for (int c = 0; c < kGridWidth; ++c) {
        const int point = r * kGridWidth + c;
        float *top = vertices + 2 * kMeshVertexFloats * point, *wall = top + kMeshVertexFloats;
        top[0] = static_cast<float>(r);
        top[1] = relief[point] / kLevels;
        top[2] = static_cast<float>(c);
        put_top_normal(win, c, top + 3);
        if (colours != nullptr)
            for (int k = 0; k < 3; ++k)
                top[6 + k] = colours[3 * point + k] / 255.0f;
        else
            put3(top + 6, kSurfaceColour);
        put3(wall, top);
        if (!put_wall_normal(win, below, own, c, wall + 3)) put3(wall + 3, top + 3);
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
    CellRow ring[kWindow];  // about 34 KB
    for (int cell_row = 0; cell_row < kNormalReach - 1; ++cell_row)
        fill_cell_row(relief, cell_row, ring[cell_row % kWindow]);
    for (int r = 0; r < kGridHeight; ++r) {
        const int newest = r + kNormalReach - 1;
        if (newest < kCellRows) fill_cell_row(relief, newest, ring[newest % kWindow]);
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
