// Rendering the metatarsal pad stamp with OpenGL: the pad shape drawn as a texture at the pad's
// width and length, turned by 7 degrees, read back into pad_stamp and scaled to the pad height.
// The reference for the CPU renderer (relief/pad_stamp.h), which computes the same picture
// without a driver; the tests compare the two.
// Needs only a current OpenGL context (2.1 with framebuffer objects): the image view's in the
// GUI, an off-screen one in the batch command. Renders into a framebuffer object of its own,
// so what covers the window or the window's size never matters; the caller's framebuffer,
// viewport, matrix mode and matrices, texture binding and switch, pixel alignments, clear
// colour and current colour are restored.
#pragma once

#include "workspace/workspace.h"

namespace pedaform {

// W, L: the "蹠骨寬" and "蹠骨長" values (pixels); H: "蹠骨墊高(mm)". Reads pad_shape,
// pad_shape_peak and template_mirrored (the turn is +7 degrees when mirrored, else -7, about
// (W / 2, L)); writes all of pad_stamp ((W + 20) x (L + 20) bytes of it) and pad_stamp_stride.
// `texture` is the texture to upload the pad shape into; 0 makes a temporary one. A peak of 0
// (black or missing pad shape) gives an all-zero stamp. Returns false, with the stamp all zero,
// when the framebuffer object could not be made or the stamp would not fit pad_stamp; also,
// with the stride 0 as well, unless 0 < W + 20 <= 63,000, 0 < L + 20 <= 63,000 and
// |H| <= 1,000,000 mm (values from the controls are checked before any conversion). The
// bytes depend on the driver; llvmpipe's are render_pad_stamp_cpu's but for rare cells one
// grey level apart.
bool render_pad_stamp_gl(Workspace &ws, double width, double length, double height,
                         unsigned texture);

}  // namespace pedaform
