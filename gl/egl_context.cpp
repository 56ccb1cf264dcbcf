#include "gl/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

#include "gl/pad_stamp_gl.h"

namespace pedaform {

namespace {

EGLDisplay surfaceless_display() {
    const char *extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (extensions != nullptr && std::strstr(extensions, "EGL_MESA_platform_surfaceless")) {
        auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (get_platform_display != nullptr) {
            EGLDisplay d =
                get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
            if (d != EGL_NO_DISPLAY) return d;
        }
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

}  // namespace

OffscreenContext::~OffscreenContext() {
    if (display_ == nullptr) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != nullptr) eglDestroyContext(display_, context_);
    eglTerminate(display_);
}

Result OffscreenContext::create() {
    EGLDisplay display = surfaceless_display();
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor))
        return Result::failure("no EGL display could be opened");
    display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) return Result::failure("EGL offers no desktop OpenGL");
    const EGLint config_attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &count) || count < 1)
        config = nullptr;
    // A compatibility context: the stamp is drawn with the fixed-function pipeline.
    const EGLint context_attributes[] = {EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT)
        return Result::failure("no OpenGL context could be created (EGL error " +
                               std::to_string(eglGetError()) + ")");
    context_ = context;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
        return Result::failure("the OpenGL context cannot be made current without a surface");
    return Result::success();
}

}  // namespace pedaform

namespace pedaform {

Result OffscreenStampRenderer::render(const Resources &resources, int32_t mirrored,
                                      double width, double length, double height,
                                      uint8_t (&stamp)[kPadStampBytes], int32_t &stride) {
    if (!context_ && context_error_.empty()) {
        context_ = std::make_unique<OffscreenContext>();
        if (Result r = context_->create(); !r) {
            context_.reset();
            context_error_ = r.message();
        }
    }
    if (!context_) return Result::failure("--stamp needs OpenGL: " + context_error_);
    return render_pad_stamp(resources, mirrored, width, length, height, 0, stamp, stride);
}

}  // namespace pedaform
