// What a scan's landmarks and outline cannot carry. A scan still loads as it always did (its
// outputs are a contract), but the design says what is wrong, and the steps that need sound
// landmarks (the arch support, the heel cup, the dome placed from the metatarsal heads) are
// refused with that reason.
#pragma once

#include <cstdint>
#include <optional>

#include "core/scan.h"
#include "core/warnings.h"

namespace pedaform {

// The first of these that holds, in its words, or none for a sound scan:
//  - no insole: an outline of no length (no cell of the insole base) or no insole cell at all;
//  - no landmarks: the five landmark pixels all zero (every landmark at row 359, column 0);
//  - a landmark outside the grid, or on no insole cell;
//  - the metatarsal heads (the middle of landmarks 0 and 1) no further toe-ward than the heel's
//    centre (landmark 3): the grid's heel end is toward row 0.
// `insole`: kGridCells flags, non-zero on the insole's cells (the foot's and the template's).
std::optional<Warning> landmark_problem(const Scan &scan, const uint8_t *insole);

}  // namespace pedaform
