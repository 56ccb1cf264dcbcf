// The grid every part of a design shares, and the types that hold a design's data, each with
// one owner:
//  - Resources (core/resources.h): the colour table, the templates and the pad shape,
//    read once at start-up and shared read-only by any number of designs;
//  - Scan (core/scan.h): one loaded scan's grids, landmarks and outline measures;
//  - DesignResults (core/design_results.h): what a design computed from its steps (pad
//    layers, relief, preview, pressure colours, stamp), owned by the design;
//  - export scratch stays local to the exporter, view state in the view.
//
// Grid convention: 150 columns x 360 rows, row by row. Cell (column x, row y) is at index
// y * 150 + x. Row 0 is the bottom scanline of the scan (the first one the picture reader
// delivers) and the bottom row of the image view. Heights are grey levels, five per millimetre.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pedaform {

constexpr int kGridWidth = 150;
constexpr int kGridHeight = 360;
constexpr int kGridCells = kGridWidth * kGridHeight;  // 54,000
constexpr int kLayerCount = 14;                       // named in relief/layers.h
constexpr int kTemplateCount = 19;
constexpr int kPadShapeSize = 250;     // pad shape picture: 250 x 250 pixels
constexpr int kPadShapeStride = 252;   // its rows padded to a multiple of 4 bytes
constexpr int kPadStampBytes = 63000;  // room for the largest stamp, 120 x 260 bytes
constexpr int kSizeBinCount = 7;

// Heights are grey levels, five to the millimetre: a pad of A mm is A x 5 levels and a level is
// 0.2 mm high in the meshes.
constexpr int kGreyLevelsPerMm = 5;
constexpr double kMmPerGreyLevel = 1.0 / kGreyLevelsPerMm;  // 0.2
// Cells of this height or more are the foot: the composition floors foot cells to it, and the
// outline search, smoothing, preview and 3D surface count only such cells.
constexpr int kFootThreshold = 10;

// A position on the grid in cells, {column, row}: a cell's own position is whole, a point
// between cells (a landmark, the metatarsal point) has fractions.
struct GridPoint {
    float column = 0;
    float row = 0;
    bool operator==(const GridPoint &o) const { return column == o.column && row == o.row; }
};

// A landmark of the foot, in grid units; stored {row, column}.
struct Landmark {
    float row;
    float column;
};

// A point of the traced outline, {x = column, y = row}.
struct OutlinePoint {
    float x;
    float y;
};

// A decoded picture as the picture reader delivers it: scanline 0 is the bottom line, each
// scanline `pitch` bytes on, pixels `bpp / 8` bytes apart (blue, green, red, alpha order).
// A picture that failed to load has width, height and bpp 0 and no bits.
struct Picture {
    int width = 0;
    int height = 0;
    int bpp = 0;
    int pitch = 0;
    int line_bytes = 0;  // bytes of pixel data per line, without padding
    int dib_size = 0;    // size of the decoded bitmap in memory, as the reader reports it
    int colours_used = 0;
    std::vector<uint8_t> bits;  // height * pitch bytes
    bool loaded() const { return !bits.empty(); }
};

}  // namespace pedaform
