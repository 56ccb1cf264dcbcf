// Loading a pressure scan: format check, landmarks, foot side, channel split, then sizing and
// the metatarsal point.
//
// A scan is a 150 x 360 picture of 32 bits per pixel, bytes blue, green, red, alpha; scanline
// 0 is grid row 0. Blue is the insole base, alpha the pressure; pixels 0..5 of scanline 359
// carry landmarks 0..4 (row = 359 - (blue * 256 + green), column = red) and "ai" (red / 100);
// pixel 5's blue * 256 + green is the pressure of alpha 255 in whole kPa (0: not said).
#pragma once

#include <string>

#include "analysis/size_bin.h"
#include "core/file_digest.h"
#include "core/result.h"
#include "core/scan.h"

namespace pedaform {

// What an accepted load decided, for the caller to show on its controls. A refused file is a
// failure with why instead (the operator sees "格式錯誤").
struct ScanLoadResult {
    SizeBinChoice size;  // label and pad presets when the length hit a bin
    float ai = 0.0f;     // the scan's diagnostic value
    FileDigest sha256;   // of the file's bytes, when read from a file (io/scan_file.h)
};

// The refusal text shown to the operator, and the caption of its message box.
extern const char *const kScanFormatError;    // "格式錯誤"
extern const char *const kScanFormatCaption;  // "讀檔錯誤"

// Which side of the grid the foot lies on, from the blue bytes of scanlines 1..358 of a
// 150 x 360 x 32 picture: 1 (template mirrored) when the left margin is not smaller than the
// right margin (a centred outline and an empty picture give 1), else 0.
int decide_foot_side(const uint8_t *bits);

// Loads an already decoded picture. A refused picture (not 150 x 360 x 32, or not loaded)
// changes nothing in `scan` and fails with why. Otherwise the metadata pixels of `picture` are
// blanked (blue, green, red set to 0) and `scan` holds the new scan: base and pressure grids,
// landmarks, foot side, outline measures, sizing and the metatarsal point.
Result<ScanLoadResult> load_scan_picture(Scan &scan, Picture &picture);

}  // namespace pedaform
