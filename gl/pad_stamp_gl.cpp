#include "gl/pad_stamp_gl.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstring>

#include "relief/composition.h"

namespace pedaform {

namespace {

// The stamp frame: at least the image view's size, so that the projection is the view's.
constexpr int kFrameWidth = kGridWidth;
constexpr int kFrameHeight = kGridHeight;

struct SavedState {
    GLint framebuffer = 0, texture = 0, viewport[4] = {};
    GLint unpack_alignment = 4, pack_alignment = 4;
    GLfloat clear_colour[4] = {};
    GLfloat colour[4] = {};
    GLboolean texture_2d = GL_FALSE;
};

}  // namespace

void scale_pad_stamp(Workspace &ws, double height) {
    const double factor = height / ws.pad_shape_peak * 5;
    // A black or missing pad shape (peak 0) has no height profile: the stamp stays empty.
    if (!std::isfinite(factor) || !(ws.pad_shape_peak > 0) || factor < 0) {
        std::memset(ws.pad_stamp, 0, sizeof ws.pad_stamp);
        return;
    }
    // Each byte keeps the low 8 bits of its truncated product; factors beyond the sliders'
    // range take the slow but exact way rather than overflow an int.
    const bool fits = factor * 255 < 2147483647.0;
    for (uint8_t &b : ws.pad_stamp) {
        const double product = std::trunc(b * factor);
        b = fits ? static_cast<uint8_t>(static_cast<unsigned>(static_cast<int>(product)) & 0xFFu)
                 : static_cast<uint8_t>(std::fmod(product, 256.0));
    }
}

bool render_pad_stamp(Workspace &ws, double width, double length, double height, unsigned texture) {
    std::memset(ws.pad_stamp, 0, sizeof ws.pad_stamp);
    const int read_w = static_cast<int>(width + 20);
    const int read_h = static_cast<int>(length + 20);
    const int stride = pad_stamp_stride_for(width);
    ws.pad_stamp_stride = stride;
    if (read_w <= 0 || read_h <= 0 || static_cast<long>(stride) * read_h > kPadStampBytes)
        return false;
    const int frame_w = read_w > kFrameWidth ? read_w : kFrameWidth;
    const int frame_h = read_h > kFrameHeight ? read_h : kFrameHeight;

    SavedState saved;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &saved.framebuffer);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &saved.texture);
    glGetIntegerv(GL_VIEWPORT, saved.viewport);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &saved.unpack_alignment);
    glGetIntegerv(GL_PACK_ALIGNMENT, &saved.pack_alignment);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, saved.clear_colour);
    glGetFloatv(GL_CURRENT_COLOR, saved.colour);
    saved.texture_2d = glIsEnabled(GL_TEXTURE_2D);

    GLuint fbo = 0, colour_buffer = 0;
    glGenFramebuffers(1, &fbo);
    glGenRenderbuffers(1, &colour_buffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_buffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, frame_w, frame_h);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_buffer);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;

    GLuint own_texture = 0;
    if (complete) {
        // One unit per pixel, origin at the bottom-left, on the dark cyan background.
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, frame_w, 0, frame_h, 0, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glViewport(0, 0, frame_w, frame_h);
        glClearColor(0, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT);

        if (texture == 0) {
            glGenTextures(1, &own_texture);
            texture = own_texture;
        }
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
                     GL_UNSIGNED_BYTE, ws.pad_shape);

        // Turn about (W / 2, L): +7 degrees for a mirrored template, -7 otherwise.
        const float angle = ws.template_mirrored != 0 ? 7.0f : -7.0f;
        glTranslatef(static_cast<float>(width * 0.5), static_cast<float>(length), 0);
        glRotatef(angle, 0, 0, 1);
        glTranslatef(static_cast<float>(-width * 0.5), static_cast<float>(-length), 0);
        const int x1 = static_cast<int>(width + 10), y1 = static_cast<int>(length + 10);
        glColor3f(1, 1, 1);
        glBegin(GL_QUADS);
        glTexCoord2f(1, 1);
        glVertex2i(x1, y1);
        glTexCoord2f(0, 1);
        glVertex2i(10, y1);
        glTexCoord2f(0, 0);
        glVertex2i(10, 10);
        glTexCoord2f(1, 0);
        glVertex2i(x1, 10);
        glEnd();

        // Red channel, rows padded to 4 bytes: the stride below.
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, read_w, read_h, GL_RED, GL_UNSIGNED_BYTE, ws.pad_stamp);

        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }

    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(saved.framebuffer));
    glDeleteFramebuffers(1, &fbo);
    glDeleteRenderbuffers(1, &colour_buffer);
    if (own_texture != 0) glDeleteTextures(1, &own_texture);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(saved.texture));
    if (!saved.texture_2d) glDisable(GL_TEXTURE_2D);
    glViewport(saved.viewport[0], saved.viewport[1], saved.viewport[2], saved.viewport[3]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, saved.unpack_alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, saved.pack_alignment);
    glClearColor(saved.clear_colour[0], saved.clear_colour[1], saved.clear_colour[2],
                 saved.clear_colour[3]);
    glColor4fv(saved.colour);

    if (!complete) {
        std::memset(ws.pad_stamp, 0, sizeof ws.pad_stamp);
        return false;
    }
    scale_pad_stamp(ws, height);
    return true;
}

}  // namespace pedaform
