// The 3D-print mesh of the relief: the outline trace, its repair and levelling on a float work
// copy of the relief, the top surface and the edge facets, and the closed solid for printers.
//
// Coordinates: a point (x, y) is (column, row) of the grid; a vertex is (x, y, W[y][x] / 5)
// with W the work grid (export_grid_a), so one cell is one unit and one grey level 0.2 units.
// relief_grid is never changed; export_grid_a, outline_points and outline_corners are.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "workspace/result.h"
#include "workspace/design_results.h"
#include "workspace/scan.h"

namespace pedaform {

// What a mesh export reads and the work it does: copies of the relief, base and pressure
// grids, the float work grid and the traced outline. Local to one export; the GUI keeps the
// outline to show it.
struct MeshWork {
    uint8_t relief_grid[kGridCells] = {};
    uint8_t base_grid[kGridCells] = {};
    uint8_t pressure_grid[kGridCells] = {};
    float export_grid_a[kGridCells] = {};
    std::vector<OutlinePoint> outline_points;
    std::vector<int32_t> outline_corners;
};

// A work area for one export of the scan's relief as the design made it.
std::unique_ptr<MeshWork> make_mesh_work(const Scan &scan, const DesignResults &results);

struct Vertex {
    float x, y, z;
};

struct Facet {
    Vertex v[3];
};

// What the preparation of the work grid found.
struct MeshOutline {
    bool traced = false;     // a boundary cell existed to start from
    bool closed = false;     // the trace came back to its start
    int corners_traced = 0;  // corners met while tracing (first "t_point" line)
    int corners = 0;         // corners after the spike repair (second "t_point" line)
    int levelled_runs = 0;   // "count_line"
};

// Steps up to the edge levelling: refills export_grid_a from relief_grid, traces the outline
// (outline_points, outline_corners), repairs spikes, recounts the corners and levels the runs
// between corners. The trace always ends: back at its start, at a dead end, or when a boundary
// cell would be visited a fifth time or 54,000 points were taken; only a closed outline is
// repaired and levelled. Prints the "t_point %d\n" lines and "count_line %d\n", and a line
// saying why when the outline did not close.
MeshOutline prepare_relief_mesh(MeshWork &ws);

// The open surface of the ASCII export: two facets per cell whose four corners are non-zero
// (rows 0..358 outer, columns 0..148 inner), then, for a closed outline with more than two
// corners, the edge facets between consecutive corners. A diagonal pair whose two candidate
// cells are both empty adds no facet.
void build_surface_facets(const MeshWork &ws, const MeshOutline &outline,
                          std::vector<Facet> &facets);

// The unit normal of (P2 - P1) x (P3 - P1); 0, 0, 0 when the cross product is zero.
Vertex facet_normal(const Facet &f);

// ASCII STL text of the facets: "solid\n", 7 lines per facet with every number as "%f", and
// "endsolid" without a line break. Appends to `out`.
void write_ascii_stl(const std::vector<Facet> &facets, std::string &out);

// The menu's 3D-print export: prepare, build, write to `path` through a temporary file. On
// failure an existing file is untouched and the message says why.
Result export_relief_stl(MeshWork &ws, const std::string &path);

// How the flat bottom of the solid is cut into facets; both give the same face.
enum class SolidBottom {
    kPerCell,  // two facets per cell, as the binary STL has always had
    kStrips,   // cut_into_row_strips (model3d/row_strips.h): a tenth of the facets, for the 3MF
};

// The closed solid for printers: the top surface (the same cells and heights as the ASCII
// export), side walls down to z = 0 along the boundary of those cells, and a flat bottom. Every
// edge is shared by exactly two facets of opposite direction; normals point outward. Where two
// cells touch only at a corner, that corner is moved 0.01 units into each cell so that the two
// parts do not share an edge.
void build_solid_facets(const MeshWork &ws, std::vector<Facet> &facets,
                        SolidBottom bottom = SolidBottom::kPerCell);

// Binary STL of the facets: 80-byte header, count, 50 bytes per facet, every number
// little-endian whatever the host.
void write_binary_stl(const std::vector<Facet> &facets, std::string &out);

// Prepares the work grid (as the ASCII export does) and writes the solid as binary STL to
// `path` through a temporary file; a failure leaves an existing file untouched.
Result export_relief_solid(MeshWork &ws, const std::string &path);

}  // namespace pedaform
