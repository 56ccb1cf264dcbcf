// The start-up resources: the colour table, the nineteen insole templates and the pad shape.
// Read once (io/resources.h) and shared read-only by every design; nothing changes them after.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/grid.h"

namespace pedaform {

struct Resources {
    uint8_t colour_table[256][3] = {};  // R, G, B of each grey value
    uint8_t templates[kTemplateCount][kGridCells] = {};
    uint8_t pad_shape[kPadShapeSize * kPadShapeStride] = {};  // grey pad profile, row r at r*252
    float pad_shape_peak = 0.0f;                              // largest byte of pad_shape
};

// The file names of the nineteen templates, in index order, relative to the data folder.
extern const char *const kTemplateFiles[kTemplateCount];
// The colour table and pad shape file names, relative to the data folder.
extern const char *const kColourTableFile;  // "./lut_256.txt"
extern const char *const kPadShapeFile;     // "./drop.png"

// Reads the colour table text: up to 768 whole numbers separated by any white space, three per
// entry (red, green, blue), each stored as its low 8 bits. Stops at the 768th number or at the
// first thing that is not a number; entries that got no value keep what they held.
void parse_colour_table(std::FILE *file, uint8_t (&table)[256][3]);

// Copies the first byte of every pixel of `picture` into a template grid. A picture larger than
// 150 x 360 is cut to it (its bottom-left part is kept); a smaller one fills only its own part.
// Returns false when the picture had to be cut.
bool copy_template(const Picture &picture, uint8_t (&grid)[kGridCells]);

// Copies the first byte of every pixel into the pad shape (rows 252 bytes apart) and sets
// pad_shape_peak to the largest copied byte. A picture larger than 250 x 250 is cut to it.
// Returns false when the picture had to be cut.
bool copy_pad_shape(const Picture &picture, Resources &resources);

}  // namespace pedaform
