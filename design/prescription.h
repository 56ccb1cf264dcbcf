// The prescription in the lab's own words: one entry for every control of a design that is not
// at 0, as an order form names it ("rearfoot post 4° varus", "heel cup 10 mm"). The batch
// report's "prescription" object and the order sheet print these same words.
#pragma once

#include <string>
#include <vector>

#include "design/controls.h"

namespace pedaform {

struct PrescriptionEntry {
    Control control;
    std::string words;
};

// In the order of the control table. The pads are named by the side of the foot they lie under,
// which depends on the foot (`right_foot`: a scan whose template is mirrored); the stamped pad
// by its height while it is on. The pressure colours' filter and gain and the stamped pad's size
// are no part of a prescription.
std::vector<PrescriptionEntry> prescription(const Controls &controls, bool right_foot);
// The words alone, in the same order.
std::vector<std::string> prescription_words(const Controls &controls, bool right_foot);

}  // namespace pedaform
