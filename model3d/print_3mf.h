// The printable 3MF file: the closed solid of the binary STL export as one object in
// millimetres, optionally with one infill modifier per pressure zone in PrusaSlicer's project
// form.
//
// Physical size: one grid cell is 1 mm, a vertex (x, y, W / 5) stands at x = column, y = row,
// z = the work grid's grey level / 5 in mm, and the solid stands on z = 0.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model3d/print_zones.h"
#include "model3d/relief_mesh.h"
#include "workspace/result.h"
#include "workspace/workspace.h"

namespace pedaform {

// What the model metadata says besides the physical size: Title and object name (the scan's
// name) and the design's control values, written in the given order as "name=value".
struct PrintDescription {
    std::string title;
    std::vector<std::pair<std::string, std::string>> controls;
};

struct IndexedTriangle {
    uint32_t v[3];  // counter-clockwise seen from outside
};

// One mesh for all parts; vertices are shared inside a part and never between parts, so each
// part's triangles use one contiguous block of vertices.
struct PrintMesh {
    std::vector<Vertex> vertices;
    std::vector<IndexedTriangle> triangles;
};

// A part of the printed object: triangles first..last (inclusive) of the mesh.
struct PrintPart {
    uint32_t first = 0, last = 0;
    int zone = -1;  // -1: the insole; otherwise the index of its zone
};

struct PrintModel {
    PrintMesh mesh;
    std::vector<PrintPart> parts;  // the insole first, then one part per zone that has cells
};

// Builds the insole part from build_solid_facets (exactly equal vertices merged) and, for each
// zone that keeps foot cells after assign_print_zones, a closed prism over those cells: cell
// (x, y) covers x - 0.5..x + 0.5, y - 0.5..y + 0.5 mm, and the prism reaches from 1 mm below
// z = 0 to 1 mm above the insole's highest point. The zones' footprints therefore cover the
// foot cells of the zones exactly once. Where two cells of a zone touch only at a corner, the
// corner gets one vertex per cell, so that every edge of a prism has exactly two triangles.
// Needs the work grid of prepare_relief_mesh. Fails when the relief gives no solid, or when
// zones are given but none of them keeps a foot cell.
Result build_print_model(const MeshWork &ws, const std::vector<PrintZone> &zones,
                         PrintModel &model);

// The 3MF package of the model, unit millimetre, appended to `out`. Metadata: Title,
// Application "Pedaform" and a Description with the physical size and the control values.
// A model with the insole alone is written through lib3mf. With zone parts it becomes a
// PrusaSlicer project (written with libzip): the model declares the slic3rpe namespace and
// slic3rpe:Version3mf 1, and Metadata/Slic3r_PE_model.config gives the insole's triangle range
// as a ModelPart and each zone's as a ParameterModifier with its fill_density in percent.
Result write_print_3mf(const PrintModel &model, const std::vector<PrintZone> &zones,
                       const PrintDescription &about, std::string &out);

// The front ends' entry: prepares the work grid as export_relief_solid does (printing its
// "t_point" lines), builds the model and writes it to `path` through a temporary file, so that
// a failure leaves an existing file untouched. `zones` may be empty: the insole alone.
Result export_relief_3mf(MeshWork &ws, const std::string &path,
                         const std::vector<PrintZone> &zones, const PrintDescription &about);

}  // namespace pedaform
