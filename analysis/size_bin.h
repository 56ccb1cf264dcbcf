// Foot length, size bin and template choice. Runs inside the scan load, after the channel
// split: measures the outline length in rows and looks it up in the twelve exact bin lengths.
#pragma once

#include "workspace/workspace.h"

namespace pedaform {

// What a hit in the bin table asks of the controls: the size label to show and the presets of
// the three metatarsal pad sliders. `hit` is false for a length that matches no bin; the
// label, template and sliders then keep what they held.
struct SizeBinChoice {
    bool hit = false;
    const char *label = "";  // e.g. "CM22-23" or "1-2"
    int pad_width = 0;       // preset for the width slider
    int pad_length = 0;      // preset for the length slider
    double pad_height = 0;   // preset for the height slider, millimetres
};

// Sets insole_length = outline_top_row - outline_bottom_row + 1 (printed), and on a hit
// template_index. The second family (CM) is chosen for the seven larger bins when
// first_outline_cell is one of the bin's two cells.
SizeBinChoice choose_size_bin(Workspace &ws);

}  // namespace pedaform
