// An imported foot placed on the scan's grid and written as the scan's pixels, where the
// sample scans and the scanning side place feet.
//
// The outline: the contact closed over gaps of up to 2 x kOutlineCloseMm (the toes' clefts,
// a gap between the toes and the ball) and widened by kOutlineMarginMm all round, for the
// sensor's pitch leaves the contact's edge uncertain by half a sensel and the foot's sides
// stand beyond its contact. It becomes the insole base: blue kImportedBase, the floor the
// sample scans carry (the arch and the heel cup are the design's orthotic controls, not the
// import's guess).
//
// The place: heel toward row 0, seen from above, turned so that the line from the heel's
// centre to the forefoot's (FootMeasures' rear and front third centroids) leans
// kForefootLeanDegrees medially from the rows, as on the sample feet and the templates (which
// flare medially toward the ball). The outline's length picks the nearest size
// bin (core/size_table.h); the outline's lowest row goes on that bin's heel row, so that the
// bin's template meets it, and the heel's centre (landmark 3) on the middle of the bin's heel
// cells: toward the low columns for a left foot, mirrored toward the high ones for a right.
// A foot that would leave the grid is moved in; one whose margins would read as the other
// side (decide_foot_side, analysis/scan_loader.h) is moved toward its own side until they
// read right.
//
// The pixels: 150 x 360 x 4 bytes (blue, green, red, alpha), row 0 first, as the scan format
// holds them: in the outline blue the base and alpha the pressure (255 the full scale), green
// and red 0 everywhere; in the top scanline pixels 0..4 the landmarks (blue * 256 + green =
// 359 - row, red = column, alpha 0) and pixel 5 the arch index in hundredths (red) and the
// full scale in whole kPa (blue * 256 + green; 0 when the unit is unknown).
#pragma once

#include <cstdint>
#include <vector>

#include "core/grid.h"
#include "core/result.h"
#include "import/foot_measures.h"

namespace pedaform {

constexpr double kOutlineCloseMm = 8.0;
constexpr double kOutlineMarginMm = 3.0;
constexpr uint8_t kImportedBase = 14;
constexpr double kForefootLeanDegrees = 4.2;

// The turn of the foot's frame (import/foot_raster.h, turned) that gives it that lean.
double placement_turn_degrees(const FootMeasures &measures, FootSide side);

struct PlacedScan {
    std::vector<uint8_t> pixels;  // kGridCells x 4
    Landmark landmarks[5];        // on the grid
    int bin_length = 0;           // the size bin the outline's length is nearest to
    int outline_length = 0;       // rows
};

// `units_at_255`: the pressure, in the raster's unit, that alpha 255 stands for;
// `kpa_at_255`: the same in whole kPa, 0 when the unit is unknown. Fails when the outline
// does not fit the grid (longer than 359 rows or wider than 150 columns) or is too wide for
// its margins to read as its side.
Result<PlacedScan> place_foot(const FootRaster &raster, const FootMeasures &measures, FootSide side,
                              double units_at_255, int kpa_at_255);

}  // namespace pedaform
