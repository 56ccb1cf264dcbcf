// The pad stamp: its scaling everywhere, its rendering where an off-screen context can be made.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

#include "gl/egl_context.h"
#include "gl/pad_stamp_gl.h"
#include "tests/test_support.h"

using namespace pedaform;

namespace {

class PadStamp : public ::testing::Test {
  protected:
    void SetUp() override {
        static OffscreenContext context;
        static std::string why = "";
        static const bool available = context.create(why);
        if (!available) GTEST_SKIP() << "no OpenGL context on this machine: " << why;
    }
    int peak() const { return *std::max_element(ws->pad_stamp, ws->pad_stamp + kPadStampBytes); }
    std::unique_ptr<Workspace> ws = test::startup_workspace();
};

}  // namespace

TEST(PadStampScale, TruncatesInDoublePrecisionModulo256) {
    auto ws = std::make_unique<Workspace>();
    // b * (9 / peak * 5), truncated and modulo 256; 9 / 255 * 5 in doubles falls just short.
    for (auto [peak, byte, expected] :
         {std::tuple{255, 255, 44}, {128, 128, 45}, {1, 255, 11475 % 256}}) {
        ws->pad_shape_peak = peak;
        ws->pad_stamp[0] = static_cast<uint8_t>(byte);
        scale_pad_stamp(*ws, 9);
        EXPECT_EQ(ws->pad_stamp[0], expected) << peak;
    }
}

TEST_F(PadStamp, StartSizeReadsBack27By37WithStride28AndBadSizesAreRefused) {
    ASSERT_TRUE(render_pad_stamp(*ws, 7, 17, 5, 0));
    EXPECT_EQ(ws->pad_stamp_stride, 28);
    EXPECT_TRUE(peak() > 15 && peak() <= 25);
    const double nan = std::nan(""), huge = 1e300;
    const double sizes[][3] = {{300, 300, 5}, {huge, 17, 5}, {7, -huge, 5}, {nan, 17, 5},
                               {7, nan, 5},   {7, 17, nan},  {7, 17, huge}};
    for (const auto &s : sizes) {
        ASSERT_TRUE(render_pad_stamp(*ws, 7, 17, 5, 0));
        EXPECT_FALSE(render_pad_stamp(*ws, s[0], s[1], s[2], 0)) << s[0] << " " << s[1];
        EXPECT_EQ(peak(), 0);
    }
}

TEST_F(PadStamp, LargestStampFitsAndTheCallersStateIsRestored) {
    GLuint mine = 0;
    glGenFramebuffers(1, &mine);
    glBindFramebuffer(GL_FRAMEBUFFER, mine);
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    ASSERT_TRUE(render_pad_stamp(*ws, 100, 240, 9, 0));
    EXPECT_EQ(ws->pad_stamp_stride, 120);
    GLint fbo = -1;
    GLfloat clear[4];
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &fbo);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(fbo, static_cast<GLint>(mine));
    EXPECT_EQ(clear[0], 0.25f);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &mine);
}
