// A footprint resampled to 1 mm cells in the foot's own frame: seen from above with the toes
// up, column X growing to the right and row Y from the heel toward the toes.
//
// The first axis is the footprint's principal axis (of its loaded sensels' centres). The heel end
// is the end loaded first on a plate (the mean first-load frame of the rear third of the footprint
// against the front third), the end away from row 1 in a shoe (in-shoe sensors have the toes toward
// row 1), and otherwise the end away from the widest part (the ball lies in the front half of every
// foot).
//
// Resampling is bilinear between sensel centres, the recording's grid being a picture of
// sensels of row_pitch x col_pitch mm: a cell's pressure is the bilinear mean of the four
// sensels around its centre (sensels outside the footprint read 0), and the cell is contact
// where the same mean of the footprint's membership (1 or 0) is at least one half, which puts
// the contact's edge on the sensels' own edges. The contact is then closed over gaps of up to
// 2 x kContactCloseMm.
#pragma once

#include <cstdint>
#include <vector>

#include "import/footprints.h"

namespace pedaform {

constexpr double kContactCloseMm = 3.0;
// Room around the contact for the outline's closing and margin (import/scan_placement.h).
constexpr double kRasterPadMm = 16.0;
// On a plate, the heel end must be loaded at least this many frames before the toe end for
// the timing to decide; otherwise the shape decides.
constexpr double kHeelLeadFrames = 1.0;

struct FootRaster {
    int w = 0, h = 0;
    std::vector<uint8_t> contact;  // w x h, row by row, row 0 toward the heel
    std::vector<float> pressure;   // w x h, in the recording's unit
    int heel_row = 0;              // first and last rows with contact
    int toe_row = -1;
    bool heel_from_timing = false;  // the heel end was found by the order of loading
    bool empty() const { return toe_row < heel_row; }
    uint8_t contact_at(int x, int y) const { return contact[static_cast<size_t>(y) * w + x]; }
    float pressure_at(int x, int y) const { return pressure[static_cast<size_t>(y) * w + x]; }
};

// The value at fractional sensel position (row, col) of a rows x cols map, sensel (r, c)
// centred at (r, c): the bilinear mean of the four around it; outside the map reads 0.
float bilinear(const float *map, int rows, int cols, double row, double col);

// The foot's frame on the recording's grid seen from above, in mm from the footprint window's
// corner (x across the columns, y down the rows): the contact's centre and the unit vector
// along the foot from heel to toes.
struct FootFrame {
    double centre_x = 0, centre_y = 0;
    double along_x = 0, along_y = 1;
    bool heel_from_timing = false;
};

// The principal axis through the footprint's centre, pointing from its heel end to its toes;
// `layout` tells how the heel end is found.
FootFrame find_foot_frame(const Footprint &footprint, double row_pitch_mm, double col_pitch_mm,
                          RecordingLayout layout);
// The frame turned by `degrees`, the toes moving toward the raster's right (+X).
FootFrame turned(const FootFrame &frame, double degrees);
// The footprint in 1 mm cells of `frame`.
FootRaster sample_footprint(const Footprint &footprint, double row_pitch_mm, double col_pitch_mm,
                            const FootFrame &frame);

}  // namespace pedaform
