// The stamp is the picture the OpenGL renderer draws (a textured quad, GL_LINEAR filtering,
// GL_REPEAT wrapping, read back as GL_RED bytes), worked out here cell by cell. Section numbers
// refer to "The OpenGL Graphics System" 2.1, which defines each step. Where it leaves the precision
// to the implementation (sample positions and weights, the rounding of the filtered value), the
// choices are those of Mesa's llvmpipe, the renderer the batch command has used: 8-bit weights
// and each filtering step rounded to the nearest byte. The stamps then agree byte for byte in
// all but a handful of cells; the exact weighted sum, rounded once, would move about 7 % of
// the sampled bytes by one level.
//
// Same bytes on every machine: the arithmetic below is IEEE double precision with the operations
// in the written order. The project builds with -ffp-contract=off, so no multiply and add is
// fused into one rounding, and never with -ffast-math; the static_assert rules out extended
// intermediate precision. Sine and cosine come from literals rather than the maths library,
// whose last bits may differ between systems. Everything after the texture coordinate is
// integer arithmetic.
#include "relief/pad_stamp.h"

#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstring>

static_assert(FLT_EVAL_METHOD == 0, "double expressions must be evaluated in double precision");

namespace pedaform {

namespace {

// cos 7 degrees and sin 7 degrees, correctly rounded to double.
constexpr double kCos7 = 0.99254615164132198;
constexpr double kSin7 = 0.12186934340514748;

// Sample positions and weights are whole 1/256 texels (8 fraction bits).
constexpr int kSubtexels = 256;

// floor(x / 256) for x >= -65,536, dividing only non-negative numbers (C++ division truncates).
int floor_div_256(int x) {
    return (x + 256 * kSubtexels) / kSubtexels - 256;
}

// One linear filtering step between bytes a and b with weight w / 256 on b, rounded to the
// nearest byte, halves up: a + floor((w * (b - a) + 128) / 256).
int lerp_byte(int a, int b, int w) {
    return a + floor_div_256(w * (b - a) + kSubtexels / 2);
}

// The texel index below and the weight of the one above at a texture coordinate, along an axis
// of 250 texels (3.8.8, LINEAR): u = 250 s, i0 = floor(u - 1/2) mod 250, i1 = (i0 + 1) mod 250
// (REPEAT), alpha = frac(u - 1/2). Here u is first rounded to the nearest 1/256 texel (halves
// up), so that i0 and alpha = weight / 256 come from one integer.
struct Tap {
    int i0, i1, weight;
};
Tap tap_at(double coordinate) {
    const int u256 = static_cast<int>(std::floor(coordinate * (kPadShapeSize * kSubtexels) + 0.5));
    const int below = u256 - kSubtexels / 2;
    int i0 = floor_div_256(below) % kPadShapeSize;
    if (i0 < 0) i0 += kPadShapeSize;
    return {i0, (i0 + 1) % kPadShapeSize, below - floor_div_256(below) * kSubtexels};
}

// The quad (10, 10) - (x1, y1), its texture coordinates 0 at the first corner and 1 at the
// second, turned about (cx, cy) by an angle with the given cosine and sine. Drawn with
// glRotatef, whose matrix (2.11.2) maps a point o to c + R (o - c) with R = [cos -sin; sin cos].
struct TurnedQuad {
    double x1, y1, cx, cy, cos, sin;
    // The texture coordinates (s, t) of window point (x, y): the point turned back,
    // o = c + R^-1 (p - c), R^-1 = [cos sin; -sin cos], then placed within the quad. In the
    // window the quad's texture coordinates vary linearly, so this is what the rasterizer's
    // interpolation gives (3.5.1, with w = 1 at every corner).
    void coordinates(double x, double y, double &s, double &t) const {
        const double dx = x - cx, dy = y - cy;
        const double ox = cx + cos * dx + sin * dy;
        const double oy = cy - sin * dx + cos * dy;
        s = (ox - kStampMargin) / (x1 - kStampMargin);
        t = (oy - kStampMargin) / (y1 - kStampMargin);
    }
};

// The byte the quad leaves at window pixel (x, y), or 0 when the quad does not cover it.
uint8_t stamp_byte(const uint8_t *shape, const TurnedQuad &quad, int x, int y) {
    // A pixel's fragment is sampled at its centre (x + 1/2, y + 1/2) and exists when that lies
    // within the quad (3.5.1); a centre on the far edges (s or t exactly 1) is left out, so
    // that neighbouring quads would not both cover it.
    double s = 0, t = 0;
    quad.coordinates(x + 0.5, y + 0.5, s, t);
    if (!(s >= 0 && s < 1 && t >= 0 && t < 1)) return 0;
    const Tap a = tap_at(s), b = tap_at(t);
    // Texel (i, j) is byte i of pad-shape row j (2D texture images, 3.8.1). The four weights
    // (1 - alpha)(1 - beta), ... of 3.8.8 are applied as a step along each row and one between
    // the rows, each rounded to a byte.
    const uint8_t *row0 = shape + b.i0 * kPadShapeStride, *row1 = shape + b.i1 * kPadShapeStride;
    const int bottom = lerp_byte(row0[a.i0], row0[a.i1], a.weight);
    const int top = lerp_byte(row1[a.i0], row1[a.i1], a.weight);
    // GL_MODULATE with the white quad colour keeps the texel (3.8.13); a byte value v reaches
    // the 8-bit colour buffer as round(v / 255 * 255) = v (2.14.9) and is read back as is.
    return static_cast<uint8_t>(lerp_byte(bottom, top, b.weight));
}

}  // namespace

bool pad_stamp_size_in_range(double width, double length, double height) {
    return stamp_size(width, length) && std::fabs(height) <= kMaxPadHeight;
}

void scale_pad_stamp(uint8_t (&stamp)[kPadStampBytes], float pad_shape_peak, double height) {
    assert(std::fabs(height) <= kMaxPadHeight);
    const double factor = height / pad_shape_peak * kGreyLevelsPerMm;
    // A black or missing pad shape (peak 0) has no height profile: the stamp stays empty.
    if (!(pad_shape_peak > 0) || factor < 0) {
        std::memset(stamp, 0, sizeof stamp);
        return;
    }
    // Each byte keeps the low 8 bits of its truncated product; factors beyond the sliders'
    // range take the slow but exact way rather than overflow an int.
    const bool fits = factor * 255 < 2147483647.0;
    for (uint8_t &b : stamp) {
        const double product = std::trunc(b * factor);
        b = fits ? static_cast<uint8_t>(static_cast<unsigned>(static_cast<int>(product)) & 0xFFu)
                 : static_cast<uint8_t>(std::fmod(product, 256.0));
    }
}

Result<> render_pad_stamp_cpu(const uint8_t (&pad_shape)[kPadShapeSize * kPadShapeStride],
                              float pad_shape_peak, bool mirrored, double width, double length,
                              double height, uint8_t (&stamp)[kPadStampBytes], int32_t &stride) {
    std::memset(stamp, 0, sizeof stamp);
    if (!pad_stamp_size_in_range(width, length, height)) {
        stride = 0;
        return Result<>::failure("the pad size or height is out of range");
    }
    const StampSize size = *stamp_size(width, length);
    stride = size.stride;
    if (size.columns <= 0 || size.rows <= 0 ||
        static_cast<long>(stride) * size.rows > kPadStampBytes)
        return Result<>::failure("the pad is too large for the stamp");

    TurnedQuad quad;
    quad.x1 = static_cast<int>(width + kStampMargin);
    quad.y1 = static_cast<int>(length + kStampMargin);
    quad.cx = width * 0.5;
    quad.cy = length;
    quad.cos = kCos7;
    // -7 degrees (clockwise in the window, y up) for a template as scanned, +7 mirrored.
    quad.sin = mirrored ? kSin7 : -kSin7;
    // A quad of no width or length covers no pixel centre.
    if (quad.x1 != kStampMargin && quad.y1 != kStampMargin) {
        for (int y = 0; y < size.rows; ++y)
            for (int x = 0; x < size.columns; ++x)
                stamp[y * stride + x] = stamp_byte(pad_shape, quad, x, y);
    }
    scale_pad_stamp(stamp, pad_shape_peak, height);
    return Result<>::success();
}

}  // namespace pedaform
