// From a recording to its footprints: the peak over frames, stuck sensels filled, the grid
// turned to be seen from above, and the loaded sensels grouped into one footprint a step.
//
// On a plate every step lands in its own place, so the peak over the whole recording holds
// them all and each group of loaded sensels is one step. An in-shoe sensor lies under the same
// foot at every step: its recording is cut in time into steps (runs of frames with load), and
// each step's peak is one footprint. A peak grid is one frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "import/recording.h"
#include "import/stuck_sensels.h"

namespace pedaform {

enum class RecordingLayout { kPlate, kInShoe, kPeakGrid };

// Loaded sensels closer than this (centre to centre) belong to one footprint: toes a little
// apart from the ball stay with their foot, two feet side by side stay apart.
constexpr double kFootprintJoinMm = 20.0;
// A step smaller than this is set aside (a toe's touch, a foot that barely reached the plate).
constexpr double kMinFootprintCm2 = 40.0;
// Nor is anything longer or wider than this a foot.
constexpr double kMaxFootprintMm = 400.0;
// An in-shoe frame is loaded when at least this many sensels read a load.
constexpr int kStepMinLoadedSensels = 3;
// A recording holds at most this many in-shoe steps; later frames join the last one.
constexpr int kMaxSteps = 256;

struct FootprintSearch {
    RecordingLayout layout = RecordingLayout::kPlate;
    double row_pitch_mm = 0;
    double col_pitch_mm = 0;
    // Reverse the rows, or the columns, to see the sensor from above (the file's mirror flags
    // and the operator's --mirror together).
    bool flip_rows = false;
    bool flip_cols = false;
};

// One footprint on the grid seen from above. Its window is rows r0.. r0 + rows - 1 and columns
// c0.. c0 + cols - 1 of that grid, one sensel bigger than its sensels all round; the maps cover
// the window, row by row, and hold only this footprint's sensels.
struct Footprint {
    int r0 = 0, c0 = 0, rows = 0, cols = 0;
    std::vector<uint8_t> member;        // 1: a loaded sensel of this footprint
    std::vector<float> peak;            // its peak over the step, in the file's unit
    std::vector<int32_t> first_loaded;  // frame of its first load; -1 unknown (stuck, filled)
    int first_frame = 0;                // first and last frame with load
    int last_frame = 0;
    bool whole_in_time = true;  // loaded in neither the recording's first nor last frame
    bool touches_edge = false;  // a sensel on the plate's border row or column
    double extent_mm = 0;       // the longer side of its sensels' bounding box
    double area_cm2 = 0;        // loaded sensels times the sensel's area
    // The loaded sensels' centroid on the grid seen from above, in mm from its corner: x across
    // the columns, y down the rows.
    double centre_x_mm = 0, centre_y_mm = 0;
    float peak_value = 0;         // highest sensel, in the file's unit
    std::string set_aside;        // why it is not a foot to use; "" for one that is
    std::string set_aside_words;  // the same in the GUI's words
};

struct Footprints {
    int rows = 0, cols = 0;       // the grid seen from above
    std::vector<Footprint> list;  // in order of first load, then from row 0 and column 0
    StuckSensels stuck;           // in the file's numbering
};

Footprints find_footprints(const Recording &recording, const FootprintSearch &search);

}  // namespace pedaform
