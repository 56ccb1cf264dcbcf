// The design workspace: every grid of one insole design, the colour table, the templates and
// the pad shape, as one plain struct. The image view owns one of these; the batch command and
// the tests make their own. Nothing here knows about windows, OpenGL or image files.
//
// Grid convention: 150 columns x 360 rows, row by row. Cell (column x, row y) is at index
// y * 150 + x. Row 0 is the bottom scanline of the scan (the first one the picture reader
// delivers) and the bottom row of the image view. Heights are grey levels, five per millimetre.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pedaform {

constexpr int kGridWidth = 150;
constexpr int kGridHeight = 360;
constexpr int kGridCells = kGridWidth * kGridHeight;  // 54,000
constexpr int kLayerCount = 6;
constexpr int kTemplateCount = 19;
constexpr int kTemplatePathSize = 64;
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
// The stamped pad's picture is the pad (W x L cells) with this margin on every side; its row
// L + margin lies on the metatarsal point's row.
constexpr int kStampMargin = 10;

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

struct Workspace {
    int32_t insole_length = 0;       // outline length in rows
    int32_t outline_top_row = 0;     // highest row with a non-zero base cell
    int32_t outline_bottom_row = 0;  // lowest such row
    uint32_t texture_id = 0;         // the image view's texture name (0 until its first draw)
    Landmark landmarks[5] = {};
    std::vector<OutlinePoint> outline_points;      // last traced outline of the mesh export
    std::vector<int32_t> outline_corners;          // indices into outline_points
    uint8_t colour_table[256][3] = {};             // R, G, B of each grey value
    uint8_t base_grid[kGridCells] = {};            // insole base heights; 0 outside the foot
    uint8_t relief_grid[kGridCells] = {};          // the composed relief, what the exports write
    uint8_t pressure_grid[kGridCells] = {};        // foot pressure 0..255
    float export_grid_a[kGridCells] = {};          // work copy of the relief for the mesh export
    uint8_t colour_grid[kGridCells * 3] = {};      // pressure colour of each cell, R, G, B
    float layers[kLayerCount][kGridCells] = {};    // pad heights in grey levels
    uint8_t relief_preview[kGridCells * 4] = {};   // R, G, B, 0 per cell, shown by the view
    uint8_t export_image[kGridCells * 4] = {};     // pixels of the last engraving export
    uint8_t scan_loaded = 0;                       // 1 once a scan was chosen
    int32_t template_lengths[kSizeBinCount] = {};  // outline length of templates 0..6
    uint8_t templates[kTemplateCount][kGridCells] = {};
    char template_paths[kTemplateCount][kTemplatePathSize] = {};
    int32_t template_index = 0;      // active template 0..18
    int32_t template_mirrored = 0;   // 1: template applied mirrored; also turns the pad stamp
    int32_t first_outline_cell = 0;  // raster index of the first non-zero base cell
    uint8_t pad_shape[kPadShapeSize * kPadShapeStride] = {};  // grey pad profile, row r at r*252
    uint8_t pad_stamp[kPadStampBytes] = {};  // the rendered pad, rows of pad_stamp_stride bytes
    int32_t pad_stamp_stride = 0;
    float pad_shape_peak = 0.0f;  // largest byte of pad_shape
    float meta_column = 0.0f;     // metatarsal point
    float meta_row = 0.0f;
    uint8_t texture_pending = 0;  // 1: the next image-view frame creates its texture first
    // 0 when the last scan's outline gave no metatarsal point; the stamp is then not placed.
    // The start-up point (0, 0) counts as found, as does every point the search computed.
    uint8_t meta_point_found = 1;
};

// The file names of the nineteen templates, in index order, relative to the data folder.
extern const char *const kTemplateFiles[kTemplateCount];
// The colour table and pad shape file names, relative to the data folder.
extern const char *const kColourTableFile;  // "./lut_256.txt"
extern const char *const kPadShapeFile;     // "./drop.png"

// Sets the start values of a zeroed workspace (landmarks, template lengths and names, flags).
// Does not read any file.
void set_startup_values(Workspace &ws);

// Reads the colour table text: up to 768 whole numbers separated by any white space, three per
// entry (red, green, blue), each stored as its low 8 bits. Stops at the 768th number or at the
// first thing that is not a number; entries that got no value keep what they held.
void parse_colour_table(std::FILE *file, uint8_t (&table)[256][3]);

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
    std::string problem;        // why a file gave no picture, when the reader knows
    bool loaded() const { return !bits.empty(); }
};

// Copies the first byte of every pixel of `picture` into a template grid. A picture larger than
// 150 x 360 is cut to it (its bottom-left part is kept); a smaller one fills only its own part.
// Returns false when the picture had to be cut.
bool copy_template(const Picture &picture, uint8_t (&grid)[kGridCells]);

// Copies the first byte of every pixel into the pad shape (rows 252 bytes apart) and sets
// pad_shape_peak to the largest copied byte. A picture larger than 250 x 250 is cut to it.
// Returns false when the picture had to be cut.
bool copy_pad_shape(const Picture &picture, Workspace &ws);

}  // namespace pedaform
