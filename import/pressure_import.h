// Pressure recordings in: the one entry point that turns what a lab's plate or in-shoe system
// exports into the program's own scans, one a foot, with every footprint it found.
//
// Three formats, told apart by their text: a Tekscan ASCII movie (a header ending in
// "ASCII_DATA", import/tekscan_reader.h), a plate's roll-off export (starting with a "Frame"
// line, import/rolloff_reader.h) and a plain peak-pressure grid (anything else,
// import/grid_reader.h).
//
// From the recording to each foot's scan:
//  - the peak over frames, stuck sensels filled (import/stuck_sensels.h), one footprint a step
//    (import/footprints.h); steps that touch a plate's edge or cover under 40 cm² are set aside
//    and counted;
//  - each footprint in 1 mm cells along its own axis, heel end first (import/foot_raster.h);
//  - its length, width, toes, arch index, side and landmarks (import/foot_measures.h); the
//    side comes from the foot's own shape unless the operator names it; an in-shoe file or a
//    grid whose name ends in L or R (FrasP01L.asf) confirms it or is said to disagree;
//  - the scan of a side is its most complete step: one loaded neither in the recording's
//    first nor its last frame, the largest such by contact area (or the largest of all when
//    none is whole in time); the operator may choose another by its number;
//  - placed and written as the program's scan (import/scan_placement.h).
//
// The recording is seen from above as a picture of its rows (row 1 on top) and columns (column
// 1 on the left): a Tekscan file's MIRROR_ROW and MIRROR_COL turn it so, and the operator's
// mirror flag turns its columns for a plate that records the other way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/grid.h"
#include "core/result.h"
#include "import/foot_measures.h"
#include "import/recording.h"

namespace pedaform {

struct ImportOptions {
    // Sensor pitch in mm, row to row and column to column; 0: the file's (a plate export and a
    // grid do not give it, so the operator must).
    double row_pitch_mm = 0;
    double col_pitch_mm = 0;
    std::string units;  // the values' unit (import/pressure_units.h); "": the file's
    // The footprints (numbered from 1) to use, at most one of each side; a side without one
    // takes its default.
    std::vector<int> steps;
    bool side_given = false;  // every footprint is of `side` (a foot whose shape reads wrong)
    FootSide side = FootSide::kLeft;
    bool mirror = false;    // the plate records seen from below: turn its columns
    std::string file_name;  // the recording's name, for the L or R it may end in
};

// A footprint's peak pressure as a picture: 1 mm cells along the foot as its scan lies (row 0
// at the heel end, a left foot's lateral border at low columns), cropped to the contact. Each
// cell is 0 off the contact, else 1..255 in proportion to the footprint's own peak.
struct FootPicture {
    int w = 0, h = 0;
    std::vector<uint8_t> level;  // w x h, row by row
};

struct ImportedFootprint {
    int number = 0;         // 1.. in order of first load
    bool measured = false;  // false for one set aside before it was measured (too small)
    FootSide side = FootSide::kLeft;
    double length_mm = 0, width_mm = 0, area_cm2 = 0;
    // Where it lies on the sensor seen from above, in mm: x across the columns, y down the rows.
    double centre_x_mm = 0, centre_y_mm = 0;
    double peak_kpa = 0;  // 0 when the unit is unknown
    double arch_index = 0;
    int first_frame = 0, last_frame = 0;  // from 0
    bool whole_in_time = true;
    bool used = false;
    std::string set_aside;        // why it is not used as a foot; "" for one that could be
    std::string set_aside_words;  // the same in the GUI's words
    FootPicture picture;          // empty unless measured
};

struct ImportedScan {
    FootSide side = FootSide::kLeft;
    int footprint = 0;            // its number
    std::vector<uint8_t> pixels;  // 150 x 360 x 4, ready for encode_bmp32
    Landmark landmarks[5];        // on the grid
    double landmarks_mm[5] = {};  // each landmark's distance from the heel end along the axis
    double arch_index = 0;
    int kpa_at_255 = 0;       // the pressure of alpha 255 in kPa; 0: unknown
    int size_bin_length = 0;  // the nearest size bin, whose heel row the foot sits on
};

struct Import {
    RecordingSource source = RecordingSource::kPeakGrid;
    const char *layout = "";  // "plate", "in-shoe" or "peak grid"
    int rows = 0, cols = 0, frames = 0;
    double row_pitch_mm = 0, col_pitch_mm = 0;
    std::string unit;  // as given or as the file says; "" when unknown
    std::vector<ImportedFootprint> footprints;
    std::vector<ImportedScan> scans;    // the left foot first
    std::vector<std::string> warnings;  // what the operator must hear: stuck sensels, doubts
};

// The recording's bytes, as read by the io layer. Fails naming the line for a truncated
// frame, a wrong column count or a value that does not parse; fails too for a missing pitch or
// unit, a chosen step that does not exist or was set aside, and a recording without a
// footprint. A failure produces nothing.
Result<Import> import_recording(std::string_view bytes, const ImportOptions &options);

const char *foot_side_name(FootSide side);  // "left" or "right"

// The name of a foot's scan made from `recording`: the recording's name without its folder and
// last extension, then "_L.bmp" or "_R.bmp" (walk.txt gives walk_L.bmp).
std::string imported_scan_name(const std::string &recording, FootSide side);

// What a recording says of itself before it is imported: its format and the sensor pitch and
// unit it gives (0 and "" where it does not: a roll-off export and a grid never do). Reads a
// Tekscan file's header only; fails as the import would for a bad header.
struct RecordingScale {
    RecordingSource source = RecordingSource::kPeakGrid;
    double row_pitch_mm = 0, col_pitch_mm = 0;
    std::string unit;
};
Result<RecordingScale> recording_scale(std::string_view bytes);

}  // namespace pedaform
