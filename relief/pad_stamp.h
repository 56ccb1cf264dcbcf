// The stamped metatarsal pad computed on the CPU: the pad shape drawn at the pad's width and
// length, turned by 7 degrees, sampled bilinearly and scaled to the pad height. Gives the same
// bytes on every machine; the OpenGL renderer (gl/testsupport/pad_stamp_gl.h, used by the tests)
// draws the same picture and stays within one grey level of it.
#pragma once

#include <cstdint>

#include "core/result.h"
#include "core/grid.h"
#include "relief/stamp_geometry.h"

namespace pedaform {

// Pad heights beyond this many millimetres are refused; up to it every scaled byte is finite.
constexpr double kMaxPadHeight = 1e6;

// True when 0 < W + 20 <= 63,000, 0 < L + 20 <= 63,000 and |H| <= 1,000,000 mm; false for
// infinities and NaN, so that callers can convert the sizes to int afterwards.
bool pad_stamp_size_in_range(double width, double length, double height);

// W, L: the "蹠骨寬" and "蹠骨長" values (cells); H: "蹠骨墊高(mm)". pad_shape: 250 x 250 grey
// bytes, row r at r * 252; pad_shape_peak its largest byte. Writes all of `stamp`: the
// picture of stamp_size(W, L) (stamp_geometry.h) in rows of `stride` bytes, row 0 at the
// bottom, everything else 0. The pad shape covers the quad (10, 10) - (trunc(W + 10),
// trunc(L + 10)) turned about (W / 2, L) by -7 degrees, +7 when `mirrored`; cells outside
// it are 0. Each byte is then scaled as scale_pad_stamp does. A peak of 0 gives an all-zero
// stamp and success. Fails, with the stamp all zero and `stride` 0, when the sizes are out of
// range (see pad_stamp_size_in_range); with `stride` set but the stamp all zero when the
// (W + 20) x (L + 20) picture does not fit 63,000 bytes.
Result<> render_pad_stamp_cpu(const uint8_t (&pad_shape)[kPadShapeSize * kPadShapeStride],
                              float pad_shape_peak, bool mirrored, double width, double length,
                              double height, uint8_t (&stamp)[kPadStampBytes], int32_t &stride);

// The height scaling of a rendered stamp: each byte b becomes trunc(b * (H / peak * 5)) modulo
// 256; all zero for a negative H or a peak of 0. |H| must not exceed kMaxPadHeight.
void scale_pad_stamp(uint8_t (&stamp)[kPadStampBytes], float pad_shape_peak, double height);

}  // namespace pedaform
