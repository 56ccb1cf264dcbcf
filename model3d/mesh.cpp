#include "model3d/mesh.h"

#include <cmath>
#include <limits>

namespace pedaform {

Vertex facet_normal(const Vertex &a, const Vertex &b, const Vertex &c) {
    const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (len == 0.0f) return {0.0f, 0.0f, 0.0f};
    return {nx / len, ny / len, nz / len};
}

void drop_unused_vertices(Mesh &mesh) {
    constexpr uint32_t kUnused = std::numeric_limits<uint32_t>::max();
    std::vector<uint32_t> renumbered(mesh.vertices.size(), kUnused);
    for (const Triangle &t : mesh.triangles)
        for (uint32_t v : t.v)
            renumbered[v] = 0;
    uint32_t next = 0;
    for (size_t k = 0; k < mesh.vertices.size(); ++k)
        if (renumbered[k] != kUnused) {
            renumbered[k] = next;
            mesh.vertices[next++] = mesh.vertices[k];
        }
    mesh.vertices.resize(next);
    for (Triangle &t : mesh.triangles)
        for (uint32_t &v : t.v)
            v = renumbered[v];
}

}  // namespace pedaform
