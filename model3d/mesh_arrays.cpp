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

constexpr float kLevels = static_cast<float>(kGreyLevelsPerMm);

// Position, and the normal and colour of the triangle the vertex ends (none: zero).
void put_vertex(const uint8_t *relief, const uint8_t *colours, int r, int c, const float *normal,
                int cell, float *out) {
    const float p[3] = {static_cast<float>(r), relief[r * kGridWidth + c] / kLevels,
                        static_cast<float>(c)};
    static constexpr float kNone[3] = {0, 0, 0};
    put3(out, p);
    put3(out + 3, normal != nullptr ? normal : kNone);
    if (colours != nullptr && cell >= 0)
        for (int k = 0; k < 3; ++k)
            out[6 + k] = colours[3 * cell + k] / 255.0f;
    else
        put3(out + 6, kSurfaceColour);
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
    for (int r = 0; r < kGridHeight; ++r)
        for (int c = 0; c < kGridWidth; ++c) {
            float *out = vertices + 2 * kMeshVertexFloats * (r * kGridWidth + c);
            const bool ends_first = r > 0 && c > 0,
                       starts_second = r + 1 < kGridHeight && c + 1 < kGridWidth;
            const CellQuad below = ends_first ? cell_quad(relief, r - 1, c - 1) : CellQuad{};
            const CellQuad own = starts_second ? cell_quad(relief, r, c) : CellQuad{};
            put_vertex(relief, colours, r, c, ends_first ? below.n1 : nullptr,
                       ends_first ? (r - 1) * kGridWidth + c - 1 : -1, out);
            put_vertex(relief, colours, r, c, starts_second ? own.n2 : nullptr,
                       starts_second ? r * kGridWidth + c : -1, out + kMeshVertexFloats);
        }
    int n = 0;
    for (int r = 0; r < kGridHeight - 1; ++r)
        for (int c = 0; c < kGridWidth - 1; ++c) {
            if (!mesh_cell_drawn(relief, r, c)) continue;
            const uint32_t p1 = static_cast<uint32_t>(r * kGridWidth + c);
            const uint32_t p2 = p1 + kGridWidth, p3 = p2 + 1, p4 = p1 + 1;
            const uint32_t ends[6] = {2 * p1 + 1, 2 * p2 + 1, 2 * p3,
                                      2 * p3,     2 * p4 + 1, 2 * p1 + 1};
            for (uint32_t v : ends)
                indices[n++] = v;
        }
    return n;
}

}  // namespace pedaform
