// Stuck sensels: a sensel that reads a load through the whole recording, far above its
// neighbours, is a fault of the sensor, not a foot. Found on the file's own grid, said in its
// numbering (rows and columns from 1) and filled from the neighbours that are not stuck.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "import/recording.h"

namespace pedaform {

// A recording of fewer frames cannot tell a stuck sensel from a foot standing still.
constexpr int kStuckMinFrames = 10;
// A stuck sensel's smallest value over the recording exceeds this many times its neighbours'
// smallest values (on both sides of it across the stuck line).
constexpr float kStuckRatio = 4.0f;
// Along a column or a row, at least this many stuck sensels in a run count as a stuck line;
// shorter runs count only where all four neighbours are far below.
constexpr int kStuckRunMin = 3;

// How a stuck sensel is filled: from its left and right neighbours (a stuck column), from
// the ones above and below (a stuck row), or from all four (a sensel alone).
enum StuckKind : uint8_t { kNotStuck = 0, kStuckInColumn, kStuckInRow, kStuckAlone };

struct StuckSensels {
    std::vector<uint8_t> kind;       // rows x cols, StuckKind; empty when none is stuck
    std::vector<std::string> found;  // "column 12 (rows 1-256)", "row 4, column 7", ...
    bool any() const { return !kind.empty(); }
};

// Looks at every sensel's smallest value over all frames (recordings of at least
// kStuckMinFrames frames; fewer find none).
StuckSensels find_stuck_sensels(const Recording &recording);

// Replaces each stuck sensel of a map of the recording's grid by the mean of its neighbours of
// its kind that are neither stuck nor absent (0 without one).
void fill_stuck_sensels(const StuckSensels &stuck, const Recording &recording, float *map);

}  // namespace pedaform
