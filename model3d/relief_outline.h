// The relief as the meshes see it: a float copy of the relief whose rim is repaired and levelled
// along the traced outline of the footprint, and the open surface the ASCII STL export writes.
//
// Coordinates: a point (x, y) is (column, row) of the grid; a surface vertex is (x, y, W / 5)
// with W the prepared heights, so one cell is 1 mm and one grey level 0.2 mm.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model3d/mesh.h"
#include "model3d/surface_cells.h"
#include "core/grid.h"
#include "core/warnings.h"

namespace pedaform {

// The outline traced by the last mesh export, which the image view draws.
struct TracedOutline {
    std::vector<OutlinePoint> points;
    std::vector<int32_t> corners;  // indices into points
};

// What the preparation found.
struct OutlineReport {
    bool traced = false;     // a boundary cell existed to start from
    bool closed = false;     // the trace came back to its start
    int corners_traced = 0;  // corners met while tracing (first "t_point" line)
    int corners = 0;         // corners after the spike repair (second "t_point" line)
    int levelled_runs = 0;   // "count_line"
    // Why the export is less than whole, for the user to hear even without console lines;
    // none when it is whole.
    Warnings warnings;
};

struct PreparedRelief {
    std::vector<float> heights;  // kGridCells grey levels W, row by row
    TracedOutline outline;
    OutlineReport report;
};

// Copies `relief` (kGridCells bytes, not changed) into W, traces the outline, repairs spikes,
// recounts the corners and levels the runs between corners. The trace always ends: back at
// its start, at a dead end, or when a boundary cell would be visited a fifth time or 54,000
// points were taken; only a closed outline is repaired and levelled. Prints the
// "t_point %d\n" lines and "count_line %d\n", and a line saying why when the outline did not
// close.
PreparedRelief prepare_relief(const uint8_t *relief);

// The insole as the printed solids (the solid STL, the 3MF) see it: the designed heights
// (kGridCells bytes, 0 off the insole) as they are, nothing traced or levelled, so that every
// insole cell's top is its designed height and the wall stands at the insole's border. The
// outline holds the border's points for the image view: the insole cells beside a cell off it
// (or on the grid's edge), in row order, without corners. Prints nothing.
PreparedRelief prepare_insole(const uint8_t *insole_relief);

// The open surface of the ASCII export: two triangles per surface cell (rows 0..358 outer,
// columns 0..148 inner), (P1, P2, P3) and (P3, P4, P1) with P1 = (c, r), P2 = (c + 1, r),
// P3 = (c + 1, r + 1), P4 = (c, r + 1); then, for a closed outline with more than two corners,
// the rim triangles between consecutive corners. A diagonal pair whose two candidate cells are
// both empty adds nothing.
void build_open_surface(const PreparedRelief &prepared, Mesh &mesh);

}  // namespace pedaform
