// Loading a pressure scan into the workspace: format check, landmarks, foot side, layer reset,
// channel split with the pressure colouring, then sizing, the metatarsal point and the relief
// preview.
//
// A scan is a 150 x 360 picture of 32 bits per pixel, bytes blue, green, red, alpha; scanline
// 0 is grid row 0. Blue is the insole base, alpha the pressure; pixels 0..5 of scanline 359
// carry landmarks 0..4 (row = 359 - (blue * 256 + green), column = red) and "ai" (red / 100).
#pragma once

#include <string>

#include "analysis/size_bin.h"
#include "workspace/result.h"
#include "workspace/workspace.h"

namespace pedaform {

// What the load decided, for the caller to show on its controls.
struct ScanLoadResult {
    // A refused file fails with why (the operator sees "格式錯誤").
    Result outcome = Result::failure("no scan was read");
    SizeBinChoice size;  // label and pad presets when the length hit a bin
    float ai = 0.0f;     // the scan's diagnostic value
    bool accepted() const { return outcome.ok(); }
};

// The refusal text shown to the operator, and the caption of its message box.
extern const char *const kScanFormatError;    // "格式錯誤"
extern const char *const kScanFormatCaption;  // "讀檔錯誤"

// Which side of the grid the foot lies on, from the blue bytes of scanlines 1..358 of a
// 150 x 360 x 32 picture: 1 (template mirrored) when the left margin is not smaller than the
// right margin (a centred outline and an empty picture give 1), else 0.
int decide_foot_side(const uint8_t *bits);

// Loads an already decoded picture. A refused picture (not 150 x 360 x 32, or not loaded)
// changes nothing in the workspace and fails with why. Otherwise the metadata pixels
// of `picture` are blanked (blue, green, red set to 0) and the workspace holds the new scan:
// base, relief, pressure and colour grids, landmarks, foot side, cleared layers, sizing, the
// metatarsal point and the relief preview. `gain` is the Gain slider's value; the colouring
// ignores the Filter slider until it is moved. scan_loaded is left to the caller (it is set as
// soon as a name is chosen, before the file is read).
ScanLoadResult load_scan_picture(Workspace &ws, Picture &picture, double gain);

}  // namespace pedaform
