// Synthetic insoles: outlines, templates and pressure scans that look like the real ones, for
// the data folder, the tests and the benchmarks. Nothing here is random unless seeded.
#pragma once

#include <cstdint>
#include <vector>

#include "core/grid.h"

namespace pedaform {
namespace synth {

// An insole outline: for each row, the span of columns [left, right]; rows outside the
// outline have left > right. Row `bottom` is the heel end, bottom + length - 1 the toe end.
struct Outline {
    int bottom = 0;
    int length = 0;
    int left[kGridHeight];
    int right[kGridHeight];
};

// An insole template's outline, the bottom of a shoe last: `length` rows from `bottom`, a
// rounded heel whose end row spans first_column - 4 .. first_column + bottom_width + 5 (so
// that it holds either family's foot), a straight lateral border, a medial border that runs
// out to the ball without an arch notch, and a toe box whose blunt end lies towards the big
// toe. Drawn for a left foot (the big toe on the right, seen from above), or mirrored for a
// right foot. All columns stay within 1..148 for the lengths of the size bins.
Outline insole_outline(int length, int bottom, int first_column, int bottom_width, bool right_foot);

// The footprint a scan carries, inside the insole_outline of the same length, bottom and
// placement (or two columns off it): its bottom row exactly first_column .. first_column +
// bottom_width - 1 (or the mirror), its toe end on the insole's last row, a few cells clear of
// the insole's borders elsewhere (2 to 6), with the medial arch's notch. With `wide_heel` the heel
// fills more of the insole's heel and the forefoot keeps 10 cells off the lateral border, so
// that the heel's lateral edge comes within a few cells of the forefoot's, as on some measured
// feet: turned by a few degrees, it becomes the foot's outermost cell.
Outline foot_outline(int length, int bottom, int first_column, int bottom_width, bool right_foot,
                     bool wide_heel = false);

// Where the size bins' outlines lie (the size table's heel rows and columns): for the seven
// larger bins the row and column of the first cell that selects the second family for a left
// foot; the right foot is the mirror.
struct BinPlacement {
    int length;
    int bottom;        // the outline's lowest row
    int first_column;  // leftmost cell of that row for a left foot
    int bottom_width;  // width of that row
};
// The twelve bins in length order (167 ... 305).
const std::vector<BinPlacement> &bin_placements();
const BinPlacement *placement_for(int length);

// A template grid: `floor` inside the outline, 0 outside.
void template_grid(const Outline &outline, uint8_t floor, uint8_t (&grid)[kGridCells]);

struct ScanRecipe {
    int length = 253;
    bool right_foot = false;
    // true: placed on the bin's second-family cell; false: two columns further in, which
    // selects the first family for the seven larger bins.
    bool second_family = true;
    uint32_t seed = 1;
    uint8_t ai = 87;  // diagnostic value, in hundredths
    // Landmarks and pressure peaks at the proportions of measured feet: the fifth metatarsal
    // head at 60% of the length from the heel, the first at 71%, the heel centre at 14%, the
    // hallux at 90%. false: both metatarsal landmarks on one row at 70%, as the scanner's
    // own test feet have them.
    bool measured = false;
    bool wide_heel = false;  // see foot_outline
    // The whole foot turned about its centre, counter-clockwise, then moved along the rows so
    // that its heel end lies on the insole's heel end row again. It is drawn as long as it must
    // be to span `length` rows once turned (a turn shortens or lengthens an outline by a row
    // or so); `outline_out` is then that longer or shorter outline, before the turn.
    double turn_degrees = 0;
};

// A 150 x 360 scan of 32 bits per pixel as the scanner delivers it: blue the insole base
// (12..60 inside the foot's outline, higher along the arch), alpha the pressure (blobs under
// heel, forefoot and toes), and the six metadata pixels of the top scanline holding landmarks
// (metatarsal line, heel sides, heel end) and "ai". Bits bottom-up, pitch 600. The foot is
// foot_outline of the bin's placement and lies inside the bin's insole_outline (mirrored for
// a right foot), the two heel ends on one row. A turned foot may cross the insole's border by
// a cell or two; the wide-heeled right foot turned by 3 degrees does not.
Picture make_scan(const ScanRecipe &recipe, Outline *outline_out = nullptr);

// Landmarks as the scan carries them: index k = {row, column}. 0 and 1 the lateral and medial
// ends of the metatarsal line, 2 and 4 the heel's sides, 3 the heel end.
void scan_landmarks(const Outline &outline, Landmark (&landmarks)[5], bool measured = false,
                    bool right_foot = false);

// The scan as a 32-bit BMP file.
std::vector<uint8_t> scan_bmp(const Picture &scan);

// Colour table: 256 entries of a smooth perceptual map, dark blue (0) through green and
// yellow to dark red (255).
void colour_map(uint8_t (&table)[256][3]);

// The metatarsal pad's shape: 250 x 250 grey, a teardrop along the rows whose wide end lies near
// the last row and narrow end near row 0 (rows bottom-up, as the picture file stores them). Its
// highest point, 255 on row 166, is a third of the way from the wide end; the height falls
// steeply towards the wide end and gently towards the tip, and smoothly to 0 at the outline.
// The stamp lays row 0 heel-ward and the last row on the metatarsal point's row, for either
// foot, so the wide end lies towards the toes and the top about L / 3 behind the point.
void pad_dome(uint8_t (&pixels)[kPadShapeSize * kPadShapeSize]);

}  // namespace synth
}  // namespace pedaform
