// Reading and writing pictures through FreeImage. The rest of the program sees only the
// plain Picture of workspace.h, so the grid code never depends on the image library.
#pragma once

#include <string>

#include "workspace/result.h"
#include "workspace/workspace.h"

namespace pedaform {

// Decodes the file at `path`, its type taken from the content. Returns a Picture that is not
// loaded() when the file is missing, unreadable or not a picture the reader knows.
Picture read_picture(const char *path);

// Writes an upright RGB picture (row 0 is the top row; 3 bytes per pixel, R, G, B) as PNG
// through a temporary file renamed over `path`.
Result write_png_rgb(const std::string &path, int width, int height, const unsigned char *rgb);

}  // namespace pedaform
