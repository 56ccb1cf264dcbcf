#include "analysis/size_bin.h"

#include <cassert>

#include "workspace/console.h"

namespace pedaform {

namespace {

struct SizeBin {
    int length;
    int cells[2];             // first_outline_cell values that select the second family
    const char *first_label;  // nullptr: the bin has only the second family
    const char *second_label;
    int second_index;
    int width;
    int pad_length;
    double height;
};

const SizeBin kBins[] = {
    {167, {-1, -1}, nullptr, "CM15.5-16.5", 7, 37, 52, 3.6},
    {180, {-1, -1}, nullptr, "CM16.5-17.5", 8, 37, 52, 3.6},
    {191, {-1, -1}, nullptr, "CM17.5-19", 9, 37, 52, 3.6},
    {204, {-1, -1}, nullptr, "CM19-20.5", 10, 37, 52, 3.6},
    {215, {-1, -1}, nullptr, "CM20.5-21", 11, 37, 52, 3.6},
    {228, {12641, 12695}, "1-2", "CM22-23", 12, 37, 52, 3.6},
    {241, {10244, 10293}, "2.5-3.5", "CM23-24", 13, 49, 78, 2.9},
    {253, {7844, 7894}, "4-5", "CM25-26", 14, 51, 82, 3.0},
    {265, {5293, 5341}, "5.5-6.5", "CM26-27", 15, 53, 85, 3.2},
    {279, {4395, 4440}, "7-8", "CM27-28", 16, 55, 90, 3.4},
    {293, {4251, 4292}, "8.5-9.5", "CM28-29", 17, 57, 95, 3.6},
    {305, {4096, 4136}, "10-11", "CM29-30", 18, 59, 98, 3.7},
};

}  // namespace

SizeBinChoice choose_size_bin(Workspace &ws) {
    ws.insole_length = ws.outline_top_row - ws.outline_bottom_row + 1;
    console_printf("insole length %d \n", ws.insole_length);

    for (int i = 0; i < kSizeBinCount; ++i) {
        if (ws.template_lengths[i] == ws.insole_length) {
            ws.template_index = i;
            break;
        }
    }

    SizeBinChoice choice;
    for (const SizeBin &bin : kBins) {
        if (bin.length != ws.insole_length) continue;
        if (bin.first_label == nullptr) {
            ws.template_index = bin.second_index;
            choice.label = bin.second_label;
        } else if (ws.first_outline_cell == bin.cells[0] || ws.first_outline_cell == bin.cells[1]) {
            // Second family: the first-family index found above, plus 12.
            ws.template_index += 12;
            choice.label = bin.second_label;
        } else {
            choice.label = bin.first_label;
        }
        // The bins' indices and the start-up template lengths agree: nothing here leaves 0..18.
        assert(ws.template_index >= 0 && ws.template_index < kTemplateCount);
        choice.hit = true;
        choice.pad_width = bin.width;
        choice.pad_length = bin.pad_length;
        choice.pad_height = bin.height;
        break;
    }
    return choice;
}

}  // namespace pedaform
