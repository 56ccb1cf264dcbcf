// The STL exports of the relief: the open surface as ASCII STL ("merge.stl") and the closed
// solid for printers as binary STL. Units are millimetres without a unit in the file: one grid
// cell is 1 mm, a grey level 0.2 mm (see relief_outline.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model3d/closed_solid.h"
#include "model3d/mesh.h"
#include "model3d/relief_outline.h"
#include "core/result.h"

namespace pedaform {

// What an export leaves for the caller besides the file.
struct MeshExport {
    TracedOutline outline;  // for the image view
    size_t triangles = 0;   // in the file
    Warnings warnings;      // the surface STL: OutlineReport::warnings of the preparation
};

// ASCII STL text of the mesh's triangles in their order: "solid\n", 7 lines per triangle with
// every number as printf's "%f", the normal from facet_normal; "endsolid" without a line
// break. Appends to `out`.
void write_ascii_stl(const Mesh &mesh, std::string &out);

// Binary STL: an 80-byte header, the count, 50 bytes per triangle, every number
// little-endian whatever the host. Appends to `out`.
void write_binary_stl(const Mesh &mesh, std::string &out);

// The insole's shape for the solid builder (closed_solid.h): the surface cells of the prepared
// relief, the lattice being the grid itself, the top at W / 5 mm.
SolidShape insole_shape(const PreparedRelief &prepared);

// The insole as a closed solid (closed_solid.h): the surface cells of the prepared relief,
// heights W / 5, standing on z = 0, its top simplified within `tolerance_mm` when above 0.
// The bottom is cut per cell (the binary STL at tolerance 0) or in row strips.
void build_insole_solid(const PreparedRelief &prepared, double tolerance_mm, bool per_cell_bottom,
                        Mesh &mesh);

// Why an empty relief, one without a cell whose four corners are raised, gives no solid: the
// solid STL and the 3MF refuse it alike.
Failure nothing_to_print();

// The menu's 3D-print export as bytes: prepares the relief (kGridCells bytes, printing its
// lines) and writes build_open_surface as ASCII STL. `report` may be null.
std::string encode_relief_stl(const uint8_t *relief, MeshExport *report = nullptr);
// The same, written to `path` (core/file_output.h): on failure an existing file is untouched
// and the message says why.
Result<> export_relief_stl(const uint8_t *relief, const std::string &path,
                           MeshExport *report = nullptr);

// The designed insole (kGridCells heights, 0 off the insole: the results' insole_relief) as the
// insole solid (prepare_insole, nothing levelled) in binary STL: at tolerance 0 every cell with
// its bottom per cell; above, simplified with a strip bottom. The report's outline is the
// insole's border (prepare_insole). An empty insole fails (nothing_to_print).
Result<std::string> encode_relief_solid(const uint8_t *insole_relief, double tolerance_mm = 0,
                                        MeshExport *report = nullptr);
// The same, written to `path` (core/file_output.h).
Result<> export_relief_solid(const uint8_t *insole_relief, const std::string &path,
                             double tolerance_mm = 0, MeshExport *report = nullptr);

}  // namespace pedaform
