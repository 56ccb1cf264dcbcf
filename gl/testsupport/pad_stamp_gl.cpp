#include "gl/testsupport/pad_stamp_gl.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstring>

#include "relief/pad_stamp.h"

namespace pedaform {

namespace {

// The stamp frame: at least the image view's size, so that the projection is the view's.
constexpr int kFrameWidth = kGridWidth;
constexpr int kFrameHeight = kGridHeight;

// Everything the stamp rendering changes in the caller's OpenGL state, taken when the guard is
// made and put back when it goes: framebuffer, texture binding and switch, viewport, matrix
// mode and both matrices (loaded back rather than pushed, so a full stack does not matter),
// pixel alignments, clear colour and current colour.
class SavedGlState {
  public:
    SavedGlState() {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer_);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
        texture_2d_ = glIsEnabled(GL_TEXTURE_2D);
        glGetIntegerv(GL_VIEWPORT, viewport_);
        glGetIntegerv(GL_MATRIX_MODE, &matrix_mode_);
        glGetFloatv(GL_PROJECTION_MATRIX, projection_);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview_);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack_alignment_);
        glGetIntegerv(GL_PACK_ALIGNMENT, &pack_alignment_);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_colour_);
        glGetFloatv(GL_CURRENT_COLOR, colour_);
    }
    ~SavedGlState() {
        glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer_));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
        if (texture_2d_)
            glEnable(GL_TEXTURE_2D);
        else
            glDisable(GL_TEXTURE_2D);
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(projection_);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(modelview_);
        glMatrixMode(static_cast<GLenum>(matrix_mode_));
        glPixelStorei(GL_UNPACK_ALIGNMENT, unpack_alignment_);
        glPixelStorei(GL_PACK_ALIGNMENT, pack_alignment_);
        glClearColor(clear_colour_[0], clear_colour_[1], clear_colour_[2], clear_colour_[3]);
        glColor4fv(colour_);
    }
    SavedGlState(const SavedGlState &) = delete;
    SavedGlState &operator=(const SavedGlState &) = delete;

  private:
    GLint framebuffer_ = 0, texture_ = 0, viewport_[4] = {}, matrix_mode_ = GL_MODELVIEW;
    GLboolean texture_2d_ = GL_FALSE;
    GLfloat projection_[16] = {}, modelview_[16] = {};
    GLint unpack_alignment_ = 4, pack_alignment_ = 4;
    GLfloat clear_colour_[4] = {}, colour_[4] = {};
};

// A framebuffer object with one RGBA colour buffer of w x h, bound while it lives; it and its
// buffer are deleted when it goes (OpenGL then binds framebuffer 0 until the caller's is back).
class StampFramebuffer {
  public:
    StampFramebuffer(int w, int h) {
        glGenFramebuffers(1, &framebuffer_);
        glGenRenderbuffers(1, &colour_buffer_);
        glBindRenderbuffer(GL_RENDERBUFFER, colour_buffer_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  colour_buffer_);
    }
    ~StampFramebuffer() {
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteRenderbuffers(1, &colour_buffer_);
    }
    StampFramebuffer(const StampFramebuffer &) = delete;
    StampFramebuffer &operator=(const StampFramebuffer &) = delete;
    bool complete() const {
        return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

  private:
    GLuint framebuffer_ = 0, colour_buffer_ = 0;
};

// The sizes the stamp is rendered at, whole pixels as the view's integer coordinates take them.
struct FrameSize {
    int read_w, read_h;    // (W + 20) x (L + 20), the part read back
    int frame_w, frame_h;  // the framebuffer: the read part, at least the view's size
};

// One unit per pixel, origin at the bottom-left, on the dark cyan background.
void clear_pixel_frame(const FrameSize &size) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, size.frame_w, 0, size.frame_h, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, size.frame_w, size.frame_h);
    glClearColor(0, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

// The pad shape as the red channel of `texture`, sampled linearly and repeated.
void upload_pad_shape(const Resources &resources, GLuint texture) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // pad_shape rows are 252 bytes: 250 padded to the default alignment of 4.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, kPadShapeSize, kPadShapeSize, 0, GL_RED,
                 GL_UNSIGNED_BYTE, resources.pad_shape);
}

// The textured quad from (10, 10) to (W + 10, L + 10), turned about (W / 2, L): +7 degrees for
// a mirrored template, -7 otherwise.
void draw_turned_pad(double width, double length, bool mirrored) {
    glTranslatef(static_cast<float>(width * 0.5), static_cast<float>(length), 0);
    glRotatef(mirrored ? 7.0f : -7.0f, 0, 0, 1);
    glTranslatef(static_cast<float>(-width * 0.5), static_cast<float>(-length), 0);
    const int x1 = static_cast<int>(width + kStampMargin),
              y1 = static_cast<int>(length + kStampMargin);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(1, 1);
    glVertex2i(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2i(kStampMargin, y1);
    glTexCoord2f(0, 0);
    glVertex2i(kStampMargin, kStampMargin);
    glTexCoord2f(1, 0);
    glVertex2i(x1, kStampMargin);
    glEnd();
}

// The red channel of the read part into pad_stamp, rows padded to 4 bytes (the stride).
void read_stamp(uint8_t (&stamp)[kPadStampBytes], const FrameSize &size) {
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, size.read_w, size.read_h, GL_RED, GL_UNSIGNED_BYTE, stamp);
}

// Renders the stamp into pad_stamp; false when the framebuffer object could not be made.
bool render_unscaled(const Resources &resources, bool mirrored, double width, double length,
                     const FrameSize &size, GLuint texture, uint8_t (&stamp)[kPadStampBytes]) {
    const SavedGlState saved;
    const StampFramebuffer framebuffer(size.frame_w, size.frame_h);
    if (!framebuffer.complete()) return false;
    clear_pixel_frame(size);
    GLuint own_texture = 0;
    if (texture == 0) glGenTextures(1, &own_texture);
    upload_pad_shape(resources, texture != 0 ? texture : own_texture);
    draw_turned_pad(width, length, mirrored);
    read_stamp(stamp, size);
    if (own_texture != 0) glDeleteTextures(1, &own_texture);
    return true;
}

}  // namespace

Result<> render_pad_stamp_gl(const Resources &resources, int32_t mirrored, double width,
                             double length, double height, unsigned texture,
                             uint8_t (&stamp)[kPadStampBytes], int32_t &stride) {
    std::memset(stamp, 0, sizeof stamp);
    if (!pad_stamp_size_in_range(width, length, height)) {
        stride = 0;
        return Result<>::failure("the stamped pad's size is out of range");
    }
    const StampSize stamp_cells = *stamp_size(width, length);  // in range, so it fits
    FrameSize size;
    size.read_w = stamp_cells.columns;
    size.read_h = stamp_cells.rows;
    stride = stamp_cells.stride;
    if (size.read_w <= 0 || size.read_h <= 0 ||
        static_cast<long>(stride) * size.read_h > kPadStampBytes)
        return Result<>::failure("the stamped pad is larger than its buffer");
    size.frame_w = size.read_w > kFrameWidth ? size.read_w : kFrameWidth;
    size.frame_h = size.read_h > kFrameHeight ? size.read_h : kFrameHeight;

    if (!render_unscaled(resources, mirrored != 0, width, length, size, texture, stamp)) {
        std::memset(stamp, 0, sizeof stamp);
        return Result<>::failure("the pad stamp could not be rendered (no framebuffer object)");
    }
    scale_pad_stamp(stamp, resources.pad_shape_peak, height);
    return Result<>::success();
}

}  // namespace pedaform
