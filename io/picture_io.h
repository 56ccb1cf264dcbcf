// Reading and writing pictures: the plain kinds the program's own files use by its own
// decoders (io/plain_pictures.h), every other kind through FreeImage, which is opened at its
// first use. The rest of the program sees only the plain Picture of core/grid.h, so the grid
// code never depends on the image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/file_input.h"
#include "core/grid.h"
#include "core/result.h"

namespace pedaform {

// Decodes a picture file held in memory, its type taken from the content; the picture is
// loaded(). A failure says why (not a picture the reader knows, truncated, larger than
// 4096 x 4096 pixels, the picture library missing).
Result<Picture> decode_picture(const std::vector<uint8_t> &file);
// The same through the picture library alone, whatever the kind: what the plain decoders
// must match.
Result<Picture> decode_picture_through_library(const std::vector<uint8_t> &file);

// read_file_bytes (core/file_input.h) within `max_bytes`, then decode_picture.
Result<Picture> read_picture(const std::string &path, size_t max_bytes);

// An upright RGB picture (row 0 is the top row; 3 bytes per pixel, R, G, B) as the bytes of a
// PNG file, for core/file_output.h to write.
Result<std::string> encode_png_rgb(int width, int height, const unsigned char *rgb);

}  // namespace pedaform
