// The plain ASCII STL writer: every line through fprintf. Kept to check and measure the
// shipped writer, which must produce the same bytes.
#pragma once

#include <cstdio>
#include <vector>

#include "model3d/mesh.h"

namespace pedaform {

inline void write_ascii_stl_reference(const Mesh &mesh, std::FILE *out) {
    std::fprintf(out, "solid\n");
    for (const Triangle &t : mesh.triangles) {
        const Vertex n = facet_normal(mesh.corner(t, 0), mesh.corner(t, 1), mesh.corner(t, 2));
        std::fprintf(out, "facet normal %f %f %f\n", n.x, n.y, n.z);
        std::fprintf(out, "outer loop\n");
        for (uint32_t v : t.v)
            std::fprintf(out, "vertex %f %f %f\n", mesh.vertices[v].x, mesh.vertices[v].y,
                         mesh.vertices[v].z);
        std::fprintf(out, "endloop\n");
        std::fprintf(out, "endfacet\n");
    }
    std::fprintf(out, "endsolid");
}

}  // namespace pedaform
