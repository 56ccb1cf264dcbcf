// Arbitrary reliefs through the mesh export: the trace ends inside the grid's inner cells, and
// both solids are closed.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tests/test_support.h"
#include "workspace/console.h"

using namespace pedaform;

// Input: a mode byte, then the relief (mode even) or 5 x 5 blocks (mode odd, whole footprints).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static std::unique_ptr<MeshWork> ws = [] {
        set_console(nullptr);
        return std::make_unique<MeshWork>();
    }();
    std::memset(ws->relief_grid, 0, kGridCells);
    if (size > 0 && !(data[0] & 1))
        std::memcpy(ws->relief_grid, data + 1, std::min<size_t>(size - 1, kGridCells));
    for (size_t k = 0; size > 0 && (data[0] & 1) && k + 1 < size && k < 30 * 72; ++k)
        for (int y = 0; y < 5; ++y)
            std::memset(ws->relief_grid + (k / 30 * 5 + y) * kGridWidth + k % 30 * 5, data[k + 1],
                        5);
    const MeshOutline outline = prepare_relief_mesh(*ws);
    if (ws->outline_points.size() > static_cast<size_t>(kGridCells)) std::abort();
    for (const OutlinePoint &p : ws->outline_points)
        if (p.x < 1 || p.x > 148 || p.y < 1 || p.y > 358) std::abort();
    std::vector<Facet> facets;
    build_surface_facets(*ws, outline, facets);
    for (const Facet &f : facets)
        for (const Vertex &v : f.v)
            if (!std::isfinite(v.z)) std::abort();
    for (SolidBottom bottom : {SolidBottom::kPerCell, SolidBottom::kStrips}) {
        build_solid_facets(*ws, facets, bottom);
        if (!facets.empty() && !test::check_solid(facets).closed()) std::abort();
    }
    return 0;
}
