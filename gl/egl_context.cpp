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

bool OffscreenContext::create(std::string &error) {
    EGLDisplay display = surfaceless_display();
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        error = "no EGL display could be opened";
        return false;
    }
    display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL offers no desktop OpenGL";
        return false;
    }
    const EGLint config_attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &count) || count < 1)
        config = nullptr;
    // A compatibility context: the stamp is drawn with the fixed-function pipeline.
    const EGLint context_attributes[] = {EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT) {
        error =
            "no OpenGL context could be created (EGL error " + std::to_string(eglGetError()) + ")";
        return false;
    }
    context_ = context;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = "the OpenGL context cannot be made current without a surface";
        return false;
    }
    return true;
}

}  // namespace pedaform

namespace pedaform {

Result OffscreenStampRenderer::render(Workspace &ws, double width, double length, double height) {
    if (!context_ && context_error_.empty()) {
        context_ = std::make_unique<OffscreenContext>();
        if (!context_->create(context_error_)) {
            context_.reset();
            if (context_error_.empty()) context_error_ = "no context";
        }
    }
    if (!context_) return Result::failure("--stamp needs OpenGL: " + context_error_);
    if (!render_pad_stamp_gl(ws, width, length, height, 0))
        return Result::failure("the pad stamp could not be rendered");
    return Result::success();
}

}  // namespace pedaform
