#include "model3d/mesh_arrays.h"

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

}  // namespace

void build_mesh_arrays(const Workspace &ws, bool pressure_colours, MeshArrays &mesh) {
    const uint8_t *relief = ws.relief_grid;
    float *pos = mesh.position, *nrm = mesh.normal, *col = mesh.colour;
    int n = 0;
    for (int r = 0; r < kGridHeight - 1; ++r)
        for (int c = 0; c < kGridWidth - 1; ++c) {
            if (!mesh_cell_drawn(relief, r, c)) continue;
            const int i = r * kGridWidth + c;
            const float fr = static_cast<float>(r), fc = static_cast<float>(c);
            const float p1[3] = {fr, relief[i] / 5.0f, fc};
            const float p2[3] = {fr + 1, relief[i + kGridWidth] / 5.0f, fc};
            const float p3[3] = {fr + 1, relief[i + kGridWidth + 1] / 5.0f, fc + 1};
            const float p4[3] = {fr, relief[i + 1] / 5.0f, fc + 1};
            const float d2[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
            const float d3[3] = {p3[0] - p1[0], p3[1] - p1[1], p3[2] - p1[2]};
            const float d4[3] = {p4[0] - p1[0], p4[1] - p1[1], p4[2] - p1[2]};
            float n1[3], n2[3];
            cross(d3, d2, n1);
            cross(d4, d3, n2);
            float colour[3] = {kSurfaceColour[0], kSurfaceColour[1], kSurfaceColour[2]};
            if (pressure_colours)
                for (int k = 0; k < 3; ++k)
                    colour[k] = ws.colour_grid[3 * i + k] / 255.0f;

            const float *verts[6] = {p1, p2, p3, p3, p4, p1};
            for (int v = 0; v < 6; ++v) {
                put3(pos + 3 * (n + v), verts[v]);
                put3(nrm + 3 * (n + v), v < 3 ? n1 : n2);
                put3(col + 3 * (n + v), colour);
            }
            n += 6;
        }
    mesh.vertex_count = n;
}

}  // namespace pedaform
