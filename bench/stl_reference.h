// The plain ASCII STL writer: every line through fprintf. Kept to check and measure the
// shipped writer, which must produce the same bytes.
#pragma once

#include <cstdio>
#include <vector>

#include "model3d/relief_mesh.h"

namespace pedaform {

inline void write_ascii_stl_reference(const std::vector<Facet> &facets, std::FILE *out) {
    std::fprintf(out, "solid\n");
    for (const Facet &f : facets) {
        const Vertex n = facet_normal(f);
        std::fprintf(out, "facet normal %f %f %f\n", n.x, n.y, n.z);
        std::fprintf(out, "outer loop\n");
        for (const Vertex &v : f.v)
            std::fprintf(out, "vertex %f %f %f\n", v.x, v.y, v.z);
        std::fprintf(out, "endloop\n");
        std::fprintf(out, "endfacet\n");
    }
    std::fprintf(out, "endsolid");
}

}  // namespace pedaform
