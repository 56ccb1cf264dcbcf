// Arbitrary reliefs through the mesh export: the trace ends inside the grid's inner cells, and
// the solids, exact and simplified, are closed.
#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cstring>

#include "model3d/stl_files.h"
#include "tests/test_support.h"
#include "core/console.h"

using namespace pedaform;

// Input: a mode byte, then the relief (mode even) or 5 x 5 blocks (mode odd, whole footprints).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static uint8_t relief[kGridCells];
    set_console(nullptr);
    std::memset(relief, 0, kGridCells);
    if (size > 0 && !(data[0] & 1))
        std::memcpy(relief, data + 1, std::min<size_t>(size - 1, kGridCells));
    for (size_t k = 0; size > 0 && (data[0] & 1) && k + 1 < size && k < 30 * 72; ++k)
        for (int y = 0; y < 5; ++y)
            std::memset(relief + (k / 30 * 5 + y) * kGridWidth + k % 30 * 5, data[k + 1], 5);
    const PreparedRelief prepared = prepare_relief(relief);
    const std::vector<OutlinePoint> &points = prepared.outline.points;
    if (points.size() > static_cast<size_t>(kGridCells)) std::abort();
    for (const OutlinePoint &p : points)
        if (p.x < 1 || p.x > 148 || p.y < 1 || p.y > 358) std::abort();
    Mesh mesh;
    build_open_surface(prepared, mesh);
    for (const Vertex &v : mesh.vertices)
        if (!std::isfinite(v.z)) std::abort();
    for (double tolerance : {0.0, 0.05})
        for (bool per_cell : {true, false}) {
            mesh = Mesh();
            build_insole_solid(prepared, tolerance, per_cell, mesh);
            if (!mesh.triangles.empty() && !test::check_solid(mesh, true).closed()) std::abort();
        }
    return 0;
}
