// The size bins: the twelve exact outline lengths a scan can measure, the size labels of the
// two families, the template each one uses, the stamped pad's presets and where a foot of the
// bin lies on the grid. One table for the sizing, the data generator, the sample generator, the
// importer and the tests.
#pragma once

namespace pedaform {

struct SizeBin {
    int length;               // outline length in rows
    int second_cells[2];      // first_outline_cell values that select the second family
    const char *first_label;  // nullptr: the bin has only the second family
    int first_index;          // template of the first family (-1: none)
    const char *second_label;
    int second_index;  // template of the second family
    int pad_width;     // presets of "蹠骨寬", "蹠骨長" (cells) and "蹠骨墊高(mm)"
    int pad_length;
    double pad_height;
    // Where a left foot of this length lies, as the sample scans and the templates place it:
    // its heel end on row heel_row, that row's cells heel_column .. heel_column + heel_width - 1.
    // A right foot lies mirrored (column 149 - x). For the seven larger bins heel_row * 150 +
    // heel_column is second_cells[0].
    int heel_row;
    int heel_column;
    int heel_width;
};

constexpr int kSizeBinTotal = 12;
inline constexpr SizeBin kSizeBins[kSizeBinTotal] = {
    {167, {-1, -1}, nullptr, -1, "CM15.5-16.5", 7, 37, 52, 3.6, 70, 48, 12},
    {180, {-1, -1}, nullptr, -1, "CM16.5-17.5", 8, 37, 52, 3.6, 64, 47, 12},
    {191, {-1, -1}, nullptr, -1, "CM17.5-19", 9, 37, 52, 3.6, 58, 46, 13},
    {204, {-1, -1}, nullptr, -1, "CM19-20.5", 10, 37, 52, 3.6, 52, 45, 13},
    {215, {-1, -1}, nullptr, -1, "CM20.5-21", 11, 37, 52, 3.6, 46, 44, 14},
    {228, {12641, 12695}, "1-2", 0, "CM22-23", 12, 37, 52, 3.6, 84, 41, 14},
    {241, {10244, 10293}, "2.5-3.5", 1, "CM23-24", 13, 49, 78, 2.9, 68, 44, 13},
    {253, {7844, 7894}, "4-5", 2, "CM25-26", 14, 51, 82, 3.0, 52, 44, 12},
    {265, {5293, 5341}, "5.5-6.5", 3, "CM26-27", 15, 53, 85, 3.2, 35, 43, 16},
    {279, {4395, 4440}, "7-8", 4, "CM27-28", 16, 55, 90, 3.4, 29, 45, 15},
    {293, {4251, 4292}, "8.5-9.5", 5, "CM28-29", 17, 57, 95, 3.6, 28, 51, 7},
    {305, {4096, 4136}, "10-11", 6, "CM29-30", 18, 59, 98, 3.7, 27, 46, 18},
};

// The outline length of template t (0..18): each template belongs to exactly one bin.
constexpr int template_length(int t) {
    for (const SizeBin &b : kSizeBins)
        if (b.first_index == t || b.second_index == t) return b.length;
    return 0;
}

}  // namespace pedaform
