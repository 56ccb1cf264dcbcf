// Synthetic pressure recordings for the importer's tests, fuzz seeds and benchmark: feet of
// known side, length and place, walking or standing on a plate or worn over an in-shoe
// sensor, written in the formats labs export (import/). Nothing here is random.
#pragma once

#include <string>
#include <vector>

namespace pedaform {
namespace synth {

// One footprint. The foot's own frame: v from the heel end (0) toward the toes, u across it,
// medial positive. Its contact runs from v = 0 to v = kContactShare x length (the hallux's
// tip): a rounded heel, a lateral midfoot band beside the medial arch, the ball, four lesser
// toes and the hallux apart from the ball.
struct FootStep {
    double length_mm = 250;
    bool right_foot = false;
    // The heel end's middle on the sensor seen from above, x across the columns and y down the
    // rows, in mm from the corner of sensel (0, 0); and the walking direction, in degrees from
    // +y (down the rows) toward +x.
    double heel_x_mm = 0, heel_y_mm = 0;
    double heading_degrees = 0;
    int strike_frame = 0;    // first frame of load (the heel)
    int stance_frames = 60;  // frames to toe-off; standing: longer than the recording
    double peak_kpa = 400;   // the highest pressure, under the heel
};
constexpr double kContactShare = 0.93;

struct SensorRecording {
    int rows = 96, cols = 32;
    double row_pitch_mm = 7.62, col_pitch_mm = 5.08;
    int frames = 60;
    double kpa_per_unit = 10;  // the values' unit: 10 for N/cm2, 1 for kPa
    std::vector<FootStep> steps;
    int stuck_column = -1;  // a column reading stuck_value through the whole recording
    float stuck_value = 0;
    // Sensels farther than this from every step's contact are no sensel ("B" in a Tekscan
    // file); 0 keeps them all.
    double sensor_margin_mm = 0;
};

// Each step's pressure at (u, v) of its own frame when fully loaded, in kPa (0 off the foot).
double foot_pressure(const FootStep &step, double u_mm, double v_mm);

// frames x rows x cols values in the recording's unit, each sensel sampled at its centre.
std::vector<float> sensor_frames(const SensorRecording &recording);

// A plate's roll-off export: "Frame N (T ms)", rows of tab-separated values with one decimal,
// a blank line between frames, CR LF line ends.
std::string rolloff_text(const SensorRecording &recording);
// A Tekscan ASCII movie in kPa; with mirror_cols the columns are stored reversed and the header
// says MIRROR_COL 1. Sensels beyond sensor_margin_mm read "B".
std::string tekscan_text(const SensorRecording &recording, bool mirror_cols = false);
// The peak over frames as a grid with a header line, values separated by `separator`.
std::string peak_grid_text(const SensorRecording &recording, char separator = ',');

}  // namespace synth
}  // namespace pedaform
