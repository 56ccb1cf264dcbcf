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
    // The suite's machines have Mesa's surfaceless EGL: no context is a failure.
    void SetUp() override {
        static OffscreenContext context;
        static const Result made = context.create();
        ASSERT_TRUE(made) << made.message();
    }
    int peak() const { return *std::max_element(stamp, stamp + kPadStampBytes); }
    Result render(double w, double l, double h) {
        return render_pad_stamp(*res, 0, w, l, h, 0, stamp, stride);
    }
    std::unique_ptr<Resources> res = test::startup_resources();
    uint8_t stamp[kPadStampBytes] = {};
    int32_t stride = 0;
};

}  // namespace

TEST(PadStampScale, TruncatesInDoublePrecisionModulo256) {
    static uint8_t stamp[kPadStampBytes];
    // b * (9 / peak * 5), truncated and modulo 256; 9 / 255 * 5 in doubles falls just short.
    for (auto [peak, byte, expected] :
         {std::tuple{255, 255, 44}, {128, 128, 45}, {1, 255, 11475 % 256}}) {
        stamp[0] = static_cast<uint8_t>(byte);
        scale_pad_stamp(static_cast<float>(peak), 9, stamp);
        EXPECT_EQ(stamp[0], expected) << peak;
    }
}

TEST_F(PadStamp, StartSizeReadsBack27By37WithStride28AndBadSizesAreRefused) {
    ASSERT_TRUE(render(7, 17, 5));
    EXPECT_EQ(stride, 28);
    EXPECT_GT(peak(), 15);
    EXPECT_LE(peak(), 25);
    const double nan = std::nan(""), huge = 1e300;
    const double sizes[][3] = {{300, 300, 5}, {huge, 17, 5}, {7, -huge, 5}, {nan, 17, 5},
                               {7, nan, 5},   {7, 17, nan},  {7, 17, huge}};
    for (const auto &s : sizes) {
        ASSERT_TRUE(render(7, 17, 5));
        EXPECT_FALSE(render(s[0], s[1], s[2])) << s[0] << " " << s[1];
        EXPECT_EQ(peak(), 0);
    }
}

TEST_F(PadStamp, LargestStampFitsAndTheCallersStateIsRestored) {
    GLuint mine = 0;
    glGenFramebuffers(1, &mine);
    glBindFramebuffer(GL_FRAMEBUFFER, mine);
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    ASSERT_TRUE(render(100, 240, 9));
    EXPECT_EQ(stride, 120);
    GLint fbo = -1;
    GLfloat clear[4];
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &fbo);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(fbo, static_cast<GLint>(mine));
    EXPECT_EQ(clear[0], 0.25f);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &mine);
}
