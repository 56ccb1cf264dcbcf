// Speed of pressure recordings in: a 2 m plate's roll-off export of a walk to both feet's scans.
#include <benchmark/benchmark.h>

#include <string>

#include "import/pressure_import.h"
#include "tools/recording_synth.h"

using namespace pedaform;

namespace {

// A walk over a 256 x 63 plate of 7.62 x 5.08 mm sensels in N/cm2: 250 frames, five steps
// of a 260 mm foot 700 mm apart, as a roll-off export of about 16 MB.
const std::string &walk_export() {
    static const std::string text = [] {
        synth::SensorRecording r;
        r.rows = 256, r.cols = 63, r.frames = 250;
        for (int k = 0; k < 5; ++k) {
            synth::FootStep s;
            s.length_mm = 260, s.right_foot = k % 2 == 1;
            s.heel_x_mm = s.right_foot ? 110 : 210, s.heel_y_mm = 60 + 350.0 * k;
            s.strike_frame = 45 * k, s.stance_frames = 70, s.peak_kpa = 350;
            r.steps.push_back(s);
        }
        return synth::rolloff_text(r);
    }();
    return text;
}

void BM_ImportPlate(benchmark::State &state) {
    const std::string &text = walk_export();
    ImportOptions options;
    options.row_pitch_mm = 7.62, options.col_pitch_mm = 5.08, options.units = "N/cm2";
    for (auto _ : state) {
        Result<Import> im = import_recording(text, options);
        if (!im || im->scans.size() != 2) state.SkipWithError("the walk gave no two scans");
        benchmark::DoNotOptimize(im);
    }
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ImportPlate)->Unit(benchmark::kMillisecond);

}  // namespace
