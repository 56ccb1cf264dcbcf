// The picture kinds the program's own files use, decoded without the picture library: its
// start-up takes a large share of a batch run, and these kinds make up every file a usual run
// reads. Each decoder claims a file only when it is sure to deliver exactly what the picture
// library delivers for it (io/picture_io.h: the same bits, sizes and counts); for any other
// file, a damaged one included, it gives none and the library decides.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/grid.h"

namespace pedaform {

// A Windows BMP with the 40-byte info header, one plane, 8, 24 or 32 bits per pixel,
// uncompressed, stored bottom-up, at most `max_pixels` pixels, its pixel data whole: the
// stored scanlines as they are (an 8-bit picture's palette indices).
std::optional<Picture> decode_plain_bmp(const std::vector<uint8_t> &file, uint64_t max_pixels);

// A PNG of 8-bit grey, not interlaced, without gamma or transparency chunks, at most
// `max_pixels` pixels, that reads through to its end without an error: the grey bytes, the
// bottom row first, each row padded to 4 bytes.
std::optional<Picture> decode_plain_png(const std::vector<uint8_t> &file, uint64_t max_pixels);

}  // namespace pedaform
