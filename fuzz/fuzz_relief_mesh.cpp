// Arbitrary reliefs through the mesh export: the trace must end, every point stay in the
// grid, and the closed solid pair every edge with an opposite one.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "model3d/relief_mesh.h"
#include "workspace/console.h"

using namespace pedaform;

namespace {

// Input: one mode byte, then either the relief itself (mode even) or 5 x 5 blocks (mode odd),
// which lets short inputs describe whole footprints.
void fill_relief(Workspace &ws, const uint8_t *data, size_t size) {
    std::memset(ws.relief_grid, 0, kGridCells);
    if (size == 0) return;
    const bool blocks = data[0] & 1;
    ++data;
    --size;
    if (!blocks) {
        std::memcpy(ws.relief_grid, data, std::min<size_t>(size, kGridCells));
        return;
    }
    for (size_t k = 0; k < size && k < 30 * 72; ++k) {
        const int bx = static_cast<int>(k % 30), by = static_cast<int>(k / 30);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x)
                ws.relief_grid[(by * 5 + y) * 150 + bx * 5 + x] = data[k];
    }
}

void check_solid(const std::vector<Facet> &facets) {
    using Edge = std::array<float, 6>;
    std::vector<Edge> edges;
    edges.reserve(facets.size() * 3);
    for (const Facet &f : facets)
        for (int k = 0; k < 3; ++k) {
            const Vertex &a = f.v[k], &b = f.v[(k + 1) % 3];
            edges.push_back({a.x, a.y, a.z, b.x, b.y, b.z});
        }
    std::sort(edges.begin(), edges.end());
    for (size_t i = 0; i < edges.size(); ++i) {
        if (i + 1 < edges.size() && edges[i] == edges[i + 1]) std::abort();  // used twice
        const Edge back = {edges[i][3], edges[i][4], edges[i][5],
                           edges[i][0], edges[i][1], edges[i][2]};
        if (!std::binary_search(edges.begin(), edges.end(), back)) std::abort();  // open edge
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static std::unique_ptr<Workspace> ws = [] {
        set_console(nullptr);
        return std::make_unique<Workspace>();
    }();
    fill_relief(*ws, data, size);
    const MeshOutline outline = prepare_relief_mesh(*ws);
    if (ws->outline_points.size() > static_cast<size_t>(kGridCells)) std::abort();
    for (const OutlinePoint &p : ws->outline_points)
        if (p.x < 1 || p.x > 148 || p.y < 1 || p.y > 358) std::abort();
    std::vector<Facet> facets;
    build_surface_facets(*ws, outline, facets);
    for (const Facet &f : facets)
        for (const Vertex &v : f.v)
            if (!std::isfinite(v.z)) std::abort();
    std::string text;
    write_ascii_stl(facets, text);
    build_solid_facets(*ws, facets);
    check_solid(facets);
    build_solid_facets(*ws, facets, SolidBottom::kStrips);
    check_solid(facets);
    return 0;
}
