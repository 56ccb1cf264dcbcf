// The pad stamp rendered with OpenGL through an off-screen context (no display needed).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "gl/egl_context.h"
#include "tests/test_support.h"
#include "gl/pad_stamp_gl.h"

using namespace pedaform;

namespace {

class PadStamp : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        context = new OffscreenContext();
        std::string why;
        available = context->create(why);
        if (!available) std::fprintf(stderr, "no OpenGL context: %s\n", why.c_str());
    }
    void SetUp() override {
        if (!available) GTEST_SKIP() << "no OpenGL context on this machine";
    }
    static OffscreenContext *context;
    static bool available;
    std::unique_ptr<Workspace> ws = test::startup_workspace();
};
OffscreenContext *PadStamp::context = nullptr;
bool PadStamp::available = false;

int peak_of(const Workspace &ws) {
    int m = 0;
    for (uint8_t b : ws.pad_stamp)
        m = std::max<int>(m, b);
    return m;
}

// Centre of mass of the stamp's columns in its top half and bottom half: the turn moves them
// apart in opposite directions.
double column_mean(const Workspace &ws, int row_begin, int row_end, int width) {
    double sum = 0, weight = 0;
    for (int j = row_begin; j < row_end; ++j)
        for (int i = 0; i < width; ++i) {
            const int v = ws.pad_stamp[j * ws.pad_stamp_stride + i];
            sum += v * i;
            weight += v;
        }
    return weight > 0 ? sum / weight : -1;
}

}  // namespace

TEST_F(PadStamp, StartSizeReadsBack27By37WithStride28) {
    ASSERT_TRUE(render_pad_stamp(*ws, 7, 17, 5, 0));
    EXPECT_EQ(ws->pad_stamp_stride, 28);
    // Nothing outside the read-back block.
    for (int k = 28 * 37; k < kPadStampBytes; ++k)
        ASSERT_EQ(ws->pad_stamp[k], 0) << k;
    for (int j = 0; j < 37; ++j)
        EXPECT_EQ(ws->pad_stamp[j * 28 + 27], 0);  // row padding
    EXPECT_GT(peak_of(*ws), 15);
    EXPECT_LE(peak_of(*ws), 25);
    // The pad lies between rows 10 and L + 10 and columns 10 and W + 10 (give or take the turn).
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 27; ++i)
            EXPECT_EQ(ws->pad_stamp[j * 28 + i], 0);
}

TEST_F(PadStamp, HeightZeroAndBlackShapeGiveZero) {
    ASSERT_TRUE(render_pad_stamp(*ws, 37, 52, 0, 0));
    EXPECT_EQ(peak_of(*ws), 0);
    std::memset(ws->pad_shape, 0, sizeof ws->pad_shape);
    ws->pad_shape_peak = 0;
    ASSERT_TRUE(render_pad_stamp(*ws, 37, 52, 9, 0));
    EXPECT_EQ(peak_of(*ws), 0);
}

TEST_F(PadStamp, ScalingTruncatesInDoublePrecision) {
    ws->pad_shape_peak = 255;
    std::memset(ws->pad_stamp, 0, sizeof ws->pad_stamp);
    ws->pad_stamp[0] = 255;
    scale_pad_stamp(*ws, 9);
    EXPECT_EQ(ws->pad_stamp[0], 44);
    ws->pad_shape_peak = 128;
    ws->pad_stamp[0] = 128;
    scale_pad_stamp(*ws, 9);
    EXPECT_EQ(ws->pad_stamp[0], 45);
    ws->pad_shape_peak = 1;  // 255 * 45 = 11475 keeps its low 8 bits
    ws->pad_stamp[0] = 255;
    scale_pad_stamp(*ws, 9);
    EXPECT_EQ(ws->pad_stamp[0], 11475 % 256);
}

TEST_F(PadStamp, FullHeightPeakAndTheTurnFollowTheFootSide) {
    ASSERT_TRUE(render_pad_stamp(*ws, 60, 120, 9, 0));
    // A 60 x 120 dome sampled near its centre reaches (almost) the peak: 44 or 45 less a little.
    EXPECT_GE(peak_of(*ws), 40);
    EXPECT_LE(peak_of(*ws), 45);
    const double top0 = column_mean(*ws, 100, 130, 80), bottom0 = column_mean(*ws, 10, 40, 80);
    ws->template_mirrored = 1;
    ASSERT_TRUE(render_pad_stamp(*ws, 60, 120, 9, 0));
    const double top1 = column_mean(*ws, 100, 130, 80), bottom1 = column_mean(*ws, 10, 40, 80);
    // -7 degrees (clockwise, y up) about (W / 2, L), a pivot near the pad's top, swings the
    // lower part to the left; +7 degrees to the right. The two turns are mirror images.
    EXPECT_LT(bottom0 - top0, -2.0);
    EXPECT_GT(bottom1 - top1, 2.0);
    EXPECT_NEAR(bottom0 - top0, -(bottom1 - top1), 1.0);
}

TEST_F(PadStamp, LargestStampFitsAndCallerStateIsRestored) {
    GLuint fbo_before = 0;
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    ASSERT_TRUE(render_pad_stamp(*ws, 100, 240, 9, 0));
    EXPECT_EQ(ws->pad_stamp_stride, 120);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.25f);
    GLint fbo = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &fbo);
    EXPECT_EQ(static_cast<GLuint>(fbo), fbo_before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PadStamp, OutOfRangeSizeIsRefusedWithoutWriting) {
    const double nan = std::nan(""), huge = 1e300;
    const double sizes[][3] = {{300, 300, 5}, {huge, 17, 5}, {7, -huge, 5}, {nan, 17, 5},
                               {7, nan, 5},   {7, 17, nan},  {7, 17, huge}};
    for (const auto &s : sizes) {
        ASSERT_TRUE(render_pad_stamp(*ws, 7, 17, 5, 0));
        EXPECT_FALSE(render_pad_stamp(*ws, s[0], s[1], s[2], 0)) << s[0] << " " << s[1];
        EXPECT_EQ(peak_of(*ws), 0);
    }
}
