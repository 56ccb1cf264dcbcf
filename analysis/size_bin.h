// Foot length, size bin and template choice. Runs inside the scan load, after the channel
// split: measures the outline length in rows and looks it up in the twelve exact bin lengths
// (workspace/size_table.h). The operator can also choose a size by its label.
#pragma once

#include <string>

#include "workspace/scan.h"

namespace pedaform {

// What a size asks of the controls: the size label to show and the presets of the three
// metatarsal pad sliders. `hit` is false for a length that matches no bin; the label is then
// empty and the template none.
struct SizeBinChoice {
    bool hit = false;
    const char *label = "";  // e.g. "CM22-23" or "1-2"
    int pad_width = 0;       // preset for the width slider
    int pad_length = 0;      // preset for the length slider
    double pad_height = 0;   // preset for the height slider, millimetres
};

// Sets insole_length = outline_top_row - outline_bottom_row + 1 (printed) and template_index.
// The second family (CM) is chosen for the seven larger bins when first_outline_cell is one of
// the bin's two cells. A length that matches no bin sets template_index to -1 (no template:
// smoothing and the exports lay the relief on none) and prints "insole length %d matches no
// size".
SizeBinChoice choose_size_bin(Scan &scan);

// The 19 size labels in table order (each bin's first family, then its second), and the
// template each selects.
constexpr int kSizeLabelCount = 19;
const char *size_label(int index);
// The index of a label, or -1.
int size_label_index(const std::string &label);
// The size of label `index` as if its bin had matched in that family; `template_index` gets
// the template it uses.
SizeBinChoice size_of_label(int index, int &template_index);

}  // namespace pedaform
