// Pressure zones of a printed insole: ranges of foot pressure, each printed with its own infill
// density, so that the insole can be softer where the foot presses hardest (or the reverse).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "workspace/result.h"
#include "model3d/relief_mesh.h"

namespace pedaform {

// Foot cells (base_grid != 0) whose pressure (pressure_grid) is at or above `threshold` and
// below the next zone's threshold are printed with `density` percent infill.
struct PrintZone {
    int threshold = 0;  // 0..255
    int density = 0;    // 0..100
};

// Reads "T1:D1,T2:D2,..." such as "0:35,96:20,160:10": decimal thresholds 0..255 rising
// strictly, each with a decimal density 0..100; blanks around the numbers are allowed. On
// failure `zones` is left empty and the message shows the accepted form.
Result parse_print_zones(const std::string &text, std::vector<PrintZone> &zones);

// A connected piece of a zone (cells joined through their sides) with fewer cells than this,
// one cell being 1 mm x 1 mm, joins the neighbouring zone: at 20 % infill a slicer lays its
// lines about 2 mm apart, so a smaller piece could not be printed differently anyway.
constexpr int kMinZonePieceCells = 8;

// What assign_print_zones stores for a cell that belongs to no zone.
constexpr int16_t kNotFoot = -2;     // base_grid == 0
constexpr int16_t kBelowZones = -1;  // pressure below the lowest threshold: the print's own infill

// Gives every cell of the grid its zone index (into `zones`), kBelowZones or kNotFoot
// (`cell_zone` gets kGridCells entries, index y * 150 + x). Cells first take the zone of their
// pressure; then every connected piece smaller than kMinZonePieceCells, smallest first, joins
// the zone (or the kBelowZones area) that shares the longest border with it, ties going to the
// nearer and then the lower zone. A piece touching no other foot cell stays as it is.
void assign_print_zones(const MeshWork &ws, const std::vector<PrintZone> &zones,
                        std::vector<int16_t> &cell_zone);

// True when at least one foot cell falls in one of the zones.
bool zones_cover_foot(const MeshWork &ws, const std::vector<PrintZone> &zones);

}  // namespace pedaform
