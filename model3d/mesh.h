// The one triangle mesh of every export: vertices shared by index, triangles counter-clockwise
// seen from outside. Coordinates are millimetres: x = column, y = row, z = height.
#pragma once

#include <cstdint>
#include <vector>

namespace pedaform {

struct Vertex {
    float x, y, z;
};

struct Triangle {
    uint32_t v[3];
};

struct Mesh {
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;

    uint32_t add_vertex(const Vertex &v) {
        vertices.push_back(v);
        return static_cast<uint32_t>(vertices.size() - 1);
    }
    void add_triangle(uint32_t a, uint32_t b, uint32_t c) { triangles.push_back({{a, b, c}}); }
    const Vertex &corner(const Triangle &t, int k) const { return vertices[t.v[k]]; }
};

// The unit normal of (b - a) x (c - a) in single precision, as STL files carry it; 0, 0, 0 when
// the cross product is zero.
Vertex facet_normal(const Vertex &a, const Vertex &b, const Vertex &c);

// Removes the vertices no triangle uses; the others keep their order.
void drop_unused_vertices(Mesh &mesh);

}  // namespace pedaform
