// The engraving image: the relief as an uncompressed 32-bit BMP of 150 x 360 pixels, 216,054
// bytes. Each pixel is v, v, v, 255 (blue, green, red, fourth byte) with v the relief height;
// the first stored row is grid row 0 (positive height, bottom-up), so the picture has the
// scan's orientation. No colour table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"
#include "core/grid.h"

namespace pedaform {

constexpr int kEngravingFileSize = 216054;
constexpr int kEngravingHeaderSize = 54;
// Room for a chosen name; a name that does not fit with ".bmp" and its NUL is refused.
constexpr int kNameBufferSize = 500;

// The name as written: ".bmp" appended unless the name ends in it, in any case ("c.BMP" stays).
// Fails when the result would not fit the 500-byte name buffer.
Result<std::string> engraving_file_name(const std::string &chosen);

// An uncompressed 32-bit BMP of `width` x `height` pixels from 4-byte pixels in bottom-up
// row order (the first row given is the bottom row), header included, appended to `out`.
void encode_bmp32(const uint8_t *pixels, int width, int height, std::vector<uint8_t> &out);

// The whole file of a relief: the header, then pixel k = relief[k] three times and 255.
std::vector<uint8_t> encode_engraving_bmp(const uint8_t (&relief)[kGridCells]);

// Writes the relief's file through a temporary file renamed over `name`. On any failure
// (cannot create, short write, disk full, rename) an existing file of that name is untouched,
// nothing partial is left, and the message says why.
Result<> write_engraving_bmp(const std::string &name, const uint8_t (&relief)[kGridCells]);

}  // namespace pedaform
