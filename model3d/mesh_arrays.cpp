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

constexpr float kLevels = static_cast<float>(kGreyLevelsPerMm);

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

int build_mesh_vertices(const uint8_t *relief, const uint8_t *colours, float *out) {
    int n = 0;
    for (int r = 0; r < kGridHeight - 1; ++r)
        for (int c = 0; c < kGridWidth - 1; ++c) {
            if (!mesh_cell_drawn(relief, r, c)) continue;
            const int i = r * kGridWidth + c;
            const CellQuad q = cell_quad(relief, r, c);
            float colour[3] = {kSurfaceColour[0], kSurfaceColour[1], kSurfaceColour[2]};
            if (colours != nullptr)
                for (int k = 0; k < 3; ++k)
                    colour[k] = colours[3 * i + k] / 255.0f;

            static constexpr int kCorner[6] = {0, 1, 2, 2, 3, 0};
            for (int v = 0; v < 6; ++v) {
                put3(out, q.p[kCorner[v]]);
                put3(out + 3, v < 3 ? q.n1 : q.n2);
                put3(out + 6, colour);
                out += kMeshVertexFloats;
            }
            n += 6;
        }
    return n;
}

}  // namespace pedaform
