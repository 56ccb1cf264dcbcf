// The prescription in the lab's words: what a design asks of the insole, one entry for each
// control in use ("rearfoot post 4° varus", "shell length sulcus", "top cover 1.5 mm"), as the
// order sheet prints it (order/order_sheet.h) and the batch report's "prescription" lists it.
//
// The pressure filter and gain only colour the picture and the stamped pad's size belongs to
// its dome, so they have no entry of their own. Values are in the controls' units: millimetres
// for the wedges and the orthotic controls, cells (1 mm) for the dome's width and length.
#pragma once

#include <string>
#include <vector>

#include "design/controls.h"

namespace pedaform {

struct PrescriptionItem {
    Control control;    // the control the entry comes from
    std::string words;  // "arch support 8 mm", "metatarsal dome 51 x 82 mm, 5 mm high"
};

// The entries of the controls that are not 0, in the order of Control.
std::vector<PrescriptionItem> prescription(const Controls &controls);

// Just the words, in the same order.
std::vector<std::string> prescription_words(const Controls &controls);

}  // namespace pedaform
