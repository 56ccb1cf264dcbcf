// What a footprint tells about its foot, measured on its 1 mm raster (import/foot_raster.h):
// length and width, the toes, the arch index, the side and the landmarks.
//
// The toes: the toe line is the deepest valley of the rows' load (pressure summed across the
// contact, averaged over 9 mm) between 70 % and 93 % of the contact's length from the heel,
// when it is below kToeValleyShare of the highest row beyond it (the toes' own load). Toes
// that pressed too lightly for a valley begin where the load beyond the ball's highest row
// (in the front half) falls under kBallEdgeShare of it, if at least kMinToesMm of contact
// lies beyond. Otherwise the toes left no mark apart from the ball, and the whole footprint
// counts as toe-less.
//
// The arch index (Cavanagh and Rodgers, "The arch index: a useful measure from footprints",
// Journal of Biomechanics 20(5), 547-551, 1987): the toe-less footprint's length, from the heel
// end to the ball's front (the last contact row before the toe line) along the foot's axis,
// is cut into thirds square to the axis; the index is the middle third's contact area over
// the whole toe-less area. About 0.21 to 0.26 is a
// normal arch, less a high one, more a flat one.
//
// The side: seen from above with the toes up, a left foot's medial border is on the right.
// The midfoot's contact lies lateral of the line from the heel's centre (the contact's centroid
// in the rear third) to the forefoot's (in the front third), and the hallux, which carries the
// toes' load, medial of it: the side score is the toes' pressure centre's offset from that
// line to the right, less the middle third's contact centroid's offset to the right, in mm. A
// score above 0 is a left foot, below 0 a right one.
//
// The thirds below are those of the toe-less footprint. The landmarks, in raster cells
// (column, row), each moved to the nearest contact cell if it falls beside the contact:
//  - the heel's centre (scan landmark 3): the pressure centre of the rear third;
//  - the heel's sides (landmarks 2 and 4): on the row kHeelSidesAheadMm ahead of the heel's
//    centre, kHeelSidesInsetMm inside the contact's left and right edges (2 on the left), where
//    the heel cup's line is drawn in front of the heel's centre;
//  - the metatarsal heads (landmarks 0 and 1): in the left and right thirds, across the
//    contact's width there, of the front third of the toe-less footprint, the pressure centre
//    within kHeadRadiusMm of the third's highest cell: the head's own pressure, not that of
//    its neighbours or of the lesser toes (0 on the left: the fifth head of a left foot, the
//    first of a right one).
#pragma once

#include "import/foot_raster.h"

namespace pedaform {

enum class FootSide { kLeft, kRight };

constexpr double kToeSearchFrom = 0.70, kToeSearchTo = 0.93;
constexpr double kToeValleyShare = 0.7;
constexpr double kBallEdgeShare = 0.1;
constexpr int kMinToesMm = 10;
constexpr double kHeadRadiusMm = 10.0;
constexpr double kHeelSidesAheadMm = 20.0;
constexpr double kHeelSidesInsetMm = 3.0;

struct RasterPoint {
    int x = 0, y = 0;  // column and row of the raster
};

struct FootMeasures {
    double length_mm = 0;  // the contact along the axis
    double width_mm = 0;   // and across it
    double area_cm2 = 0;   // contact cells
    int toe_line = 0;      // first row of the toes; toe_row + 1 when none were found apart
    double arch_index = 0;
    double side_score_mm = 0;
    FootSide side = FootSide::kLeft;
    // The contact's centroids in the rear and front thirds, in raster cells (column, row).
    double heel_x = 0, heel_y = 0, fore_x = 0, fore_y = 0;
    // Landmarks as the scan numbers them: 0 and 1 the heads (left, right), 2 and 4 the
    // heel's sides (left, right), 3 the heel's centre.
    RasterPoint landmarks[5];
};

// The first row of the toes (see above).
int find_toe_line(const FootRaster &raster);
// One past the ball's front: the last row before `toe_line` with contact, plus one.
int toe_less_end(const FootRaster &raster, int toe_line);
// Contact cells of the middle third over the toe-less contact's.
double arch_index(const FootRaster &raster, int toe_line);

FootMeasures measure_foot(const FootRaster &raster);

}  // namespace pedaform
