// A pressure recording as its reader found it: the sensor grid, what the file says about its
// pitch, unit and orientation, and every frame's values. The three readers
// (import/tekscan_reader.h, import/rolloff_reader.h, import/grid_reader.h) fill it; the
// importer (import/pressure_import.h) turns it into footprints and scans.
//
// Rows and columns are the file's: row 0 is the first line of a frame, column 0 its first
// value. Read as a picture (row 0 on top, column 0 on the left) the grid is the sensor seen
// from above, unless the file says it is mirrored or the operator says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pedaform {

enum class RecordingSource {
    kTekscanMovie,  // Tekscan ASCII movie (.asf): a header, then frames
    kPlateRollOff,  // a plate's "roll-off" text export: frames without a header
    kPeakGrid,      // one grid of numbers: the peak pressure already taken
};

// Bounds that keep a hostile file from asking for unbounded memory.
constexpr int kMaxRecordingSide = 4096;          // rows or columns
constexpr long kMaxRecordingSensels = 1L << 20;  // rows x columns

struct Recording {
    RecordingSource source = RecordingSource::kPeakGrid;
    int rows = 0;
    int cols = 0;
    int frames = 0;
    // Sensor pitch in millimetres, row to row and column to column; 0 when the file does not
    // say.
    double row_pitch_mm = 0;
    double col_pitch_mm = 0;
    std::string unit;  // the unit as the file names it; "" when the file does not say
    // As the file says: the rows, or the columns, are stored in reverse (Tekscan's MIRROR_ROW
    // and MIRROR_COL).
    bool mirror_rows = false;
    bool mirror_cols = false;
    // frames x rows x cols values, frame by frame, row by row; negative values are stored as 0.
    std::vector<float> values;
    // rows x cols: 1 where the file marks a cell without a sensel (Tekscan's "B").
    std::vector<uint8_t> absent;

    long sensels() const { return static_cast<long>(rows) * cols; }
    const float *frame(int f) const { return values.data() + f * sensels(); }
};

}  // namespace pedaform
