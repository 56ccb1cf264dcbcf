#include "analysis/size_bin.h"

#include <array>
#include <cassert>
#include <cstdlib>

#include "core/console.h"
#include "core/size_table.h"

namespace pedaform {

namespace {

struct LabelEntry {
    const SizeBin *bin;
    bool second;
};

// The labels in table order: each bin's first family, then its second.
const LabelEntry *label_entries() {
    static const std::array<LabelEntry, kSizeLabelCount> entries = [] {
        std::array<LabelEntry, kSizeLabelCount> made{};
        int n = 0;
        for (const SizeBin &bin : kSizeBins) {
            if (bin.first_label != nullptr) made[n++] = {&bin, false};
            made[n++] = {&bin, true};
        }
        return made;
    }();
    return entries.data();
}

SizeBinChoice choice_of(const SizeBin &bin, bool second) {
    SizeBinChoice choice;
    choice.hit = true;
    choice.label = second ? bin.second_label : bin.first_label;
    choice.pad_width = bin.pad_width;
    choice.pad_length = bin.pad_length;
    choice.pad_height = bin.pad_height;
    choice.template_index = second ? bin.second_index : bin.first_index;
    return choice;
}

}  // namespace

SizeBinChoice choose_size_bin(Scan &scan) {
    scan.insole_length = scan.outline_top_row - scan.outline_bottom_row + 1;
    console_printf("insole length %d \n", scan.insole_length);
    for (const SizeBin &bin : kSizeBins) {
        if (bin.length != scan.insole_length) continue;
        const bool second = bin.first_label == nullptr ||
                            scan.first_outline_cell == bin.second_cells[0] ||
                            scan.first_outline_cell == bin.second_cells[1];
        const SizeBinChoice choice = choice_of(bin, second);
        scan.template_index = choice.template_index;
        // The table's indices name templates: nothing here leaves 0..18.
        assert(*scan.template_index >= 0 && *scan.template_index < kTemplateCount);
        return choice;
    }
    // Never the previous scan's template: that would lay this foot on another size.
    scan.template_index = std::nullopt;
    SizeBinChoice miss = choice_of(nearest_size_bin(scan.insole_length), true);
    miss.hit = false;
    miss.template_index = std::nullopt;
    miss.label = "";
    miss.nearest = &nearest_size_bin(scan.insole_length);
    console_printf("insole length %d matches no size; nearest %s\n", scan.insole_length,
                   size_bin_labels(*miss.nearest).c_str());
    return miss;
}

const SizeBin &nearest_size_bin(int length) {
    const SizeBin *nearest = &kSizeBins[0];
    for (const SizeBin &bin : kSizeBins)  // rising lengths: a tie keeps the shorter
        if (std::abs(bin.length - length) < std::abs(nearest->length - length)) nearest = &bin;
    return *nearest;
}

std::string size_bin_labels(const SizeBin &bin) {
    if (bin.first_label == nullptr) return bin.second_label;
    return std::string(bin.first_label) + " / " + bin.second_label;
}

const char *size_label(int index) {
    const LabelEntry &e = label_entries()[index];
    return e.second ? e.bin->second_label : e.bin->first_label;
}

std::optional<int> size_label_index(const std::string &label) {
    for (int i = 0; i < kSizeLabelCount; ++i)
        if (label == size_label(i)) return i;
    return std::nullopt;
}

SizeBinChoice size_of_label(int index) {
    const LabelEntry &e = label_entries()[index];
    return choice_of(*e.bin, e.second);
}

}  // namespace pedaform
