// The pad stamp: the CPU renderer's arithmetic worked by hand, and the CPU renderer against the
// OpenGL one under llvmpipe, in an off-screen context the test makes itself.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "gl/testsupport/egl_context.h"
#include "gl/testsupport/pad_stamp_gl.h"
#include "relief/pad_stamp.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

class PadStamp : public ::testing::Test {
  protected:
    // Mesa's software rasterizer llvmpipe, whatever the machine's GPU: the bound below is its.
    void SetUp() override {
        static OffscreenContext context;
        static const Result<> made = [] {
            setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
            setenv("GALLIUM_DRIVER", "llvmpipe", 1);
            return context.create();
        }();
        ASSERT_TRUE(made) << "no OpenGL context: " << made.message();
    }
    Result<> render_gl(int32_t mirrored, double w, double l, double h) {
        return render_pad_stamp_gl(*res, mirrored, w, l, h, 0, gl.bytes, gl.stride);
    }
    std::unique_ptr<Resources> res = test::startup_resources();
    struct {
        uint8_t bytes[kPadStampBytes];
        int32_t stride = -1;
    } gl;
};

struct Stamp {
    uint8_t bytes[kPadStampBytes] = {};
    int32_t stride = -1;
};

// The stamp of a pad shape that is `fill` but for `texels` {column, row, value}, with the peak
// 5 and 1 mm: the scale factor 1 / 5 * 5 = 1 keeps the sampled bytes.
std::unique_ptr<Stamp> unscaled_stamp(uint8_t fill, double w, double l, bool mirrored,
                                      std::initializer_list<std::tuple<int, int, int>> texels) {
    auto res = std::make_unique<Resources>();
    std::memset(res->pad_shape, fill, sizeof res->pad_shape);
    for (auto [i, j, v] : texels)
        res->pad_shape[j * kPadShapeStride + i] = static_cast<uint8_t>(v);
    auto stamp = std::make_unique<Stamp>();
    EXPECT_TRUE(
        render_pad_stamp_cpu(res->pad_shape, 5, mirrored, w, l, 1, stamp->bytes, stamp->stride));
    return stamp;
}

}  // namespace

TEST(PadStampScale, TruncatesInDoublePrecisionModulo256) {
    uint8_t stamp[kPadStampBytes] = {};
    // b * (9 / peak * 5), truncated and modulo 256; 9 / 255 * 5 in doubles falls just short.
    for (auto [peak, byte, expected] :
         {std::tuple{255, 255, 44}, {128, 128, 45}, {1, 255, 11475 % 256}}) {
        stamp[0] = static_cast<uint8_t>(byte);
        scale_pad_stamp(stamp, static_cast<float>(peak), 9);
        EXPECT_EQ(stamp[0], expected) << peak;
    }
}

// W = L = 1: the quad (10, 10) - (11, 11) turned -7 degrees about (0.5, 1) covers only the
// centre (11.5, 9.5). Turned back: s = 0.5 + 11 cos 7 - 8.5 sin 7 - 10 = 0.382118,
// t = 1 + 11 sin 7 + 8.5 cos 7 - 10 = 0.777205. 256 * 250 s = 24455.57 -> 24456 - 128 = 95 * 256
// + 8: columns 95, 96, weight 8; 256 * 250 t = 49741.12 -> 49741 - 128 = 193 * 256 + 205: rows
// 193, 194, weight 205. Row 193: 0 + floor((8 * 255 + 128) / 256) = 8; row 194: 100 +
// floor((8 * -60 + 128) / 256) = 98; between them 8 + floor((205 * 90 + 128) / 256) = 80.
TEST(PadStampCpu, OneCoveredCellWorkedByHand) {
    auto stamp = unscaled_stamp(0, 1, 1, false, {{96, 193, 255}, {95, 194, 100}, {96, 194, 40}});
    EXPECT_EQ(stamp->stride, 24);
    EXPECT_EQ(stamp->bytes[9 * 24 + 11], 80);
    EXPECT_EQ(std::count(stamp->bytes, stamp->bytes + kPadStampBytes, 0), kPadStampBytes - 1);
}

// W = L = 40, turned about (20, 40): -7 degrees swings the pad's lower part to the left, over
// the centre (8.5, 15.5) left of the unturned quad; +7 swings it away to the right. The covered
// cells, as many as the area W x L give or take half the perimeter, all have the shape's byte.
TEST(PadStampCpu, AConstantShapeGivesAConstantTurnedQuad) {
    for (bool mirrored : {false, true}) {
        auto stamp = unscaled_stamp(200, 40, 40, mirrored, {});
        const uint8_t *b = stamp->bytes;
        const auto covered = std::count(b, b + kPadStampBytes, 200);
        EXPECT_EQ(b[15 * 60 + 8], mirrored ? 0 : 200) << "mirrored " << mirrored;
        EXPECT_NEAR(covered, 1600, 80) << "mirrored " << mirrored;
        EXPECT_EQ(std::count(b, b + kPadStampBytes, 0), kPadStampBytes - covered) << mirrored;
    }
}

TEST(PadStampCpu, BadSizesGiveAnEmptyStampAndAMessage) {
    const double nan = std::nan(""), huge = 1e300;
    const double sizes[][3] = {{huge, 17, 5}, {7, -huge, 5}, {nan, 17, 5}, {7, nan, 5},
                               {7, 17, nan},  {7, 17, huge}, {300, 300, 5}};
    auto res = test::startup_resources();
    auto stamp = std::make_unique<Stamp>();
    for (const auto &s : sizes) {
        ASSERT_TRUE(render_pad_stamp_cpu(res->pad_shape, res->pad_shape_peak, false, 7, 17, 5,
                                         stamp->bytes, stamp->stride));
        const Result<> r = render_pad_stamp_cpu(res->pad_shape, res->pad_shape_peak, false, s[0],
                                                s[1], s[2], stamp->bytes, stamp->stride);
        EXPECT_FALSE(r.message().empty()) << s[0] << " x " << s[1] << " x " << s[2];
        // 300 x 300 is within range but too large: its stride is set, as the OpenGL path does.
        EXPECT_EQ(stamp->stride, s[0] == 300 ? 320 : 0) << s[0] << " x " << s[1];
        EXPECT_EQ(*std::max_element(stamp->bytes, stamp->bytes + kPadStampBytes), 0);
    }
}

// W x L x H: the smallest, the start size, the presets' range, the largest.
TEST_F(PadStamp, CpuStampIsWithinOneLevelOfLlvmpipeInUnderOnePercentOfCells) {
    const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    ASSERT_NE(std::strstr(renderer, "llvmpipe"), nullptr) << renderer;
    const double sizes[][3] = {{0, 0, 9},     {7, 17, 5},    {37, 52, 3.6},   {51, 82, 3},
                               {55, 90, 3.4}, {59, 98, 3.7}, {59, 98, 9},     {59, 98, 0.2},
                               {100, 240, 9}, {80, 60, 9},   {100, 240, 0.2}, {1, 1, 9}};
    static uint8_t cpu[kPadStampBytes];
    int32_t stride = -1;
    for (const auto &s : sizes) {
        for (int mirrored : {0, 1}) {
            ASSERT_TRUE(render_gl(mirrored, s[0], s[1], s[2]));
            ASSERT_TRUE(render_pad_stamp_cpu(res->pad_shape, res->pad_shape_peak, mirrored, s[0],
                                             s[1], s[2], cpu, stride));
            int differing = 0, largest = 0;
            for (int i = 0; i < kPadStampBytes; ++i) {
                const int d = std::abs(cpu[i] - gl.bytes[i]);
                differing += d != 0;
                largest = std::max(largest, d);
            }
            const double cells = (s[0] + 20) * (s[1] + 20);
            EXPECT_EQ(stride, gl.stride) << s[0] << " x " << s[1];
            EXPECT_LE(largest, 1) << s[0] << " x " << s[1] << " x " << s[2] << " m" << mirrored;
            EXPECT_LT(differing, 0.01 * cells) << s[0] << " x " << s[1] << " x " << s[2];
        }
    }
}

TEST_F(PadStamp, LargestStampFitsAndTheCallersStateIsRestored) {
    GLuint mine = 0;
    glGenFramebuffers(1, &mine);
    glBindFramebuffer(GL_FRAMEBUFFER, mine);
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    EXPECT_FALSE(render_gl(0, 300, 300, 5));
    ASSERT_TRUE(render_gl(0, 100, 240, 9));
    EXPECT_EQ(gl.stride, 120);
    GLint fbo = -1;
    GLfloat clear[4];
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &fbo);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(fbo, static_cast<GLint>(mine));
    EXPECT_EQ(clear[0], 0.25f);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &mine);
}
