// Pressure zones of a printed insole: ranges of foot pressure, each printed with its own infill
// density, so that the insole is softer where the foot presses hardest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"
#include "core/grid.h"
#include "model3d/surface_cells.h"

namespace pedaform {

// A zone starts at `threshold`: a share of the foot's highest pressure (`percent`, 0..100) or a
// pressure (0..255). Insole cells from there up to the next zone's start are printed with
// `density` percent infill. Cells below the first start, and cells without pressure, belong to
// the first zone.
struct PrintZone {
    int threshold = 0;
    bool percent = false;
    int density = 0;  // 0..100
    bool operator==(const PrintZone &o) const {
        return threshold == o.threshold && percent == o.percent && density == o.density;
    }
};

// The zones offered when the operator has chosen none, "0:35,10%:20,50%:10": the arch and the
// midfoot, which carry (almost) no pressure, and every cell outside the scan's footprint stay
// firm at 35 %; cells that carry weight at all (from a tenth of the peak: the metatarsal heads'
// cells and the heel centre, even at the edge of a pressure blob) are printed softer, the peaks
// (from half of the peak) softest. The firm zone has the highest density, so the zoned insole
// never takes more filament than a plain one at 35 %.
extern const char *const kDefaultPrintZones;

// Reads "T1:D1,T2:D2,..." such as "0:35,40%:20,70%:10": thresholds written as shares of the
// peak ("40%", up to 100) or as pressures (0..255), one form per list except that a 0 may be
// written either way, rising strictly; each with a decimal density 0..100. Blanks around the
// numbers and before "%" are allowed. The failure's message shows the accepted form.
Result<std::vector<PrintZone>> parse_print_zones(const std::string &text);

// The text parse_print_zones reads back to `zones`, without blanks ("" for none).
std::string print_zones_text(const std::vector<PrintZone> &zones);

// How a modifier is named: "pressure 40–70 % of peak, infill 20 %", or for pressures
// "pressure 96–159, infill 20 %". The first zone starts at 0, the last ends at 100 % or 255.
std::string print_zone_name(const std::vector<PrintZone> &zones, int zone);

// A connected piece of a zone (cells joined through their sides) with fewer cells than this,
// one cell being 1 mm x 1 mm, joins the neighbouring zone: at 20 % infill a slicer lays its
// lines about 2 mm apart, so a smaller piece could not be printed differently anyway.
constexpr int kMinZonePieceCells = 8;

// What assign_print_zones stores for a cell outside the insole.
constexpr int16_t kNotInsole = -1;

// Gives every insole cell (`insole` non-zero, kGridCells entries) its zone index and every
// other cell kNotInsole (`cell_zone` gets kGridCells entries, index y * 150 + x). Percentages
// are of the highest `pressure` among the insole cells. Cells first take the zone of their
// pressure; then every connected piece smaller than kMinZonePieceCells, smallest first, joins
// the zone that shares the longest border with it, ties going to the nearer and then the lower
// zone. A piece touching no other insole cell stays as it is. `zones` must not be empty.
void assign_print_zones(const uint8_t *insole, const uint8_t *pressure,
                        const std::vector<PrintZone> &zones, std::vector<int16_t> &cell_zone);

}  // namespace pedaform
