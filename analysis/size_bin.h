// Foot length, size bin and template choice. Runs inside the scan load, after the channel
// split: measures the outline length in rows and looks it up in the twelve exact bin lengths
// (core/size_table.h). The operator can also choose a size by its label.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/scan.h"
#include "core/size_table.h"

namespace pedaform {

// What a size asks of the controls: the size label to show and the presets of the three
// metatarsal pad sliders. `hit` is false for a length that matches no bin; the label is then
// empty, the template none, and the presets those of the nearest bin.
struct SizeBinChoice {
    bool hit = false;
    const char *label = "";            // e.g. "CM22-23" or "1-2"
    int pad_width = 0;                 // preset for the width slider
    int pad_length = 0;                // preset for the length slider
    double pad_height = 0;             // preset for the height slider, millimetres
    const SizeBin *nearest = nullptr;  // a miss: the bin nearest by length, the shorter on a tie
    std::optional<int32_t> template_index;  // the size's template; none for a miss
};

// The bin whose length is nearest to `length`; on a tie the shorter one.
const SizeBin &nearest_size_bin(int length);
// The bin's labels as the operator reads them: "4-5 / CM25-26", or "CM17.5-19" alone.
std::string size_bin_labels(const SizeBin &bin);

// Sets insole_length = outline_top_row - outline_bottom_row + 1 (printed) and template_index.
// The second family (CM) is chosen for the seven larger bins when first_outline_cell is one of
// the bin's two cells. A length that matches no bin leaves the scan without a template
// (smoothing and the exports lay the relief on none), takes the presets of the nearest bin and
// prints "insole length %d matches no size; nearest " and that bin's labels.
SizeBinChoice choose_size_bin(Scan &scan);

// The 19 size labels in table order (each bin's first family, then its second), and the
// template each selects.
constexpr int kSizeLabelCount = 19;
const char *size_label(int index);
// The index of a label; none for a text that is no size label.
[[nodiscard]] std::optional<int> size_label_index(const std::string &label);
// The size of label `index` as if its bin had matched in that family, its template included.
SizeBinChoice size_of_label(int index);

}  // namespace pedaform
