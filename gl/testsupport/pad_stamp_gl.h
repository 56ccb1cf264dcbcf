// Rendering the metatarsal pad stamp with OpenGL: the pad shape drawn as a texture at the pad's
// width and length, turned by 7 degrees, read back and scaled to the pad height; the reference
// that the CPU renderer (relief/pad_stamp.h) is checked against. Needs only a current OpenGL
// context (2.1 with framebuffer objects). Renders into a framebuffer object of its own,
// so what covers the window or the window's size never matters; the caller's framebuffer,
// viewport, matrix mode and matrices, texture binding and switch, pixel alignments, clear
// colour and current colour are restored.
#pragma once

#include <cstdint>

#include "core/resources.h"
#include "core/result.h"

namespace pedaform {

// W, L: the "蹠骨寬" and "蹠骨長" values (pixels); H: "蹠骨墊高(mm)". Reads the resources' pad
// shape and its peak; the turn is +7 degrees when `mirrored` is 1, else -7, about (W / 2, L).
// Writes all of `stamp` ((W + 20) x (L + 20) bytes of it) and `stride`. `texture` is the
// texture to upload the pad shape into; 0 makes a temporary one. A peak of 0 (black or missing
// pad shape) gives an all-zero stamp. Fails, with the stamp all zero, when the framebuffer
// object could not be made or the stamp would not fit; also, with the stride 0 as well, for
// sizes pad_stamp_size_in_range refuses. The bytes depend on the driver; llvmpipe's are
// render_pad_stamp_cpu's but for rare cells one grey level apart. Nothing the design computes
// uses it: it is the reference the CPU renderer is checked against.
Result<> render_pad_stamp_gl(const Resources &resources, int32_t mirrored, double width,
                             double length, double height, unsigned texture,
                             uint8_t (&stamp)[kPadStampBytes], int32_t &stride);

}  // namespace pedaform
